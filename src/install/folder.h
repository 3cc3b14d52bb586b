// The install folder: its rules, its creation and the folder picker.
#pragma once

#include "shell/platform.h"

// Accepts "X:\..." with X from C to Z, one colon, no doubled or trailing
// backslash. Upper-cases the first letter and drops one trailing backslash
// in InstallFolder, also when it then refuses. 1 accepted, 0 refused.
int ValidateInstallFolder();

// Creates path with its missing parents, top down, each level becoming the
// current directory. path (at most MAX_PATH bytes) is restored on return.
// 1 when the full path exists and is current.
int CreateFolderPath(char *path);

// 1 when InstallFolder is accepted, exists and is the current directory.
int PrepareInstallFolder();

// The shell's folder picker. Answers the chosen path, valid until the next
// call, or null when cancelled or the item has no file-system path.
const char *BrowseForFolder(HWND owner, const char *title);

// "select another folder": replaces InstallFolder and enables the install
// button only for an accepted folder.
void OnBrowse(HWND dialog);
