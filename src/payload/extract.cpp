#include "payload/extract.h"

#include <string.h>

#include "payload/lzari.h"
#include "resource.h"
#include "shell/config.h"
#include "shell/fatal.h"
#include "shell/progress.h"
#include "shell/startup.h"

// Trailer of a version-1 container: size field, then the FILETIME.
enum {
  CONTAINER_MAGIC_SIZE = 4,
  CONTAINER_TRAILER_SIZE = 12,
  CONTAINER_MIN_SIZE = CONTAINER_MAGIC_SIZE + CONTAINER_TRAILER_SIZE,
};

// The decoder leaves ContainerVersion alone for an unknown magic, so the
// magic itself is checked too: a later row must not pass on the strength of
// an earlier one.
static int IsVersion1Container(ResourceBlock container) {
  return container.Size >= CONTAINER_MAGIC_SIZE && memcmp(container.Data, "LzaR", 4) == 0;
}

// An empty result is a real empty file only when the container says so;
// otherwise its body was damaged or its block could not be allocated.
static int RecordsEmptyFile(ResourceBlock container) {
  if (container.Size < CONTAINER_MIN_SIZE) return 0;
  const BYTE *size = container.Data + container.Size - CONTAINER_TRAILER_SIZE;
  return (size[0] | size[1] | size[2] | size[3]) == 0;
}

void ExtractPayload(HWND dialog) {
  HWND bar = BeginProgress(dialog, IDC_EXTRACT_PROGRESS, "extracting files");

  for (int i = 0; PayloadTable[i].Name != NULL; i++) {
    PayloadEntry *row = &PayloadTable[i];
    AdvanceProgress(dialog, IDC_EXTRACT_PROGRESS, i);

    ResourceBlock container = LoadResourceBlock(row->Name, RT_RCDATA);
    LzariBlock decoded = LzariDecode(container.Data, container.Size);
    row->Data = decoded.Data;
    row->Size = decoded.Length;

    if (ContainerVersion < 1 || !IsVersion1Container(container))
      FatalError(FATAL_WRONG_VERSION, "resource was compressed with the wrong version of LZARI");
    if (decoded.Data == NULL && !RecordsEmptyFile(container))
      FatalError(FATAL_DAMAGED_PAYLOAD, "can't decode resource %s", row->Name);

    row->FileTime = ContainerFileTime;
  }

  ShowWindow(bar, SW_HIDE);
}
