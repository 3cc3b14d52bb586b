#include "install/folder.h"

#include <string.h>

#include "resource.h"
#include "shell/config.h"
#include "shell/text.h"

// The picker writes the display name here first, then the chosen path.
static char PickerPath[MAX_PATH];

static int CountChar(const char *text, char wanted) {
  int count = 0;
  for (; *text; text++)
    if (*text == wanted) count++;
  return count;
}

// All tests are on single 8-bit characters; anything the file system would
// refuse is left to folder creation.
int ValidateInstallFolder() {
  char *folder = InstallFolder;
  if (folder[0] >= 'a' && folder[0] <= 'z') folder[0] -= 'a' - 'A';
  if (folder[0] < 'C' || folder[0] > 'Z') return 0;
  if (folder[1] != ':') return 0;
  if (CountChar(folder, ':') != 1) return 0;
  if (folder[2] != '\\') return 0;
  for (size_t i = 1; folder[i] != '\0'; i++)
    if (folder[i] == '\\' && folder[i - 1] == '\\') return 0;

  size_t length = strlen(folder);
  if (folder[length - 1] == '\\') folder[--length] = '\0';
  return length > 3;
}

int CreateFolderPath(char *path) {
  size_t length = strlen(path);
  if (length >= MAX_PATH) return 0;

  // The drive root is never created: the search starts at the fourth character.
  char *parentEnd = length > 3 ? strrchr(path + 3, '\\') : NULL;
  if (parentEnd != NULL) {
    char saved[MAX_PATH];
    memcpy(saved, path, length + 1);
    *parentEnd = '\0';
    // Only the full path decides: a parent that fails makes it fail too.
    CreateFolderPath(path);
    memcpy(path, saved, length + 1);
  }

  if (!CreateDirectoryA(path, NULL) && GetLastError() != ERROR_ALREADY_EXISTS) return 0;
  return SetCurrentDirectoryA(path) ? 1 : 0;
}

int PrepareInstallFolder() {
  if (!ValidateInstallFolder()) return 0;
  return CreateFolderPath(InstallFolder);
}

const char *BrowseForFolder(HWND owner, const char *title) {
  BROWSEINFOA info;
  memset(&info, 0, sizeof info);
  info.hwndOwner = owner;
  info.pidlRoot = NULL;  // the tree starts at the desktop
  info.pszDisplayName = PickerPath;
  info.lpszTitle = title;
  info.ulFlags = BIF_RETURNONLYFSDIRS | BIF_EDITBOX | BIF_NEWDIALOGSTYLE;

  // The new dialog style needs COM on this thread; it is open only for the
  // picker, as for each shortcut.
  HRESULT com = CoInitialize(NULL);
  const char *chosen = NULL;
  PIDLIST_ABSOLUTE item = SHBrowseForFolderA(&info);
  if (item != NULL) {
    if (SHGetPathFromIDListA(item, PickerPath)) chosen = PickerPath;
    CoTaskMemFree(item);
  }
  if (SUCCEEDED(com)) CoUninitialize();
  return chosen;
}

void OnBrowse(HWND dialog) {
  HWND install = GetDlgItem(dialog, IDC_INSTALL);
  EnableWindow(install, FALSE);

  const char *chosen = BrowseForFolder(dialog, "select a folder");
  if (chosen == NULL) {
    CopyText(InstallFolder, sizeof InstallFolder, SetupConfig.DefaultFolder);
  } else {
    // Too short to be a folder: keep the last one, install stays disabled.
    if (strlen(chosen) < 3) return;
    CopyText(InstallFolder, sizeof InstallFolder, chosen);
  }

  // Shown as the picker gave it, before it is brought into normal form.
  SetDlgItemTextA(dialog, IDC_FOLDER, InstallFolder);
  if (!ValidateInstallFolder()) return;
  EnableWindow(install, TRUE);
  SetFocus(install);
}
