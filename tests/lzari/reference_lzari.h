// A deliberately plain, bit-at-a-time transcription of the LZARI codec, kept
// apart from the product's codec (own state, own names) so that tests and the
// fuzzers can compare the tuned codec against it on any input, corrupt or not.
// It takes the same decisions for damaged containers as src/payload/lzari.cpp.
#pragma once

#include "payload/lzari.h"

namespace reference {

// Same contract as LzariDecode/LzariEncode; the block comes from malloc.
LzariBlock Decode(const BYTE *data, DWORD length);
LzariBlock Encode(const BYTE *data, DWORD length);

// What the last reference decode found, like ContainerVersion/ContainerFileTime.
extern LONG Version;
extern FILETIME FileTime;

// The reference's window, to compare the state a call leaves behind.
const BYTE *Ring();

}  // namespace reference
