// What the setup installs and shows, fixed when it is built, and the
// module-level results that the other parts share.
#pragma once

#include "shell/platform.h"

struct SetupConfigTexts {
  const char *ProgramName;     // names the shortcut target and the shortcuts
  const char *ProductVersion;
  const char *DefaultFolder;   // first InstallFolder; back after a cancelled picker
  const char *MenuGroup;       // Start-menu group folder
  const char *Description;     // three lines: title, "by" author, town
};
extern const SetupConfigTexts SetupConfig;

// One file to install. Name is set at build time; ExtractPayload fills the
// rest once, and the row owns its decoded block until the process ends.
struct PayloadEntry {
  const char *Name;   // file name and, case aside, its resource name
  BYTE *Data;         // decoded bytes; null for an empty file
  DWORD Size;         // number of decoded bytes
  FILETIME FileTime;  // creation, access and write time of the installed file
};

enum { PAYLOAD_ROWS = 10 };  // nine files and the all-zero end row
extern PayloadEntry PayloadTable[PAYLOAD_ROWS];

// Rows before the first one without a name.
int CountPayloadRows();

// The install folder: 259 characters and the terminator at most.
extern char InstallFolder[MAX_PATH];

// Start-up results, set once before the wizard opens.
extern const BYTE *LogoBitmap;        // BITMAPINFOHEADER followed by the pixel rows
extern OSVERSIONINFOA OsVersionInfo;  // only major and minor are read
extern LONG ArchitectureBits;         // 64 or 32; 0 before the probe
