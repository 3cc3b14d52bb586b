// The two shortcuts to the installed program: desktop and Start menu.
#pragma once

#include "shell/platform.h"

// Outcomes of MakeShortcut.
enum {
  SHORTCUT_MADE = 0,
  SHORTCUT_NO_COM = 73,   // the COM library could not be opened
  SHORTCUT_NO_LINK = 76,  // CreateShellLink failed
};

// Makes both shortcuts and the Start-menu group folder. Returns 1; every
// failure ends the run. The dialog is not used.
int CreateShortcuts(HWND dialog);

// One link file, with COM open around it; show command 1, no icon location.
int MakeShortcut(const char *link, const char *target, const char *arguments,
                 const char *description, const char *workingDirectory);

// Writes one link file through the Shell's link object. E_INVALIDARG for a
// refused argument or a link object that cannot be made, else the save's result.
HRESULT CreateShellLink(const char *target, const char *arguments, const char *link,
                        const char *description, int showCommand, const char *workingDirectory,
                        const char *iconPath, int iconIndex);
