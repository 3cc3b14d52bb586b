#include "shell/config.h"

const SetupConfigTexts SetupConfig = {
    "Gridmark",
    "1.37",
    "C:\\Veltrane\\Gridmark",
    "Veltrane",
    "Outline Designer\nby Ilse Varnholt\nBremen",
};

PayloadEntry PayloadTable[PAYLOAD_ROWS] = {
    {"Gridmark.EXE", NULL, 0, {0, 0}},
    {"Gridmark.HLP", NULL, 0, {0, 0}},
    {"Pagewise.EXE", NULL, 0, {0, 0}},
    {"Sample1.gmd", NULL, 0, {0, 0}},
    {"Sample2.gmd", NULL, 0, {0, 0}},
    {"Sample3.gmd", NULL, 0, {0, 0}},
    {"Sample4.gmd", NULL, 0, {0, 0}},
    {"Sample5.gmd", NULL, 0, {0, 0}},
    {"Sample6.gmd", NULL, 0, {0, 0}},
    {NULL, NULL, 0, {0, 0}},
};

int CountPayloadRows() {
  int count = 0;
  while (PayloadTable[count].Name != NULL) count++;
  return count;
}

char InstallFolder[MAX_PATH];

const BYTE *LogoBitmap;
OSVERSIONINFOA OsVersionInfo;
LONG ArchitectureBits;
