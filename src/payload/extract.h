// The extraction pass: every payload resource decoded into memory.
#pragma once

#include "shell/platform.h"

// Fills every PayloadTable row with its decoded block, size and file time,
// showing progress on the wizard's extraction bar. Ends the run on failure.
void ExtractPayload(HWND dialog);
