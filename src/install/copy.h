// Writing the decoded payload into the install folder.
#pragma once

#include "shell/config.h"

// Writes every PayloadTable row by its bare name into the current directory,
// with progress on the wizard's copy bar. Returns 1; every failure ends the run.
int CopyPayload(HWND dialog);

// Delete, create, one write, stamp with the entry's time, close: returns only
// when all of it succeeded.
void WritePayloadFile(const char *name, PayloadEntry entry);
