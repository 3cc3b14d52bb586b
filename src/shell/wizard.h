// The wizard: the setup's one dialog, which drives the whole run.
#pragma once

#include "shell/platform.h"

// Posted by the wizard to itself; wParam is the step (1 extract, 2 ask for
// the folder), so each step runs after the handler that posted it returned.
#define WM_SETUP_STEP WM_USER

enum {
  SETUP_STEP_EXTRACT = 1,
  SETUP_STEP_ASK_FOLDER = 2,
};

INT_PTR CALLBACK SetupDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);
void OnInstall(HWND dialog);
void CenterWindow(HWND window);
