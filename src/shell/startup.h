// Start-up: everything the wizard needs before its dialog opens.
#pragma once

#include "shell/platform.h"

extern HINSTANCE AppInstance;  // the executable's module; every resource comes from it

// A locked resource: read-only bytes of the executable image, valid for the
// life of the process.
struct ResourceBlock {
  const BYTE *Data;
  DWORD Size;
};

// Finds, loads and locks one resource; ends the run when any step fails.
ResourceBlock LoadResourceBlock(LPCSTR name, LPCSTR type);

void LoadLogo();
void DetectWindowsVersion();
void DetectArchitecture();
