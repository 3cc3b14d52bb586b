// LZARI: a 4096-byte sliding window (matches of 3 to 60 bytes) whose literals,
// match lengths and match distances are written with adaptive arithmetic
// coding, wrapped in the "LZar"/"LzaR" container.
//
// The coded stream is fixed by the carried containers, so every routine here
// keeps the exact arithmetic of the plain algorithm. Where the code takes a
// faster route to the same numbers (bits read many at a time, a renormalisation
// done in one step, matches copied from the output block, word-wise string
// compares) the comment says why the route gives the same result.
//
// The decoder never trusts its container: every length is checked before it
// is used, the body is read only inside the container, and the output block is
// written only up to its recorded size. Whatever is wrong yields (null, 0).
#include "payload/lzari.h"

#include <stdlib.h>
#include <string.h>

#if defined(__BYTE_ORDER__) && __BYTE_ORDER__ != __ORDER_LITTLE_ENDIAN__
#error "the node compares and the 8-byte bit refill assume a little-endian machine"
#endif

// ---------------------------------------------------------------------------
// Constants

enum {
  RingSize = 4096,        // window size; ring positions are masked with RingMask
  RingMask = RingSize - 1,
  MaxMatch = 60,          // longest match and length of the look-ahead
  MatchThreshold = 2,     // matches this short are coded as literals
  CharCodeCount = 314,    // 256 literals + 58 match lengths (3..60)
  NoNode = RingSize,      // "no node" in the tree links
  RingStart = RingSize - MaxMatch,  // 4036: first position the coder fills
  // RingBuffer: the window, the 59-byte copy of its start for wrap-free
  // compares, and 5 bytes so that the 8-byte load at offset 57 of any node
  // stays inside the table (bytes past the node's 60 never count).
  RingCapacity = RingSize + MaxMatch - 1 + 5,
  // Most bytes one byte of body can decode to (see LzariDecode).
  MaxBytesPerBodyByte = 8 * 73,
  PositionCount = RingSize,  // position codes 0..4095 (the encoder uses 0..4094)
  PositionTotal = 28568,     // PositionCum[0], the sum of all position weights
  // FindPositionCode starts from a table indexed by x >> PositionBucketShift
  // over 0..PositionTotal - 1.
  PositionBucketShift = 3,
  PositionBucketCount = ((PositionTotal - 1) >> PositionBucketShift) + 1,
};

static const DWORD CodeQuarter = 0x8000;
static const DWORD CodeHalf = 0x10000;
static const DWORD CodeThreeQuarters = 0x18000;
static const DWORD CodeTop = 0x20000;
static const DWORD MaxFrequencyTotal = 0x7FFF;
static const BYTE MagicVersion0[4] = {'L', 'Z', 'a', 'r'};
static const BYTE MagicVersion1[4] = {'L', 'z', 'a', 'R'};

// ---------------------------------------------------------------------------
// Codec state: one set for both directions and all calls (no call may overlap
// another). Each call sets what it uses before using it.

// Results of the last decode; only an exact magic changes them.
LONG ContainerVersion;       // 0 after "LZar", 1 after "LzaR"; 0 at start
FILETIME ContainerFileTime;  // trailer of the last "LzaR" container; 0 at start

// Byte source: the container (decoding, read in place) or the raw input.
// InputPos <= InputLength always; past the end the decoder's refill feeds in
// zero bytes instead (see PaddingBytes), which no accepted result uses.
static const BYTE *InputData;
static DWORD InputLength;  // bytes of the source the coder may read
static DWORD InputPos;     // next byte to read

// Byte sink: the block being produced. OutputLength <= OutputRoom always.
static BYTE *OutputData;
static DWORD OutputLength;  // bytes written so far
static DWORD OutputRoom;    // size of OutputData (decoding: == DecodedSize)
static bool OutputFailed;   // encoder: the block could not grow; result is empty
static DWORD DecodedSize;   // size field of the container (decoding only)

// Encoder's bit writer: BitBuffer holds the bits of the byte being assembled,
// BitMask the next bit to set (128 down to 1; never 0 between calls).
static BYTE BitBuffer;
static BYTE BitMask;

// Decoder's bit reader, the many-bits form of BitBuffer/BitMask: the next
// BitCount bits of the stream, left-aligned in BitCache; the bits below them
// are 0 or the true bits that follow. A refill leaves BitCount >= 56, enough
// for two renormalisations (<= 17 bits each): one refill per character code.
// Past the container's end zero bytes are fed in and counted in PaddingBytes;
// they are the last PaddingBytes * 8 bits fetched.
static unsigned long long BitCache;
static int BitCount;
static DWORD PaddingBytes;

// Coder interval [CodeLow, CodeHigh): CodeLow < CodeHigh <= CodeTop. After
// each renormalisation CodeHigh - CodeLow > CodeQuarter, which is larger than
// either frequency total, so no coded interval is ever empty.
static DWORD CodeLow;
static DWORD CodeHigh;
// Decoder: the coded number on the scale of CodeLow/CodeHigh. CodeLow <=
// CodeValue < CodeHigh for any bit stream, sound or not: each code chosen is
// the one whose interval holds it, and a turn of renormalisation keeps it
// inside (2 * (CodeValue - CodeLow) + bit < 2 * range). So the scaled value
// of ScaledValue is always below its total.
static DWORD CodeValue;
// Encoder: deferred bits, each to be written as the opposite of the next bit.
// 64-bit, so no input can overflow it.
static unsigned long long PendingBits;

// Character model. Ranks 1..314 are ordered by falling frequency:
// SymbolFreq[1] >= ... >= SymbolFreq[314] >= 1, SymbolFreq[0] = 0 (sentinel).
// SymbolCum[k] = SymbolFreq[k+1] + ... + SymbolFreq[314]; SymbolCum[0] is the
// total, never above MaxFrequencyTotal; SymbolCum[314] = 0.
// CharToSymbol and SymbolToChar are inverse over the 314 codes.
static short CharToSymbol[CharCodeCount];
static short SymbolToChar[CharCodeCount + 1];  // entry 0 never read
static WORD SymbolFreq[CharCodeCount + 1];
// Read and updated four entries per 64-bit word (see FindSymbolCounting):
// aligned, and one entry longer so that the last word is whole (entry 315
// stays 0).
alignas(8) static WORD SymbolCum[CharCodeCount + 2];
// Fixed position weights: PositionCum[4096] = 0, PositionCum[i-1] =
// PositionCum[i] + 10000 / (i + 200); the total PositionCum[0] is 28568.
static WORD PositionCum[PositionCount + 1];
// PositionOfBucket[b]: the position code whose interval holds b << 3, the
// lowest x of bucket b; every x of the bucket belongs to that code or a lower
// one. Built with PositionCum.
static WORD PositionOfBucket[PositionBucketCount];

// The window: positions 0..4095, then a copy of 0..58 at 4096..4154 (kept by
// the encoder only), then padding. 4036..4154 keep what the previous call
// left; a sound stream never lets that reach a result.
static BYTE RingBuffer[RingCapacity];

// Match finder (encoder): 256 binary search trees, one per first byte, whose
// nodes are ring positions ordered by the 59 bytes after the first.
// TreeParent[i] is NoNode when node i is in no tree; entry 4096 absorbs writes
// aimed at NoNode. TreeRight[4097 + b] is the root of the tree of byte b.
static short TreeParent[RingSize + 1];
static short TreeLeft[RingSize + 1];
static short TreeRight[RingSize + 1 + 256];
static int MatchLength;    // longest match found by the last TreeInsert (0: none of 3+)
static int MatchDistance;  // its distance, 1..4095; the smallest among equals

// ---------------------------------------------------------------------------
// Small helpers

static inline DWORD ReadLe32(const BYTE *p) {
  return p[0] | p[1] << 8 | p[2] << 16 | static_cast<DWORD>(p[3]) << 24;
}

static inline bool SameMagic(const BYTE *p, const BYTE *magic) {
  return p[0] == magic[0] && p[1] == magic[1] && p[2] == magic[2] && p[3] == magic[3];
}

// The magic compared ignoring ASCII letter case: a byte matches a letter only
// in its two cases, since 'L','Z','a','r' | 0x20 is reached from no other byte.
static inline bool SameMagicIgnoringCase(const BYTE *p) {
  for (int k = 0; k < 4; k++)
    if ((p[k] | 0x20) != (MagicVersion0[k] | 0x20)) return false;
  return true;
}

// Number of the leading zero bits of a non-zero 32-bit value.
static inline int LeadingZeros(DWORD v) { return __builtin_clz(v); }

// ---------------------------------------------------------------------------
// Bytes and bits

static inline BYTE ReadInputByte() { return InputData[InputPos++]; }

// Doubles the block's room (within 32 bits) when an encoding outgrows the
// length + 1024 bytes it started with; incompressible input grows a little.
static bool GrowOutput() {
  if (OutputFailed || OutputRoom == 0xFFFFFFFFu) {
    OutputFailed = true;
    return false;
  }
  DWORD room = OutputRoom > 0xFFFFFFFFu / 2 ? 0xFFFFFFFFu : OutputRoom * 2;
  BYTE *grown = static_cast<BYTE *>(realloc(OutputData, room));
  if (!grown) {
    OutputFailed = true;  // OutputData stays valid and is freed by the caller
    return false;
  }
  OutputData = grown;
  OutputRoom = room;
  return true;
}

static inline void WriteOutputByte(BYTE b) {
  if (OutputLength == OutputRoom && !GrowOutput()) return;
  OutputData[OutputLength++] = b;
}

static inline void WriteBit(int bit) {
  BitBuffer |= BitMask & -bit;
  BitMask >>= 1;
  if (BitMask == 0) {
    WriteOutputByte(BitBuffer);
    BitBuffer = 0;
    BitMask = 128;
  }
}

static inline void WriteBitPlusPending(int bit) {
  WriteBit(bit);
  for (; PendingBits > 0; PendingBits--) WriteBit(!bit);
}

// Tops BitCache up to at least 56 bits. Away from the end one 8-byte load
// does it (the bits it adds past the whole bytes counted are the true next
// bits, so adding them again later changes nothing). Bytes at or past
// InputLength enter as zeros; BodyOverrun tells whether one has been used.
static inline void RefillBits() {
  if (InputLength - InputPos >= 8) {
    unsigned long long word;
    memcpy(&word, InputData + InputPos, 8);
    BitCache |= __builtin_bswap64(word) >> BitCount;
    InputPos += (63 - BitCount) >> 3;
    BitCount |= 56;
    return;
  }
  while (BitCount <= 56) {
    BYTE b = 0;
    if (InputPos < InputLength) b = ReadInputByte();
    else PaddingBytes++;
    BitCache |= static_cast<unsigned long long>(b) << (56 - BitCount);
    BitCount += 8;
  }
}

// The next n bits (0 <= n <= 17) as a number, as n calls of ReadBit would
// deliver them.
static inline DWORD ReadBits(int n) {
  DWORD bits = static_cast<DWORD>(BitCache >> (64 - 17)) >> (17 - n);
  BitCache <<= n;
  BitCount -= n;
  return bits;
}

// True when the decoder has used a bit of a byte at or past InputLength: the
// plain ReadBit would have had to read outside the container there.
static inline bool BodyOverrun() {
  return PaddingBytes != 0 && static_cast<DWORD>(BitCount) < 8 * PaddingBytes;
}

// ---------------------------------------------------------------------------
// Character and position model

// SymbolCum viewed four entries at a time. Each entry is at most 0x7FFF (the
// total never exceeds MaxFrequencyTotal), so adding 1 to every lane or
// setting the lane's top bit never carries into the next lane.
typedef unsigned long long CumWord;
static const CumWord CumLaneOnes = 0x0001000100010001ull;
static const CumWord CumLaneTops = 0x8000800080008000ull;

static inline CumWord LoadCumWord(int k) {
  CumWord w;
  memcpy(&w, &SymbolCum[k], sizeof w);
  return w;
}

static inline void StoreCumWord(int k, CumWord w) { memcpy(&SymbolCum[k], &w, sizeof w); }

// SymbolCum[j] += 1 for j from `from` (a multiple of 4) to to - 1: the model
// update's walk over the ranks above the counted one, four ranks a step.
static inline void CountRanks(int from, int to) {
  int k = from;
  for (; k + 4 <= to; k += 4) StoreCumWord(k, LoadCumWord(k) + CumLaneOnes);
  // The last 0..3 ranks; adding 0 when there are none costs less than a branch.
  StoreCumWord(k, LoadCumWord(k) + (CumLaneOnes & ((1ull << (16 * (to - k))) - 1)));
}

static void ResetModel() {
  SymbolCum[CharCodeCount] = 0;
  for (int sym = CharCodeCount; sym >= 1; sym--) {
    int ch = sym - 1;
    CharToSymbol[ch] = static_cast<short>(sym);
    SymbolToChar[sym] = static_cast<short>(ch);
    SymbolFreq[sym] = 1;
    SymbolCum[sym - 1] = static_cast<WORD>(SymbolCum[sym] + SymbolFreq[sym]);
  }
  SymbolFreq[0] = 0;
  // The position tables never change: built by the first call (the total
  // is 0 until then), 4096 divisions saved on every later one.
  if (PositionCum[0] == PositionTotal) return;
  PositionCum[PositionCount] = 0;
  for (int i = PositionCount; i >= 1; i--)
    PositionCum[i - 1] = static_cast<WORD>(PositionCum[i] + 10000 / (i + 200));
  int p = PositionCount - 1;
  for (int b = 0; b < PositionBucketCount; b++) {
    while (PositionCum[p] <= (b << PositionBucketShift)) p--;
    PositionOfBucket[b] = static_cast<WORD>(p);
  }
}

static void HalveSymbolModel() {
  DWORD total = 0;
  for (int i = CharCodeCount; i >= 1; i--) {
    SymbolCum[i] = static_cast<WORD>(total);
    SymbolFreq[i] = static_cast<WORD>((SymbolFreq[i] + 1) / 2);
    total += SymbolFreq[i];
  }
  SymbolCum[0] = static_cast<WORD>(total);
}

// First rank of sym's frequency class; the sentinel stops at rank 1. The
// first step is taken without a branch: most classes are one or two long.
static inline int FirstRankOfClass(int sym) {
  WORD freq = SymbolFreq[sym];
  int i = sym - (SymbolFreq[sym - 1] == freq);
  while (SymbolFreq[i - 1] == freq) i--;
  return i;
}

// Gives rank i the character code of rank sym and the other way round.
static inline void SwapRanks(int i, int sym) {
  int ci = SymbolToChar[i], cs = SymbolToChar[sym];
  SymbolToChar[i] = static_cast<short>(cs);
  SymbolToChar[sym] = static_cast<short>(ci);
  CharToSymbol[ci] = static_cast<short>(sym);
  CharToSymbol[cs] = static_cast<short>(i);
}

// The model update's own part for rank sym: its character moves to the first
// rank of its frequency class, whose count goes up. Answers that rank; the
// cumulative counts of the ranks above it are the caller's to raise.
static inline int RaiseSymbol(int sym) {
  int i = FirstRankOfClass(sym);
  if (i < sym) SwapRanks(i, sym);
  SymbolFreq[i]++;
  return i;
}

static inline void UpdateSymbolModel(int sym) {
  if (SymbolCum[0] >= MaxFrequencyTotal) HalveSymbolModel();
  CountRanks(0, RaiseSymbol(sym));
}

// UpdateSymbolModel for a decoder that has already added 1 to ranks 0 to
// counted - 1 while searching, and halved the model if it was due. The
// raised rank may lie on either side of counted.
static inline void FinishSymbolUpdate(int sym, int counted) {
  int i = RaiseSymbol(sym);
  if (i >= counted) {
    CountRanks(counted, i);
  } else {
    for (int j = i; j < counted; j++) SymbolCum[j]--;
  }
}

// ---------------------------------------------------------------------------
// Arithmetic coder, encoding side

// Narrows [CodeLow, CodeHigh) to the part [cumLow, cumHigh) of total.
static inline void NarrowInterval(DWORD cumHigh, DWORD cumLow, DWORD total) {
  DWORD range = CodeHigh - CodeLow;
  CodeHigh = CodeLow + range * cumHigh / total;
  CodeLow += range * cumLow / total;
}

// How many times the renormalisation loop (either side's) doubles the
// interval [CodeLow, CodeLow + range) before it stops. Each turn subtracts 0,
// 0x8000 or 0x10000 and doubles, so after n turns CodeLow is congruent to
// CodeLow << n modulo 0x10000, and the loop only stops with CodeLow below
// 0x10000: the state at turn n is then ((CodeLow << n) & 0xFFFF, range << n).
// The stop test needs range << n > 0x8000, so the loop cannot stop before the
// first such turn n0 and always stops at n0 + 1 (the interval then exceeds
// 0x10000): only turn n0 needs the loop's own test, made without a branch
// since its outcome is a coin toss to predict. n <= 17 as range >= 1.
static inline int RenormaliseCount(DWORD range) {
  int n = LeadingZeros(2 * range - 1) - 15;  // n0: 2 * range - 1 < 0x10000 >> n0
  if (n < 0) n = 0;
  DWORD low = (CodeLow << n) & 0xFFFF;
  DWORD high = low + (range << n);
  return n + ((high <= CodeHalf) | ((low >= CodeQuarter) & (high <= CodeThreeQuarters)));
}

// The encoder's loop in one step. Its first turns are those where CodeLow and
// CodeHigh - 1 agree in bit 16: each writes that bit, the first one with the
// deferred bits after it. Once they differ there, every later turn straddles
// the middle (low in [0x8000, 0x10000), high - 1 in [0x10000, 0x18000)) and
// stays so after doubling: those turns only defer a bit each. The final state
// is the decoder's (see RenormaliseCount).
static inline void EncoderRenormalise() {
  DWORD range = CodeHigh - CodeLow;
  int n = RenormaliseCount(range);
  DWORD differ = (CodeLow ^ (CodeHigh - 1)) << 15;  // bit 16 at the top
  int shared = differ ? LeadingZeros(differ) : 17;
  if (shared > n) shared = n;
  if (shared > 0) {
    WriteBitPlusPending(static_cast<int>(CodeLow >> 16));
    for (int k = 1; k < shared; k++) WriteBit(static_cast<int>(CodeLow >> (16 - k) & 1));
  }
  PendingBits += static_cast<unsigned>(n - shared);
  CodeLow = (CodeLow << n) & 0xFFFF;
  CodeHigh = CodeLow + (range << n);
}

static inline void EncodeCharCode(int ch) {
  int sym = CharToSymbol[ch];
  NarrowInterval(SymbolCum[sym - 1], SymbolCum[sym], SymbolCum[0]);
  EncoderRenormalise();
  UpdateSymbolModel(sym);
}

static inline void EncodePositionCode(int p) {
  // PositionTotal is PositionCum[0]; as a constant it divides by multiplying.
  NarrowInterval(PositionCum[p], PositionCum[p + 1], PositionTotal);
  EncoderRenormalise();
}

// ---------------------------------------------------------------------------
// Arithmetic coder, decoding side

// The decoder's loop in one step (see RenormaliseCount): CodeValue - CodeLow
// doubles with the interval and takes in one bit per turn.
static inline void DecoderRenormalise() {
  DWORD range = CodeHigh - CodeLow;  // >= 1, see CodeLow
  int n = RenormaliseCount(range);
  DWORD low = (CodeLow << n) & 0xFFFF;
  CodeValue = low + ((CodeValue - CodeLow) << n) + ReadBits(n);
  CodeLow = low;
  CodeHigh = low + (range << n);
}

// Rank whose interval holds x: the first rank i >= 1 with SymbolCum[i] <= x.
// The table falls strictly with the rank, so a linear search from the top
// ends where the binary search ends, and sooner for the frequent codes that
// hold the low ranks. It tests four ranks per step: a lane of
// (entry | 0x8000) - (x + 1) keeps its top bit exactly when entry > x, with
// no borrow between lanes as x < SymbolCum[0] <= 0x7FFF (see CodeValue).
// Lane 0 is the total, above x, so the answer is a rank >= 1, and
// SymbolCum[314] = 0 ends the search. The cap on x and the floor of rank 1
// cannot act; they keep every access inside the tables whatever x is.
//
// On its way it adds the model update's 1 to the words of ranks it passes
// (all of them above sym, so counted ones unless sym's class reaches back
// across a word: FinishSymbolUpdate settles that), which saves the update a
// second walk over the same ranks. *counted: ranks 0..*counted - 1 counted.
static inline int FindSymbolCounting(WORD x, int *counted) {
  if (x > MaxFrequencyTotal) x = MaxFrequencyTotal;
  CumWord above = (x + 1) * CumLaneOnes;
  for (int k = 0;; k += 4) {
    CumWord word = LoadCumWord(k);
    CumWord atOrBelow = ~((word | CumLaneTops) - above) & CumLaneTops;
    if (atOrBelow) {
      *counted = k;
      int i = k + (__builtin_ctzll(atOrBelow) >> 4);
      return i > 0 ? i : 1;
    }
    StoreCumWord(k, word + CumLaneOnes);
  }
}

// Position code whose interval holds x: p with PositionCum[p+1] <= x <
// PositionCum[p], as the binary search over PositionCum finds it. The bucket
// table gives the code of the bucket's lowest x; a bucket of 8 values spans
// at most 5 codes (every weight is at least 2), so a few steps down reach x's
// code. x < PositionTotal always (see CodeValue); the test keeps the table
// index inside the table whatever x is.
static inline int FindPositionCode(WORD x) {
  if (x >= PositionTotal) return 0;
  int p = PositionOfBucket[x >> PositionBucketShift];
  while (PositionCum[p] <= x) p--;
  return p;
}

// x: where CodeValue lies in [CodeLow, CodeHigh) on the scale of total,
// below total; the product fits 32 bits (range <= 0x20000, total < 0x8000).
static inline WORD ScaledValue(DWORD total) {
  DWORD range = CodeHigh - CodeLow;
  return static_cast<WORD>(((CodeValue - CodeLow + 1) * total - 1) / range);
}

static inline int DecodeCharCode() {
  WORD total = SymbolCum[0];
  int counted;
  int sym = FindSymbolCounting(ScaledValue(total), &counted);
  DWORD cumHigh = SymbolCum[sym - 1] - (sym - 1 < counted);  // as before counting
  NarrowInterval(cumHigh, SymbolCum[sym], total);
  DecoderRenormalise();
  int ch = SymbolToChar[sym];
  if (total >= MaxFrequencyTotal) {  // halving rebuilds the table: counts and all
    HalveSymbolModel();
    counted = 0;
  }
  FinishSymbolUpdate(sym, counted);
  return ch;
}

static inline int DecodePositionCode() {
  int p = FindPositionCode(ScaledValue(PositionTotal));
  NarrowInterval(PositionCum[p], PositionCum[p + 1], PositionTotal);
  DecoderRenormalise();
  return p;
}

// ---------------------------------------------------------------------------
// Match finder

static void ResetTree() {
  for (int i = RingSize + 1; i <= RingSize + 256; i++) TreeRight[i] = NoNode;
  for (int i = 0; i < RingSize; i++) TreeParent[i] = NoNode;
}

// Makes v opaque to the compiler, which then cannot turn arithmetic on it
// back into a branch.
static inline void HideFromOptimiser(int &v) {
#if defined(__GNUC__)
  __asm__("" : "+r"(v));
#endif
}

// Nodes are compared 8 bytes at a time, as numbers whose order is that of
// the bytes (loaded and byte-swapped, most significant byte first): the
// first differing byte decides both the count of equal bytes and the side.
static inline unsigned long long LoadOrdered(const BYTE *p) {
  unsigned long long w;
  memcpy(&w, p, 8);
  return __builtin_bswap64(w);
}

// Equal leading bytes of nodes a and b whose bytes 0..8 agree (9..60), and in
// *cmp the side of the first difference. Bytes past the 60th may differ
// without effect: the count is capped and a full match leaves *cmp unused.
static int CompareTail(const BYTE *a, const BYTE *b, int *cmp) {
  for (int i = 9; i < MaxMatch; i += 8) {
    unsigned long long wa = LoadOrdered(a + i), wb = LoadOrdered(b + i);
    if (wa != wb) {
      i += __builtin_clzll(wa ^ wb) >> 3;
      *cmp = wa > wb ? 1 : -1;
      return i < MaxMatch ? i : MaxMatch;
    }
  }
  return MaxMatch;
}

// Walks r's tree from its root to where r belongs; the longest match on the
// way wins, the nearest among equally long ones, and a full 60-byte match
// ends the walk. Both rules are kept in one number per node, length << 12 |
// (4095 - distance), whose maximum is the winner; it starts at length
// MatchThreshold so that shorter matches never win.
static void TreeInsert(int r) {
  int p = RingSize + 1 + RingBuffer[r];
  const BYTE *key = &RingBuffer[r];
  unsigned long long keyHead = LoadOrdered(key + 1);  // bytes 1..8 of r
  TreeLeft[r] = TreeRight[r] = NoNode;
  int best = MatchThreshold << 12;
  int cmp = 1;
  int next = TreeRight[p];
  while (next != NoNode) {
    p = next;
    int left = TreeLeft[p], right = TreeRight[p];
    unsigned long long head = LoadOrdered(&RingBuffer[p + 1]);
    int i;  // equal leading bytes of r and p
    if (keyHead != head) {
      i = 1 + (__builtin_clzll(keyHead ^ head) >> 3);
      cmp = static_cast<int>(keyHead > head) * 2 - 1;
    } else {
      i = CompareTail(key, &RingBuffer[p], &cmp);
    }
    int rank = i << 12 | (RingMask - ((r - p) & RingMask));
    best = rank > best ? rank : best;
    if (i >= MaxMatch) break;
    // The side is as good as a coin toss to predict: a mask picks the child,
    // so the walk pays no mispredicted branch per node.
    int toRight = -static_cast<int>(cmp >= 0);
    HideFromOptimiser(toRight);  // else it branches on it again
    next = left ^ ((left ^ right) & toRight);
  }
  MatchLength = best >> 12 > MatchThreshold ? best >> 12 : 0;
  MatchDistance = RingMask - (best & RingMask);
  if (MatchLength < MaxMatch) {
    if (cmp >= 0) TreeRight[p] = static_cast<short>(r);
    else TreeLeft[p] = static_cast<short>(r);
    TreeParent[r] = static_cast<short>(p);
    return;
  }
  // A full match: r takes p's place and p leaves its tree.
  TreeParent[r] = TreeParent[p];
  TreeLeft[r] = TreeLeft[p];
  TreeRight[r] = TreeRight[p];
  TreeParent[TreeLeft[p]] = static_cast<short>(r);
  TreeParent[TreeRight[p]] = static_cast<short>(r);
  if (TreeRight[TreeParent[p]] == p) TreeRight[TreeParent[p]] = static_cast<short>(r);
  else TreeLeft[TreeParent[p]] = static_cast<short>(r);
  TreeParent[p] = NoNode;
}

static void TreeDelete(int p) {
  if (TreeParent[p] == NoNode) return;
  int q;
  if (TreeRight[p] == NoNode) {
    q = TreeLeft[p];
  } else if (TreeLeft[p] == NoNode) {
    q = TreeRight[p];
  } else {
    q = TreeLeft[p];
    if (TreeRight[q] != NoNode) {
      do q = TreeRight[q];
      while (TreeRight[q] != NoNode);
      TreeRight[TreeParent[q]] = TreeLeft[q];
      TreeParent[TreeLeft[q]] = TreeParent[q];
      TreeLeft[q] = TreeLeft[p];
      TreeParent[TreeLeft[p]] = static_cast<short>(q);
    }
    TreeRight[q] = TreeRight[p];
    TreeParent[TreeRight[p]] = static_cast<short>(q);
  }
  TreeParent[q] = TreeParent[p];
  if (TreeRight[TreeParent[p]] == p) TreeRight[TreeParent[p]] = static_cast<short>(q);
  else TreeLeft[TreeParent[p]] = static_cast<short>(q);
  TreeParent[p] = NoNode;
}

// ---------------------------------------------------------------------------
// Encoding

LzariBlock LzariEncode(const BYTE *data, DWORD length) {
  LzariBlock result = {nullptr, 0};
  InputData = data;
  InputLength = length;
  InputPos = 0;
  OutputRoom = length <= 0xFFFFFFFFu - 1024 ? length + 1024 : 0xFFFFFFFFu;
  OutputData = static_cast<BYTE *>(malloc(OutputRoom));
  if (!OutputData) return result;
  OutputLength = 0;
  OutputFailed = false;
  BitBuffer = 0;
  PendingBits = 0;
  CodeLow = 0;
  BitMask = 128;
  CodeHigh = CodeTop;
  for (int k = 0; k < 4; k++) WriteOutputByte(MagicVersion0[k]);
  ResetModel();
  ResetTree();

  // RingBuffer[4036..4154] is not cleared: the plain coder leaves it too, and
  // for inputs under 119 bytes what the last call left there can pick another
  // of several equally valid matches (never another decoded result). Kept as
  // is so short inputs code exactly as the plain coder codes them.
  int s = 0, r = RingStart;
  memset(RingBuffer, ' ', RingStart);
  int len = 0;  // bytes of look-ahead left; signed: an empty input ends at -1
  while (len < MaxMatch && InputPos < InputLength) {
    RingBuffer[r + len] = ReadInputByte();
    len++;
  }
  for (int i = 1; i <= MaxMatch; i++) TreeInsert(r - i);
  TreeInsert(r);
  do {
    if (MatchLength > len) MatchLength = len;
    if (MatchLength <= MatchThreshold) {
      MatchLength = 1;
      EncodeCharCode(RingBuffer[r]);
    } else {
      EncodeCharCode(MatchLength + 253);
      EncodePositionCode(MatchDistance - 1);
    }
    int last = MatchLength, i = 0;
    while (i < last && InputPos < InputLength) {
      TreeDelete(s);
      BYTE b = ReadInputByte();
      RingBuffer[s] = b;
      if (s < MaxMatch - 1) RingBuffer[s + RingSize] = b;
      s = (s + 1) & RingMask;
      r = (r + 1) & RingMask;
      TreeInsert(r);
      i++;
    }
    while (i < last) {
      i++;
      TreeDelete(s);
      s = (s + 1) & RingMask;
      r = (r + 1) & RingMask;
      len--;
      if (len != 0) TreeInsert(r);
    }
  } while (len > 0);

  PendingBits++;
  WriteBitPlusPending(CodeLow < CodeQuarter ? 0 : 1);
  while (BitMask & 0x7F) WriteBit(0);
  for (int k = 0; k < 4; k++) WriteOutputByte(static_cast<BYTE>(length >> (8 * k)));

  if (OutputFailed) {
    free(OutputData);
  } else {
    result.Data = OutputData;
    result.Length = OutputLength;
  }
  OutputData = nullptr;
  return result;
}

// ---------------------------------------------------------------------------
// Decoding

// Copies a match of n bytes at distance dist (1..4096) to the end of the
// output; the caller has checked that n bytes of room are left. Bytes within
// the output are copied from it, which is what the window holds for them;
// bytes before the output's start come from the window as the call found it
// (spaces at 0..4035, the previous call's bytes at 4036..4095). Copies overlap
// their own output when dist < n, so they run front to back.
static inline void CopyMatch(DWORD dist, DWORD n) {
  BYTE *dst = OutputData + OutputLength;
  if (dist <= OutputLength) {
    const BYTE *src = dst - dist;
    if (dist >= 8 && OutputRoom - OutputLength >= ((n + 7) & ~7u)) {
      // Whole 8-byte steps: each reads only bytes written before it.
      for (DWORD k = 0; k < n; k += 8) memcpy(dst + k, src + k, 8);
    } else {
      for (DWORD k = 0; k < n; k++) dst[k] = src[k];
    }
  } else {
    for (DWORD k = 0; k < n; k++) {
      long long from = static_cast<long long>(OutputLength) + k - dist;
      dst[k] = from >= 0 ? OutputData[from]
                         : RingBuffer[(RingStart + from) & RingMask];
    }
  }
  OutputLength += n;
}

// Leaves the window as writing every decoded byte into it at RingStart on
// would have: the last (up to) 4096 output bytes, so a later call sees the
// same stale bytes at 4036..4095 as after the plain decoder. Only after a
// sound decode: a damaged container (whose decode may stop before it starts,
// see the size check) leaves 4036..4095 as it found them.
static void SyncRingBuffer() {
  DWORD first = OutputLength > RingSize ? OutputLength - RingSize : 0;
  for (DWORD j = first; j < OutputLength;) {
    DWORD pos = (RingStart + j) & RingMask;
    DWORD chunk = RingSize - pos;
    if (chunk > OutputLength - j) chunk = OutputLength - j;
    memcpy(RingBuffer + pos, OutputData + j, chunk);
    j += chunk;
  }
}

// Decodes the body into OutputData; false when the body runs out or a match
// runs past DecodedSize.
static bool DecodeBody() {
  BitCache = 0;
  BitCount = 0;
  PaddingBytes = 0;
  CodeLow = 0;
  CodeHigh = CodeTop;
  RefillBits();
  CodeValue = ReadBits(17);
  if (BodyOverrun()) return false;
  ResetModel();
  memset(RingBuffer, ' ', RingStart);
  while (OutputLength < DecodedSize) {
    RefillBits();
    int ch = DecodeCharCode();
    if (ch < 256) {
      if (BodyOverrun()) return false;
      OutputData[OutputLength++] = static_cast<BYTE>(ch);
    } else {
      DWORD dist = static_cast<DWORD>(DecodePositionCode()) + 1;
      if (BodyOverrun()) return false;
      DWORD n = static_cast<DWORD>(ch) - 253;
      // A damaged body may end in a match past the recorded size: rejected
      // rather than cut, as no sound container has one.
      if (n > DecodedSize - OutputLength) return false;
      CopyMatch(dist, n);
    }
  }
  return true;
}

LzariBlock LzariDecode(const BYTE *data, DWORD length) {
  LzariBlock result = {nullptr, 0};
  // Too short for a magic: nothing is read or set.
  if (data == nullptr || length < 4) return result;
  if (SameMagic(data, MagicVersion0)) {
    ContainerVersion = 0;
  } else if (SameMagic(data, MagicVersion1)) {
    ContainerVersion = 1;
    // No room for magic, size field and time: the time stays as it was.
    if (length < 16) return result;
    length -= 8;
    ContainerFileTime.dwLowDateTime = ReadLe32(data + length);
    ContainerFileTime.dwHighDateTime = ReadLe32(data + length + 4);
  }
  // Any other magic that reads "LZar" ignoring case (e.g. all lower case) is
  // decoded like version 0 and leaves ContainerVersion/ContainerFileTime as
  // they were; no container version is claimed for it. The case-blind test
  // runs before the allocation, so a failing one allocates nothing.
  if (!SameMagicIgnoringCase(data)) return result;
  if (length < 8) return result;  // no room for the size field

  InputData = data;
  InputLength = length;
  InputPos = 4;  // the magic has been read
  DecodedSize = ReadLe32(data + length - 4);
  if (DecodedSize == 0) return result;  // an empty file; the body is not read
  // A size the body cannot reach is rejected before the block is allocated
  // (a damaged size field must not cost gigabytes). Each code narrows the
  // interval, which is wider than 0x8000 after every renormalisation, by at
  // least the factor 1 - 312/32767 (a literal: every other code keeps a
  // frequency of 1) and each bit read at most doubles it, so one body bit
  // yields at most 72.5 literal bytes (matches yield fewer: a position code
  // alone costs over 9 bits). Such a body would run out before the end.
  if (DecodedSize / MaxBytesPerBodyByte > InputLength - 4) return result;
  OutputData = static_cast<BYTE *>(malloc(DecodedSize));
  if (!OutputData) return result;
  OutputRoom = DecodedSize;
  OutputLength = 0;

  if (DecodeBody()) {
    SyncRingBuffer();
    result.Data = OutputData;
    result.Length = OutputLength;
  } else {
    free(OutputData);  // a damaged body: the partial block is not handed out
  }
  OutputData = nullptr;
  return result;
}
