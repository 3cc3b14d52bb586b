#include "shell/startup.h"

#include <string.h>

#include "shell/config.h"
#include "shell/fatal.h"
#include "shell/wizard.h"

HINSTANCE AppInstance;

// Resource names match without regard to case, so a payload row's
// mixed-case name finds its upper-case resource; messages show the name as
// the caller wrote it.
ResourceBlock LoadResourceBlock(LPCSTR name, LPCSTR type) {
  HRSRC found = FindResourceA(AppInstance, name, type);
  if (found == NULL)
    FatalError(FATAL_FIND_RESOURCE, "can't find resource %s\nWin Err Code %i", name,
               (int)GetLastError());

  DWORD size = SizeofResource(AppInstance, found);

  HGLOBAL loaded = LoadResource(AppInstance, found);
  if (loaded == NULL)
    FatalError(FATAL_LOAD_RESOURCE, "can't load resource %s\nWin Err Code %i", name,
               (int)GetLastError());

  const BYTE *data = (const BYTE *)LockResource(loaded);
  if (data == NULL)
    FatalError(FATAL_LOCK_RESOURCE, "can't lock resource %s\nWin Err Code %i", name,
               (int)GetLastError());

  ResourceBlock block = {data, size};
  return block;
}

void LoadLogo() {
  LogoBitmap = LoadResourceBlock("LOGO", RT_BITMAP).Data;
}

void DetectWindowsVersion() {
  OsVersionInfo.dwOSVersionInfoSize = sizeof(OSVERSIONINFOA);
  if (!GetVersionExA(&OsVersionInfo))
    FatalError(FATAL_GET_VERSION, "can't get windows version\nWin Err Code %i",
               (int)GetLastError());
}

// The Windows folder is not redirected for a 32-bit program, so on a 64-bit
// Windows this probe sees the system's own 64-bit notepad.
void DetectArchitecture() {
  DWORD type;
  if (!GetBinaryTypeA("C:\\Windows\\notepad.exe", &type))
    FatalError(FATAL_GET_ARCHITECTURE, "can't get architecture\nWin Err Code %i",
               (int)GetLastError());

  if (type == SCS_64BIT_BINARY)
    ArchitectureBits = 64;
  else if (type == SCS_32BIT_BINARY)
    ArchitectureBits = 32;
  else
    FatalError(FATAL_UNSUPPORTED_ARCHITECTURE, "unsupported architecture");
}

// The setup takes no command-line arguments.
int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int) {
  AppInstance = instance;
  strcpy(InstallFolder, SetupConfig.DefaultFolder);
  LoadLogo();
  InitCommonControls();  // registers the progress bar class the template names
  DetectWindowsVersion();
  DetectArchitecture();
  DialogBoxParamA(AppInstance, "SETUP", NULL, SetupDialogProc, 0);
  return 0;
}
