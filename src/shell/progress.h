// How both long passes (extraction, file writing) report progress on the
// wizard: status text, their own bar, one step per payload row.
#pragma once

#include "shell/platform.h"

// Sets the status text, shows the bar and gives it the range 0 to the row
// count. Answers the bar, for hiding it at the end.
HWND BeginProgress(HWND dialog, int barId, const char *status);

// Before row i is worked on: the bar shows how many rows are finished.
void AdvanceProgress(HWND dialog, int barId, int finishedRows);
