#include "install/shortcut.h"

#include <string.h>

#include "shell/config.h"
#include "shell/fatal.h"
#include "shell/text.h"

// A composed path that does not fit its buffer ends the step that needs it,
// with this value as its error, rather than making a link to a cut path.
static const int PATH_TOO_LONG = ERROR_FILENAME_EXCED_RANGE;

HRESULT CreateShellLink(const char *target, const char *arguments, const char *link,
                        const char *description, int showCommand, const char *workingDirectory,
                        const char *iconPath, int iconIndex) {
  // Empty texts are allowed where a property may be left out; target and
  // link may not be empty.
  if (target == NULL || target[0] == '\0' || arguments == NULL || link == NULL ||
      link[0] == '\0' || description == NULL || showCommand < 0 || workingDirectory == NULL ||
      iconPath == NULL || iconIndex < 0)
    return E_INVALIDARG;

  IShellLinkA *shellLink;
  if (FAILED(CoCreateInstance(CLSID_ShellLink, NULL, CLSCTX_INPROC_SERVER, IID_IShellLinkA,
                              (void **)&shellLink)))
    return E_INVALIDARG;

  // Only the save decides; the setters' results are not consulted.
  shellLink->SetPath(target);
  shellLink->SetArguments(arguments);
  if (description[0] != '\0') shellLink->SetDescription(description);
  if (showCommand > 0) shellLink->SetShowCmd(showCommand);
  if (workingDirectory[0] != '\0') shellLink->SetWorkingDirectory(workingDirectory);
  if (iconPath[0] != '\0' && iconIndex >= 0) shellLink->SetIconLocation(iconPath, iconIndex);

  IPersistFile *persistFile;
  HRESULT result = shellLink->QueryInterface(IID_IPersistFile, (void **)&persistFile);
  if (FAILED(result)) {
    shellLink->Release();
    return result;
  }
  // A link path that does not convert whole would be saved under a wrong
  // name: refused like a bad argument.
  WCHAR wideLink[MAX_PATH];
  if (MultiByteToWideChar(CP_ACP, 0, link, -1, wideLink, MAX_PATH) == 0)
    result = E_INVALIDARG;
  else
    result = persistFile->Save(wideLink, TRUE);
  persistFile->Release();
  shellLink->Release();
  return result;
}

int MakeShortcut(const char *link, const char *target, const char *arguments,
                 const char *description, const char *workingDirectory) {
  // S_FALSE (already open on this thread) is success.
  if (FAILED(CoInitialize(NULL))) return SHORTCUT_NO_COM;
  // On failure the run ends next, with the last error of the failing call.
  if (FAILED(CreateShellLink(target, arguments, link, description, SW_SHOWNORMAL,
                             workingDirectory, "", 0)))
    return SHORTCUT_NO_LINK;
  CoUninitialize();
  return SHORTCUT_MADE;
}

int CreateShortcuts(HWND) {
  char target[MAX_PATH];
  char profile[MAX_PATH];
  char link[MAX_PATH];  // desktop link, then group folder, then Start-menu link

  if (!FormatText(target, sizeof target, "%s\\%s.EXE", InstallFolder, SetupConfig.ProgramName))
    FatalError(FATAL_DESKTOP_LINK, "can't create link on desktop\nWin Err Code %i", PATH_TOO_LONG);

  // A value that does not fit gives its needed size and leaves the buffer unfilled.
  DWORD length = GetEnvironmentVariableA("USERPROFILE", profile, sizeof profile);
  if (length == 0)
    FatalError(FATAL_GET_PROFILE, "can't get user profile\nWin Err Code %i", (int)GetLastError());
  if (length >= sizeof profile)
    FatalError(FATAL_GET_PROFILE, "can't get user profile\nWin Err Code %i",
               ERROR_INSUFFICIENT_BUFFER);
  if (profile[length - 1] == '\\') profile[length - 1] = '\0';

  if (!FormatText(link, sizeof link, "%s\\Desktop\\%s.lnk", profile, SetupConfig.ProgramName))
    FatalError(FATAL_DESKTOP_LINK, "can't create link on desktop\nWin Err Code %i", PATH_TOO_LONG);
  if (MakeShortcut(link, target, "", SetupConfig.Description, InstallFolder) != SHORTCUT_MADE)
    FatalError(FATAL_DESKTOP_LINK, "can't create link on desktop\nWin Err Code %i",
               (int)GetLastError());

  // An existing group folder is accepted, so a second installation works.
  if (!FormatText(link, sizeof link, "%s\\Start Menu\\Programs\\%s", profile,
                  SetupConfig.MenuGroup))
    FatalError(FATAL_MENU_FOLDER, "can't create folder in start menu\nWin Err Code %i",
               PATH_TOO_LONG);
  if (!CreateDirectoryA(link, NULL) && GetLastError() != ERROR_ALREADY_EXISTS)
    FatalError(FATAL_MENU_FOLDER, "can't create folder in start menu\nWin Err Code %i",
               (int)GetLastError());

  size_t folderLength = strlen(link);
  if (!FormatText(link + folderLength, sizeof link - folderLength, "\\%s.lnk",
                  SetupConfig.ProgramName))
    FatalError(FATAL_MENU_LINK, "can't create link on start menu\nWin Err Code %i", PATH_TOO_LONG);
  if (MakeShortcut(link, target, "", SetupConfig.Description, InstallFolder) != SHORTCUT_MADE)
    FatalError(FATAL_MENU_LINK, "can't create link on start menu\nWin Err Code %i",
               (int)GetLastError());

  return 1;
}
