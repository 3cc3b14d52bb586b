// Plain implementation of the codec: one bit per call, one byte per copy step,
// binary searches as written. Slow on purpose; only tests and fuzzers use it.
#include "reference_lzari.h"

#include <stdlib.h>
#include <string.h>

namespace reference {

LONG Version;
FILETIME FileTime;

namespace {

const int N = 4096, F = 60, LITERAL_MAX = 2, NCHAR = 314, NO_NODE = 4096;
const DWORD Q1 = 0x8000, Q2 = 0x10000, Q3 = 0x18000, TOP = 0x20000;

const BYTE *in;
DWORD inLen, inPos;
BYTE *out;
DWORD outLen, outCap, size;
bool failed;  // decoder: ran past the input; encoder: out of memory
BYTE bitBuf, bitMask;
DWORD low, high, value;
unsigned long long pending;
int charToSym[NCHAR], symToChar[NCHAR + 1];
unsigned symFreq[NCHAR + 1], symCum[NCHAR + 1], posCum[N + 1];
BYTE ring[N + F - 1];
int parent[N + 1], left[N + 1], right[N + 257];
int matchLen, matchPos;

int ReadByte() {
  if (inPos >= inLen) {
    failed = true;
    return 0;
  }
  return in[inPos++];
}

void WriteByte(BYTE b) {
  if (failed) return;
  if (outLen == outCap) {
    DWORD cap = outCap * 2 + 16;
    BYTE *p = static_cast<BYTE *>(realloc(out, cap));
    if (!p) {
      failed = true;
      return;
    }
    out = p;
    outCap = cap;
  }
  out[outLen++] = b;
}

void WriteBit(int bit) {
  if (bit) bitBuf |= bitMask;
  bitMask >>= 1;
  if (!bitMask) {
    WriteByte(bitBuf);
    bitBuf = 0;
    bitMask = 128;
  }
}

void EmitBit(int bit) {
  WriteBit(bit);
  for (; pending > 0; pending--) WriteBit(!bit);
}

int ReadBit() {
  bitMask >>= 1;
  if (!bitMask) {
    bitBuf = static_cast<BYTE>(ReadByte());
    bitMask = 128;
  }
  return (bitBuf & bitMask) != 0;
}

void ResetModel() {
  symCum[NCHAR] = 0;
  for (int sym = NCHAR; sym >= 1; sym--) {
    int ch = sym - 1;
    charToSym[ch] = sym;
    symToChar[sym] = ch;
    symFreq[sym] = 1;
    symCum[sym - 1] = symCum[sym] + symFreq[sym];
  }
  symFreq[0] = 0;
  posCum[N] = 0;
  for (int i = N; i >= 1; i--) posCum[i - 1] = posCum[i] + 10000 / (i + 200);
}

void CountSymbol(int sym) {
  if (symCum[0] >= 0x7FFF) {
    unsigned c = 0;
    for (int i = NCHAR; i > 0; i--) {
      symCum[i] = c;
      c += (symFreq[i] = (symFreq[i] + 1) >> 1);
    }
    symCum[0] = c;
  }
  int i;
  for (i = sym; symFreq[i] == symFreq[i - 1]; i--) {
  }
  if (i < sym) {
    int ci = symToChar[i], cs = symToChar[sym];
    symToChar[i] = cs;
    symToChar[sym] = ci;
    charToSym[ci] = sym;
    charToSym[cs] = i;
  }
  symFreq[i]++;
  while (--i >= 0) symCum[i]++;
}

void EncodeRange(const unsigned *cum, int hi, int lo) {
  DWORD range = high - low;
  high = low + range * cum[hi] / cum[0];
  low += range * cum[lo] / cum[0];
  for (;;) {
    if (high <= Q2) {
      EmitBit(0);
    } else if (low >= Q2) {
      EmitBit(1);
      low -= Q2;
      high -= Q2;
    } else if (low >= Q1 && high <= Q3) {
      pending++;
      low -= Q1;
      high -= Q1;
    } else {
      break;
    }
    low += low;
    high += high;
  }
}

void DecodeRenormalise() {
  for (;;) {
    if (low >= Q2) {
      value -= Q2;
      low -= Q2;
      high -= Q2;
    } else if (low >= Q1 && high <= Q3) {
      value -= Q1;
      low -= Q1;
      high -= Q1;
    } else if (high > Q2) {
      break;
    }
    low += low;
    high += high;
    value = 2 * value + ReadBit();
  }
}

int BinarySearch(const unsigned *cum, int n, unsigned x) {
  int i = 1, j = n;
  while (i < j) {
    int k = (i + j) / 2;
    if (cum[k] > x) i = k + 1;
    else j = k;
  }
  return i;
}

int DecodeChar() {
  DWORD range = high - low;
  unsigned x = static_cast<WORD>(((value - low + 1) * symCum[0] - 1) / range);
  int sym = BinarySearch(symCum, NCHAR, x);
  high = low + range * symCum[sym - 1] / symCum[0];
  low += range * symCum[sym] / symCum[0];
  DecodeRenormalise();
  int ch = symToChar[sym];
  CountSymbol(sym);
  return ch;
}

int DecodePosition() {
  DWORD range = high - low;
  unsigned x = static_cast<WORD>(((value - low + 1) * posCum[0] - 1) / range);
  int p = BinarySearch(posCum, N, x) - 1;
  high = low + range * posCum[p] / posCum[0];
  low += range * posCum[p + 1] / posCum[0];
  DecodeRenormalise();
  return p;
}

void ResetTree() {
  for (int i = N + 1; i <= N + 256; i++) right[i] = NO_NODE;
  for (int i = 0; i < N; i++) parent[i] = NO_NODE;
}

void InsertString(int r) {
  int cmp = 1, p = N + 1 + ring[r];
  const BYTE *key = &ring[r];
  right[r] = left[r] = NO_NODE;
  matchLen = 0;
  for (;;) {
    if (cmp >= 0) {
      if (right[p] != NO_NODE) {
        p = right[p];
      } else {
        right[p] = r;
        parent[r] = p;
        return;
      }
    } else {
      if (left[p] != NO_NODE) {
        p = left[p];
      } else {
        left[p] = r;
        parent[r] = p;
        return;
      }
    }
    int i;
    for (i = 1; i < F; i++)
      if ((cmp = key[i] - ring[p + i]) != 0) break;
    if (i > LITERAL_MAX) {
      if (i > matchLen) {
        matchPos = (r - p) & (N - 1);
        if ((matchLen = i) >= F) break;
      } else if (i == matchLen) {
        int d = (r - p) & (N - 1);
        if (d < matchPos) matchPos = d;
      }
    }
  }
  parent[r] = parent[p];
  left[r] = left[p];
  right[r] = right[p];
  parent[left[p]] = r;
  parent[right[p]] = r;
  if (right[parent[p]] == p) right[parent[p]] = r;
  else left[parent[p]] = r;
  parent[p] = NO_NODE;
}

void RemoveString(int p) {
  if (parent[p] == NO_NODE) return;
  int q;
  if (right[p] == NO_NODE) {
    q = left[p];
  } else if (left[p] == NO_NODE) {
    q = right[p];
  } else {
    q = left[p];
    if (right[q] != NO_NODE) {
      do q = right[q];
      while (right[q] != NO_NODE);
      right[parent[q]] = left[q];
      parent[left[q]] = parent[q];
      left[q] = left[p];
      parent[left[p]] = q;
    }
    right[q] = right[p];
    parent[right[p]] = q;
  }
  parent[q] = parent[p];
  if (right[parent[p]] == p) right[parent[p]] = q;
  else left[parent[p]] = q;
  parent[p] = NO_NODE;
}

LzariBlock Fail() {
  free(out);
  out = nullptr;
  return LzariBlock{nullptr, 0};
}

// A damaged container leaves the window's tail as the call found it.
BYTE savedTail[F];

LzariBlock FailDecode() {
  memcpy(ring + N - F, savedTail, F);
  return Fail();
}

// The start and end of an encoding: magic, fresh coder and model; then the
// last bits, the size field and the block.
bool StartOutput(DWORD capacity) {
  outCap = capacity;
  out = static_cast<BYTE *>(malloc(outCap));
  if (!out) return false;
  outLen = 0;
  failed = false;
  bitBuf = 0;
  pending = 0;
  low = 0;
  bitMask = 128;
  high = TOP;
  for (int k = 0; k < 4; k++) WriteByte(static_cast<BYTE>("LZar"[k]));
  ResetModel();
  return true;
}

LzariBlock FinishOutput(DWORD size) {
  pending++;
  EmitBit(low >= Q1);
  while (bitMask & 0x7F) WriteBit(0);
  for (int k = 0; k < 4; k++) WriteByte(static_cast<BYTE>(size >> (8 * k)));
  if (failed) return Fail();
  LzariBlock result{out, outLen};
  out = nullptr;
  return result;
}

}  // namespace

const BYTE *Ring() { return ring; }

LzariBlock Decode(const BYTE *data, DWORD length) {
  out = nullptr;
  if (length < 4) return LzariBlock{nullptr, 0};
  if (memcmp(data, "LZar", 4) == 0) {
    Version = 0;
  } else if (memcmp(data, "LzaR", 4) == 0) {
    Version = 1;
    if (length < 16) return LzariBlock{nullptr, 0};
    length -= 8;
    memcpy(&FileTime.dwLowDateTime, data + length, 4);
    memcpy(&FileTime.dwHighDateTime, data + length + 4, 4);
  }
  if (length < 8) return LzariBlock{nullptr, 0};
  in = data;
  inLen = length;
  inPos = 0;
  size = data[length - 4] | data[length - 3] << 8 | data[length - 2] << 16 |
         static_cast<DWORD>(data[length - 1]) << 24;
  if (size == 0) return LzariBlock{nullptr, 0};
  const char *magic = "LZar";
  for (int k = 0; k < 4; k++)
    if ((data[k] | 0x20) != (magic[k] | 0x20) || !((data[k] | 0x20) >= 'a' && (data[k] | 0x20) <= 'z'))
      return LzariBlock{nullptr, 0};
  out = static_cast<BYTE *>(malloc(size));
  if (!out) return LzariBlock{nullptr, 0};
  outLen = 0;
  outCap = size;
  inPos = 4;
  failed = false;
  bitBuf = 0;
  bitMask = 0;
  low = 0;
  value = 0;
  high = TOP;
  memcpy(savedTail, ring + N - F, F);
  for (int k = 0; k < 17; k++) value = 2 * value + ReadBit();
  if (failed) return FailDecode();
  ResetModel();
  int r = N - F;
  memset(ring, ' ', N - F);
  while (outLen < size) {
    int c = DecodeChar();
    if (failed) return FailDecode();
    if (c < 256) {
      out[outLen++] = static_cast<BYTE>(c);
      ring[r] = static_cast<BYTE>(c);
      r = (r + 1) & (N - 1);
    } else {
      int start = (r - DecodePosition() - 1) & (N - 1);
      int n = c - 255 + LITERAL_MAX;
      if (failed || static_cast<DWORD>(n) > size - outLen) return FailDecode();
      for (int k = 0; k < n; k++) {
        BYTE b = ring[(start + k) & (N - 1)];
        out[outLen++] = b;
        ring[r] = b;
        r = (r + 1) & (N - 1);
      }
    }
  }
  LzariBlock result{out, outLen};
  out = nullptr;
  return result;
}

LzariBlock Encode(const BYTE *data, DWORD length) {
  in = data;
  inLen = length;
  inPos = 0;
  if (!StartOutput(length + 1024)) return LzariBlock{nullptr, 0};
  ResetTree();
  int s = 0, r = N - F;
  memset(ring, ' ', r);
  int len;
  for (len = 0; len < F && inPos < inLen; len++) ring[r + len] = static_cast<BYTE>(ReadByte());
  for (int i = 1; i <= F; i++) InsertString(r - i);
  InsertString(r);
  do {
    if (matchLen > len) matchLen = len;
    if (matchLen <= LITERAL_MAX) {
      matchLen = 1;
      int sym = charToSym[ring[r]];
      EncodeRange(symCum, sym - 1, sym);
      CountSymbol(sym);
    } else {
      int sym = charToSym[255 - LITERAL_MAX + matchLen];
      EncodeRange(symCum, sym - 1, sym);
      CountSymbol(sym);
      EncodeRange(posCum, matchPos - 1, matchPos);
    }
    int last = matchLen, i;
    for (i = 0; i < last && inPos < inLen; i++) {
      RemoveString(s);
      BYTE c = static_cast<BYTE>(ReadByte());
      ring[s] = c;
      if (s < F - 1) ring[s + N] = c;
      s = (s + 1) & (N - 1);
      r = (r + 1) & (N - 1);
      InsertString(r);
    }
    while (i++ < last) {
      RemoveString(s);
      s = (s + 1) & (N - 1);
      r = (r + 1) & (N - 1);
      if (--len) InsertString(r);
    }
  } while (len > 0);
  return FinishOutput(length);
}

LzariBlock EncodeCodes(const int *codes, size_t count, DWORD size) {
  if (!StartOutput(64)) return LzariBlock{nullptr, 0};
  for (size_t k = 0; k < count; k++) {
    int sym = charToSym[codes[k]];
    EncodeRange(symCum, sym - 1, sym);
    CountSymbol(sym);
    if (codes[k] >= 256 && k + 1 < count) {
      k++;
      EncodeRange(posCum, codes[k], codes[k] + 1);
    }
  }
  return FinishOutput(size);
}

}  // namespace reference
