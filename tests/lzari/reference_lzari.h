// A deliberately plain, bit-at-a-time implementation of the LZARI codec, kept
// apart from the product's codec (own state, own names) so that tests and the
// fuzzers can compare the tuned codec against it on any input, corrupt or not.
// It takes the same decisions for damaged containers as src/payload/lzari.cpp.
#pragma once

#include "payload/lzari.h"

namespace reference {

// Same contract as LzariDecode/LzariEncode; the block comes from malloc.
LzariBlock Decode(const BYTE *data, DWORD length);
LzariBlock Encode(const BYTE *data, DWORD length);

// A version-0 container whose body codes exactly the given character codes
// (0..313; each match length, 256 and up, followed by its position code
// 0..4095), with the given size field: streams the match finder would never
// choose, to reach the decoder's corners.
LzariBlock EncodeCodes(const int *codes, size_t count, DWORD size);

// What the last reference decode found, like ContainerVersion/ContainerFileTime.
extern LONG Version;
extern FILETIME FileTime;

// The reference's window, to compare the state a call leaves behind.
const BYTE *Ring();

}  // namespace reference
