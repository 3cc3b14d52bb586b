// LZARI codec and its container: "LZar" (version 0) holds magic, coded body
// and uncompressed size; "LzaR" (version 1) appends the file's FILETIME.
#pragma once

#include "shell/platform.h"

// A block handed to the caller: heap memory from malloc, owned by the caller.
// (null, 0) is the empty result and the codec's only sign of failure.
struct LzariBlock {
  BYTE *Data;
  DWORD Length;
};

// Decodes one container of either version into a new block. An exact magic
// sets ContainerVersion (and for "LzaR" ContainerFileTime) first, so both are
// set even when the result is empty.
LzariBlock LzariDecode(const BYTE *data, DWORD length);

// Encodes length bytes into a new version-0 container.
LzariBlock LzariEncode(const BYTE *data, DWORD length);

// What the last decode found in its container's header and trailer.
extern LONG ContainerVersion;       // 0 after "LZar", 1 after "LzaR"
extern FILETIME ContainerFileTime;  // trailer of the last "LzaR" container
