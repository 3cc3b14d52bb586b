// Tests of the LZARI codec: known containers, round trips, the container
// frame, damaged input and the state a call leaves behind. Every container
// and input is handed over in a heap block of exactly its size, so that the
// sanitizers catch a read past its end.
#include <stdlib.h>
#include <string.h>

#include <random>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "payload/lzari.h"
#include "reference_lzari.h"

namespace {

typedef std::vector<BYTE> Bytes;

// A block that owns an exactly sized malloc copy of some bytes.
struct ExactCopy {
  explicit ExactCopy(const Bytes &bytes)
      : data(bytes.empty() ? nullptr : static_cast<BYTE *>(malloc(bytes.size()))),
        length(static_cast<DWORD>(bytes.size())) {
    if (data) memcpy(data, bytes.data(), bytes.size());
  }
  ~ExactCopy() { free(data); }
  BYTE *data;
  DWORD length;
};

// The result of a decode: whether it was empty (null), and its bytes.
struct Decoded {
  bool empty;
  Bytes bytes;
};

Bytes Take(LzariBlock block) {
  Bytes bytes(block.Data, block.Data + block.Length);
  free(block.Data);
  return bytes;
}

Bytes Encode(const Bytes &input) {
  ExactCopy copy(input);
  LzariBlock block = LzariEncode(copy.data, copy.length);
  EXPECT_NE(block.Data, nullptr);
  return Take(block);
}

Decoded Decode(const Bytes &container) {
  ExactCopy copy(container);
  LzariBlock block = LzariDecode(copy.data, copy.length);
  EXPECT_EQ(block.Data == nullptr, block.Length == 0);
  bool empty = block.Data == nullptr;
  return Decoded{empty, Take(block)};
}

Bytes ReferenceEncode(const Bytes &input) {
  ExactCopy copy(input);
  return Take(reference::Encode(copy.data, copy.length));
}

Bytes ReferenceDecode(const Bytes &container) {
  ExactCopy copy(container);
  return Take(reference::Decode(copy.data, copy.length));
}

Bytes FromString(const std::string &text) { return Bytes(text.begin(), text.end()); }

Bytes RandomBytes(size_t n, unsigned seed) {
  std::mt19937 random(seed);
  Bytes bytes(n);
  for (BYTE &b : bytes) b = static_cast<BYTE>(random());
  return bytes;
}

// Word salad: compressible like text, with matches of many lengths.
Bytes Text(size_t n, unsigned seed) {
  static const char *words[] = {"the", "outline", "of", "a", "grid", "mark", "and", "its",
                                "help", "page", "sample", "file", "window", "is", "shown",
                                "when", "you", "open", "heading", "level", "node", "edit"};
  std::mt19937 random(seed);
  std::string text;
  while (text.size() < n) {
    text += words[random() % (sizeof words / sizeof *words)];
    text += random() % 9 == 0 ? ".\r\n" : " ";
  }
  text.resize(n);
  return FromString(text);
}

Bytes Frame(const char *magic, const Bytes &body, DWORD size, const Bytes &tail = Bytes()) {
  Bytes container(magic, magic + 4);
  container.insert(container.end(), body.begin(), body.end());
  for (int k = 0; k < 4; k++) container.push_back(static_cast<BYTE>(size >> (8 * k)));
  container.insert(container.end(), tail.begin(), tail.end());
  return container;
}

// The body and the size field of a version-0 container.
Bytes BodyOf(const Bytes &container) { return Bytes(container.begin() + 4, container.end() - 4); }

DWORD ReadSize(const Bytes &container) {
  const BYTE *p = &container[container.size() - 4];
  return p[0] | p[1] << 8 | p[2] << 16 | static_cast<DWORD>(p[3]) << 24;
}

// The window's tail (4036..4154) keeps what earlier calls left, and damaged
// streams and inputs under 119 bytes can see it. One encode and one decode of
// the same 5000 bytes rewrite the whole window in both coders alike.
void BringWindowsInStep() {
  Bytes input = Text(5000, 11);
  Bytes container = Encode(input);
  ASSERT_EQ(container, ReferenceEncode(input));
  ASSERT_EQ(Decode(container).bytes, ReferenceDecode(container));
}

void SetVersionAndTime(LONG version, DWORD low, DWORD high) {
  // A size-0 "LzaR" container sets both without decoding anything; a "LZar"
  // one sets the version alone.
  Bytes time = {static_cast<BYTE>(low), static_cast<BYTE>(low >> 8), static_cast<BYTE>(low >> 16),
                static_cast<BYTE>(low >> 24), static_cast<BYTE>(high),
                static_cast<BYTE>(high >> 8), static_cast<BYTE>(high >> 16),
                static_cast<BYTE>(high >> 24)};
  ASSERT_TRUE(Decode(Frame("LzaR", Bytes(), 0, time)).empty);
  if (version == 0) ASSERT_TRUE(Decode(Frame("LZar", Bytes(), 0)).empty);
  ASSERT_EQ(ContainerVersion, version);
  ASSERT_EQ(ContainerFileTime.dwLowDateTime, low);
  ASSERT_EQ(ContainerFileTime.dwHighDateTime, high);
}

// ---------------------------------------------------------------------------

struct KnownContainer {
  const char *name;
  Bytes input;
  Bytes container;
};

TEST(LzariKnownContainers, EncodeToTheListedBytesAndDecodeBack) {
  const KnownContainer cases[] = {
      {"60 spaces: one match of 60 at distance 60", Bytes(60, 0x20),
       {0x4C, 0x5A, 0x61, 0x72, 0x00, 0xBD, 0xA0, 0x3C, 0x00, 0x00, 0x00}},
      {"41 41 41 41: a literal, then length 3 at distance 1", {0x41, 0x41, 0x41, 0x41},
       {0x4C, 0x5A, 0x61, 0x72, 0xCA, 0x56, 0xFA, 0xC0, 0x04, 0x00, 0x00, 0x00}},
      {"41: one literal", {0x41}, {0x4C, 0x5A, 0x61, 0x72, 0xCA, 0x80, 0x01, 0x00, 0x00, 0x00}},
      {"41 42: two literals", {0x41, 0x42},
       {0x4C, 0x5A, 0x61, 0x72, 0xCA, 0xD4, 0x80, 0x02, 0x00, 0x00, 0x00}},
  };
  for (const KnownContainer &c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(Encode(c.input), c.container);
    SetVersionAndTime(1, 7, 8);
    Decoded decoded = Decode(c.container);
    EXPECT_FALSE(decoded.empty);
    EXPECT_EQ(decoded.bytes, c.input);
    EXPECT_EQ(ContainerVersion, 0);
  }
}

TEST(LzariKnownContainers, EmptyInputGivesAShortBodyAndDecodesToTheEmptyResult) {
  Bytes container = Encode(Bytes());
  ASSERT_GE(container.size(), 8u);
  EXPECT_LE(container.size(), 8u + 3);  // one coded literal and the final bits
  EXPECT_EQ(Bytes(container.begin(), container.begin() + 4), FromString("LZar"));
  EXPECT_EQ(Bytes(container.end() - 4, container.end()), Bytes(4, 0));
  SetVersionAndTime(1, 7, 8);
  EXPECT_TRUE(Decode(container).empty);
  EXPECT_EQ(ContainerVersion, 0);
}

TEST(LzariKnownContainers, RunOfOneByteIsALiteralThenOverlappingMatches) {
  Bytes zeros(5000, 0);
  Bytes container = Encode(zeros);
  // One literal and 84 matches (83 of 60 bytes, one of 19) code very short.
  EXPECT_LT(container.size(), 200u);
  EXPECT_EQ(Decode(container).bytes, zeros);
}

// ---------------------------------------------------------------------------

struct RoundTrip {
  const char *name;
  Bytes input;
};

std::vector<RoundTrip> RoundTrips() {
  Bytes longRuns;
  for (int k = 0; k < 300; k++) longRuns.insert(longRuns.end(), 1 + k % 97, static_cast<BYTE>(k));
  Bytes periodic;  // matches at every distance up to the window and beyond
  for (int k = 0; k < 20000; k++) periodic.push_back(static_cast<BYTE>((k % 4099) * 7));
  return {
      {"empty", Bytes()},
      {"one byte", {0xFF}},
      {"two bytes", {0x00, 0x20}},
      {"three equal bytes", {0x41, 0x41, 0x41}},
      {"three spaces match the pre-filled window", {0x20, 0x20, 0x20}},
      {"118 bytes: comparisons reach the unwritten end of the window", Text(118, 1)},
      {"short runs of every length", longRuns},
      {"period just over the window", periodic},
      {"random 70000 bytes", RandomBytes(70000, 2)},
      // Matches of 60 at distance 1 code about 52 bytes per body byte, the
      // densest a sound body gets; the decoder's size check must allow it.
      {"a megabyte of zeros", Bytes(1 << 20, 0)},
      {"text 200000 bytes", Text(200000, 3)},
      // Literal codes only, well past the 32454th code that first halves the
      // model, and many halvings after that.
      {"random 400000 bytes halve the model again and again", RandomBytes(400000, 4)},
  };
}

TEST(LzariRoundTrip, DecodesBackAndCodesLikeThePlainAlgorithm) {
  for (const RoundTrip &c : RoundTrips()) {
    SCOPED_TRACE(c.name);
    Bytes container = Encode(c.input);
    EXPECT_EQ(container, ReferenceEncode(c.input));
    Decoded decoded = Decode(container);
    EXPECT_EQ(decoded.empty, c.input.empty());
    EXPECT_EQ(decoded.bytes, c.input);
  }
}

TEST(LzariRoundTrip, IncompressibleInputGrowsTheEncodersBlock) {
  // Random bytes code about 0.14% longer than they are.
  Bytes input = RandomBytes(1000000, 5);
  Bytes container = Encode(input);
  ASSERT_GT(container.size(), input.size() + 1024);  // past the first room
  EXPECT_EQ(container, ReferenceEncode(input));
  EXPECT_EQ(Decode(container).bytes, input);
}

TEST(LzariRoundTrip, ReencodingDecodedContentReproducesTheBody) {
  // Containers kept with the fuzz corpus, packed from the product's files.
  const char *names[] = {"Gridmark.HLP.lzr", "Sample1.gmd.lzr", "Sample2.gmd.v0.lzr",
                         "Sample3.gmd.lzr", "Sample6.gmd.lzr", "random3000.lzr"};
  for (const char *name : names) {
    SCOPED_TRACE(name);
    std::string path = std::string(LZARI_CORPUS_DIR) + "/" + name;
    FILE *file = fopen(path.c_str(), "rb");
    ASSERT_NE(file, nullptr) << path;
    Bytes container;
    int c;
    while ((c = fgetc(file)) != EOF) container.push_back(static_cast<BYTE>(c));
    fclose(file);
    bool version1 = memcmp(container.data(), "LzaR", 4) == 0;
    Bytes frame(container.begin(), container.end() - (version1 ? 8 : 0));
    Decoded decoded = Decode(container);
    ASSERT_FALSE(decoded.empty);
    EXPECT_EQ(decoded.bytes.size(), ReadSize(frame));
    EXPECT_EQ(BodyOf(Encode(decoded.bytes)), BodyOf(frame));
  }
}

// ---------------------------------------------------------------------------

TEST(LzariContainer, BothVersionsOfOneBodyDecodeAlike) {
  Bytes input = Text(5000, 6);
  Bytes v0 = Encode(input);
  Bytes time = {0x10, 0x32, 0x54, 0x76, 0x98, 0xBA, 0xDC, 0x0E};
  Bytes v1 = Frame("LzaR", BodyOf(v0), static_cast<DWORD>(input.size()), time);

  SetVersionAndTime(0, 1, 2);
  EXPECT_EQ(Decode(v1).bytes, input);
  EXPECT_EQ(ContainerVersion, 1);
  EXPECT_EQ(ContainerFileTime.dwLowDateTime, 0x76543210u);
  EXPECT_EQ(ContainerFileTime.dwHighDateTime, 0x0EDCBA98u);

  EXPECT_EQ(Decode(v0).bytes, input);
  EXPECT_EQ(ContainerVersion, 0);
  EXPECT_EQ(ContainerFileTime.dwLowDateTime, 0x76543210u);  // only "LzaR" sets it
}

struct MagicCase {
  const char *name;
  const char *magic;
  bool decodes;  // like a version-0 container
};

TEST(LzariContainer, MagicDecidesVersionExactlyAndDecodingIgnoringCase) {
  Bytes input = Text(300, 7);
  Bytes body = BodyOf(Encode(input));
  const MagicCase cases[] = {
      {"four zero bytes", "\0\0\0\0", false},
      {"another magic", "LZaR", true},  // neither exact magic; reads "LZar" ignoring case
      {"all lower case", "lzar", true},
      {"all upper case", "LZAR", true},
      {"one letter off", "LZas", false},
      {"a non-letter that differs by 0x20 only", "\x0CZar", false},
  };
  for (const MagicCase &c : cases) {
    SCOPED_TRACE(c.name);
    SetVersionAndTime(1, 0xAAAA, 0xBBBB);
    Bytes container(c.magic, c.magic + 4);
    container.insert(container.end(), body.begin(), body.end());
    for (int k = 0; k < 4; k++) container.push_back(static_cast<BYTE>(input.size() >> (8 * k)));
    Decoded decoded = Decode(container);
    EXPECT_EQ(decoded.empty, !c.decodes);
    if (c.decodes) EXPECT_EQ(decoded.bytes, input);
    EXPECT_EQ(ContainerVersion, 1);
    EXPECT_EQ(ContainerFileTime.dwLowDateTime, 0xAAAAu);
    EXPECT_EQ(ContainerFileTime.dwHighDateTime, 0xBBBBu);
  }
}

struct ShortCase {
  const char *name;
  Bytes container;
  LONG version;      // ContainerVersion afterwards (it starts as 9)
  DWORD timeLow;     // ContainerFileTime.dwLowDateTime afterwards (starts as 9)
};

TEST(LzariContainer, TooShortOrEmptyContainersGiveTheEmptyResult) {
  const ShortCase cases[] = {
      {"nothing at all", Bytes(), 9, 9},
      {"three bytes of a magic", FromString("LZa"), 9, 9},
      {"magic alone", FromString("LZar"), 0, 9},
      {"magic and three bytes", FromString("LZar\x01\x02\x03"), 0, 9},
      {"version 1 without its time", FromString("LzaR\x01\x00\x00\x00"), 1, 9},
      {"version 1 one byte short", FromString(std::string("LzaR\x00\x00\x00\x00\x05\x00\x00", 11)), 1, 9},
      {"version 1 of size 0", Frame("LzaR", Bytes(), 0, {5, 0, 0, 0, 0, 0, 0, 0}), 1, 5},
      {"version 0 of size 0 with a body", Frame("LZar", {0xCA, 0x80}, 0), 0, 9},
      {"lower-case magic alone", FromString("lzar"), 9, 9},
  };
  for (const ShortCase &c : cases) {
    SCOPED_TRACE(c.name);
    ContainerVersion = 9;
    ContainerFileTime.dwLowDateTime = 9;
    ContainerFileTime.dwHighDateTime = 0;
    EXPECT_TRUE(Decode(c.container).empty);
    EXPECT_EQ(ContainerVersion, c.version);
    EXPECT_EQ(ContainerFileTime.dwLowDateTime, c.timeLow);
  }
}

// ---------------------------------------------------------------------------

TEST(LzariDamaged, EveryTruncationOfARealContainerIsRejected) {
  Bytes input = Text(3000, 8);
  Bytes v0 = Encode(input);
  Bytes v1 = Frame("LzaR", BodyOf(v0), static_cast<DWORD>(input.size()), Bytes(8, 0x11));
  for (const Bytes *container : {&v0, &v1}) {
    for (size_t length = 0; length < container->size(); length++) {
      SCOPED_TRACE(length);
      Bytes cut(container->begin(), container->begin() + length);
      EXPECT_TRUE(Decode(cut).empty);
    }
  }
}

TEST(LzariDamaged, BodyThatRunsOutIsRejected) {
  Bytes input = Text(3000, 9);
  Bytes body = BodyOf(Encode(input));
  DWORD size = static_cast<DWORD>(input.size());
  // (Cutting only the last byte or two may go unnoticed: the decoder reads
  // ahead into the size field, which then stands in for them.)
  for (size_t keep : {size_t(0), size_t(1), body.size() / 2, body.size() - 20}) {
    SCOPED_TRACE(keep);
    Bytes cut(body.begin(), body.begin() + keep);
    EXPECT_TRUE(Decode(Frame("LZar", cut, size)).empty);
  }
  // A sound body asked for more than it holds runs out as well.
  EXPECT_TRUE(Decode(Frame("LZar", body, size * 2)).empty);
}

TEST(LzariDamaged, LastMatchPastTheSizeIsRejected) {
  // 60 spaces: a single match of 60; 41 41 41 41: a literal and a match of 3.
  Bytes spaces = BodyOf(Encode(Bytes(60, 0x20)));
  Bytes letters = BodyOf(Encode({0x41, 0x41, 0x41, 0x41}));
  for (DWORD size : {1u, 30u, 59u}) EXPECT_TRUE(Decode(Frame("LZar", spaces, size)).empty) << size;
  for (DWORD size : {2u, 3u}) EXPECT_TRUE(Decode(Frame("LZar", letters, size)).empty) << size;
}

TEST(LzariDamaged, AnyBodyDecodesLikeThePlainDecoder) {
  // Random bodies under real frames: whatever they yield, it is what the
  // plain decoder yields, and never more than the recorded size.
  BringWindowsInStep();
  std::mt19937 random(10);
  int whole = 0;  // rounds that decoded to a result, not just both empty
  for (int round = 0; round < 300; round++) {
    Bytes body = RandomBytes(1 + random() % 64, random());
    DWORD size = 1 + random() % (4 * body.size());
    Bytes container = Frame(round % 2 ? "LzaR" : "LZar", body, size, round % 2 ? Bytes(8, 1) : Bytes());
    Decoded decoded = Decode(container);
    EXPECT_EQ(decoded.bytes, ReferenceDecode(container)) << round;
    if (!decoded.empty) {
      EXPECT_EQ(decoded.bytes.size(), size);
      whole++;
    }
  }
  EXPECT_GT(whole, 30);
}

// ---------------------------------------------------------------------------

Bytes Codes(std::vector<int> codes, DWORD size) {
  return Take(reference::EncodeCodes(codes.data(), codes.size(), size));
}

TEST(LzariState, AMatchReachingBeforeTheOutputReadsWhatTheLastCallLeft) {
  // The window tail 4036..4095 holds the last 60 bytes that the previous
  // decode put there; a first match at distance 4096 copies exactly them.
  BringWindowsInStep();
  Bytes text = Text(5000, 15);
  Bytes container = Encode(text);
  ReferenceEncode(text);
  Bytes last = Text(5000, 16);  // the last encode leaves other bytes there
  Encode(last);
  ReferenceEncode(last);
  ASSERT_EQ(Decode(container).bytes, text);
  ReferenceDecode(container);

  Bytes tail = Codes({313, 4095}, 60);  // length 60, distance 4096
  Bytes expected(text.begin() + 4096, text.begin() + 4156);
  EXPECT_EQ(Decode(tail).bytes, expected);
  EXPECT_EQ(ReferenceDecode(tail), expected);
  // Distance 60 reaches the spaces that every call puts at 3976..4035.
  EXPECT_EQ(Decode(Codes({313, 59}, 60)).bytes, Bytes(60, 0x20));
}

TEST(LzariState, ShortInputsCodeLikeThePlainCoderAfterAnyHistory) {
  // Inputs under 119 bytes compare against the window's tail, which the last
  // encode or decode left. With both coders' windows in step, interleaved
  // calls must code alike.
  BringWindowsInStep();
  std::vector<Bytes> containers;
  for (unsigned seed = 20; seed < 26; seed++) {
    Bytes input = Text(300 + seed * 7, seed);
    containers.push_back(Encode(input));
    ReferenceEncode(input);
  }
  const Bytes shortInputs[] = {Bytes(), {0x20}, Bytes(3, 0x20), Bytes(40, 0x20), {0x41, 0x42},
                               Text(40, 12), Bytes(70, 0x65), Text(118, 13)};
  size_t k = 0;
  for (const Bytes &input : shortInputs) {
    SCOPED_TRACE(input.size());
    // A decode of other content than the last encode moves the tail.
    const Bytes &other = containers[k++ % containers.size()];
    EXPECT_EQ(Decode(other).bytes, ReferenceDecode(other));
    Bytes container = Encode(input);
    EXPECT_EQ(container, ReferenceEncode(input));
    EXPECT_EQ(Decode(container).bytes, input);
    ReferenceDecode(container);
  }
}

}  // namespace
