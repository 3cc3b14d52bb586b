#include <cstring>

#include "payload/extract.h"
#include "payload/lzari.h"
#include "resource.h"
#include "setup_fixture.h"
#include "shell/startup.h"

namespace {

using testing::ElementsAre;
using testing::IsEmpty;

class ExtractTest : public SetupTest {
 protected:
  void SetUp() override {
    SetupTest::SetUp();
    AddPayloadResources();
    ASSERT_NE(OpenPlainSetupDialog(), nullptr);
    AppInstance = Host::Instance();
    Host::ClearCalls();
  }
};

TEST_F(ExtractTest, DecodesEveryRowInOrderWithProgressBeforeEach) {
  ExtractPayload(Host::Dialog());

  std::vector<std::string> expected = {"SetDlgItemTextA(1032, \"extracting files\")",
                                       "ShowWindow(1030, 5)",
                                       "SendDlgItemMessageA(1030, 0x401, 0, 0x90000)"};
  for (int i = 0; i < 9; i++) {
    expected.push_back("SendDlgItemMessageA(1030, 0x402, " + std::to_string(i) + ", 0x0)");
    // The name as the table writes it finds the upper-case resource.
    expected.push_back("FindResourceA(\"" + std::string(PayloadTable[i].Name) + "\", #10)");
  }
  expected.push_back("ShowWindow(1030, 0)");
  EXPECT_EQ(Host::Trace({"SetDlgItemTextA", "ShowWindow", "SendDlgItemMessageA", "FindResourceA"}),
            expected);

  for (int i = 0; i < 9; i++) {
    const PayloadEntry &row = PayloadTable[i];
    EXPECT_EQ(std::vector<BYTE>(row.Data, row.Data + row.Size), PayloadBytes(i)) << row.Name;
    EXPECT_EQ(Ticks(row.FileTime), Ticks(PayloadTime(i))) << row.Name;
  }
  EXPECT_EQ(Host::Control(IDC_STATUS)->Text, "extracting files");
  EXPECT_FALSE(Host::Control(IDC_EXTRACT_PROGRESS)->Visible());
}

TEST_F(ExtractTest, EmptyTableShowsAndHidesTheBarAndTouchesNoResource) {
  PayloadTable[0].Name = nullptr;
  ExtractPayload(Host::Dialog());
  EXPECT_THAT(Host::Trace({"ShowWindow", "SendDlgItemMessageA", "FindResourceA"}),
              ElementsAre("ShowWindow(1030, 5)", "SendDlgItemMessageA(1030, 0x401, 0, 0x0)",
                          "ShowWindow(1030, 0)"));
}

TEST_F(ExtractTest, ContainerRecordingSizeZeroIsAnEmptyFileWithItsTime) {
  Host::AddResource(10, "SAMPLE3.GMD", MakeContainer({}, MakeFileTime(0x01DC123456789ABCull)));
  ExtractPayload(Host::Dialog());
  EXPECT_EQ(PayloadTable[5].Data, nullptr);
  EXPECT_EQ(PayloadTable[5].Size, 0u);
  EXPECT_EQ(Ticks(PayloadTable[5].FileTime), 0x01DC123456789ABCull);
  EXPECT_NE(PayloadTable[6].Data, nullptr);
}

std::vector<BYTE> Version0(const std::vector<BYTE> &bytes) {
  LzariBlock encoded = LzariEncode(bytes.data(), DWORD(bytes.size()));
  std::vector<BYTE> container(encoded.Data, encoded.Data + encoded.Length);
  std::free(encoded.Data);
  return container;
}

std::vector<BYTE> WithMagic(std::vector<BYTE> container, const char *magic) {
  std::memcpy(container.data(), magic, 4);
  return container;
}

std::vector<BYTE> Cut(std::vector<BYTE> container, size_t length) {
  container.resize(length);
  return container;
}

// A body cut short, with the trailer of the whole container after it.
std::vector<BYTE> BodyRunsOut() {
  std::vector<BYTE> whole = MakeContainer(std::vector<BYTE>(3000, 'q'), PayloadTime(4));
  std::vector<BYTE> cut(whole.begin(), whole.begin() + 6);
  cut.insert(cut.end(), whole.end() - 12, whole.end());
  return cut;
}

// Claims more bytes than its body codes, so the decoder runs out of body.
std::vector<BYTE> SizeLargerThanBody() {
  std::vector<BYTE> container = MakeContainer(PayloadBytes(4), PayloadTime(4));
  container[container.size() - 12] = 0xF0;
  container[container.size() - 9] = 0x7F;
  return container;
}

struct BadContainer {
  const char *Name;
  std::vector<BYTE> (*Make)();
  int Code;
  const char *Text;
};

const BadContainer BadContainers[] = {
    {"Version0", [] { return Version0(PayloadBytes(4)); }, 338,
     "resource was compressed with the wrong version of LZARI"},
    // An unknown magic leaves the decoder's version as the row before left it.
    {"UnknownMagic", [] { return WithMagic(MakeContainer(PayloadBytes(4), PayloadTime(4)), "ZZZZ"); },
     338, "resource was compressed with the wrong version of LZARI"},
    {"LowerCaseMagic", [] { return WithMagic(MakeContainer(PayloadBytes(4), PayloadTime(4)), "lzar"); },
     338, "resource was compressed with the wrong version of LZARI"},
    {"ShorterThanMagic", [] { return std::vector<BYTE>{'L', 'z'}; }, 338,
     "resource was compressed with the wrong version of LZARI"},
    {"ShorterThanTrailer", [] { return Cut(MakeContainer(PayloadBytes(4), PayloadTime(4)), 15); },
     340, "can't decode resource Sample2.gmd"},
    {"BodyRunsOut", BodyRunsOut, 340, "can't decode resource Sample2.gmd"},
    {"SizeLargerThanBody", SizeLargerThanBody, 340, "can't decode resource Sample2.gmd"},
};

class ExtractFails : public ExtractTest, public testing::WithParamInterface<BadContainer> {};

TEST_P(ExtractFails, AfterDecodingAndBeforeTheTimeIsStored) {
  Host::AddResource(10, "Sample2.gmd", GetParam().Make());
  Host::ProcessExit exit = ExpectProcessEnd([] { ExtractPayload(Host::Dialog()); });

  ExpectFatal(exit, GetParam().Code, GetParam().Text);
  EXPECT_TRUE(Host::MessageBoxes().back().DialogOpen);
  EXPECT_EQ(Ticks(PayloadTable[3].FileTime), Ticks(PayloadTime(3)));
  EXPECT_EQ(Ticks(PayloadTable[4].FileTime), 0u);
  EXPECT_EQ(Host::CountCalls("FindResourceA"), 5);
}

INSTANTIATE_TEST_SUITE_P(Codes, ExtractFails, testing::ValuesIn(BadContainers),
                         [](const auto &info) { return std::string(info.param.Name); });

TEST_F(ExtractTest, Version0InTheFirstRowIsDecodedThenRefused) {
  Host::AddResource(10, "GRIDMARK.EXE", Version0(PayloadBytes(0)));
  Host::ProcessExit exit = ExpectProcessEnd([] { ExtractPayload(Host::Dialog()); });
  ExpectFatal(exit, 338, "resource was compressed with the wrong version of LZARI");
  EXPECT_EQ(PayloadTable[0].Size, PayloadBytes(0).size());
}

TEST_F(ExtractTest, MissingResourceEndsTheRunBeforeItsDecode) {
  Host::RemoveResource(10, "SAMPLE6.GMD");
  Host::ProcessExit exit = ExpectProcessEnd([] { ExtractPayload(Host::Dialog()); });
  ExpectFatal(exit, 315, "can't find resource Sample6.gmd\nWin Err Code 1814");
  EXPECT_EQ(PayloadTable[8].Data, nullptr);
}

}  // namespace
