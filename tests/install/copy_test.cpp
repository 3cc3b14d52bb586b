#include <cstring>

#include "install/copy.h"
#include "resource.h"
#include "setup_fixture.h"

namespace {

using testing::ElementsAre;

class CopyTest : public SetupTest {
 protected:
  void SetUp() override {
    SetupTest::SetUp();
    FillPayloadTable();
    Host::AddFolder("C:\\Veltrane\\Gridmark");
    ASSERT_TRUE(SetCurrentDirectoryA("C:\\Veltrane\\Gridmark"));
    ASSERT_NE(OpenPlainSetupDialog(), nullptr);
    Host::ClearCalls();
  }
  static std::string Installed(const char *name) { return std::string("C:\\Veltrane\\Gridmark\\") + name; }
};

TEST_F(CopyTest, WritesEveryRowInOrderWithProgressBeforeEach) {
  EXPECT_EQ(CopyPayload(Host::Dialog()), 1);

  std::vector<std::string> expected = {
      "SetDlgItemTextA(1032, \"Copying files...\")", "ShowWindow(1031, 5)",
      "SendDlgItemMessageA(1031, 0x401, 0, 0x90000)"};
  for (int i = 0; i < 9; i++) {
    std::string name = PayloadTable[i].Name;
    uint64_t time = Ticks(PayloadTime(i));
    char hex[24];
    std::snprintf(hex, sizeof hex, "0x%llX", (unsigned long long)time);
    expected.push_back("SendDlgItemMessageA(1031, 0x402, " + std::to_string(i) + ", 0x0)");
    expected.push_back("DeleteFileA(\"" + name + "\")");
    expected.push_back("CreateFileA(\"" + name + "\", 0x40000000, 0, NULL, 2, 0x80, NULL)");
    expected.push_back("WriteFile(" + std::to_string(PayloadTable[i].Size) + ", NULL)");
    expected.push_back(std::string("SetFileTime(") + hex + ", " + hex + ", " + hex + ")");
    expected.push_back("CloseHandle()");
  }
  expected.push_back("ShowWindow(1031, 0)");
  expected.push_back("SetDlgItemTextA(1032, \"Files have been copied to the following folder:\")");
  EXPECT_EQ(Host::Trace({"SetDlgItemTextA", "ShowWindow", "SendDlgItemMessageA", "DeleteFileA",
                         "CreateFileA", "WriteFile", "SetFileTime", "CloseHandle"}),
            expected);

  for (int i = 0; i < 9; i++) {
    const Host::FileNode *file = Host::FindNode(Installed(PayloadTable[i].Name));
    ASSERT_NE(file, nullptr) << PayloadTable[i].Name;
    EXPECT_EQ(file->Path, Installed(PayloadTable[i].Name));  // the name as the table writes it
    EXPECT_EQ(file->Data, PayloadBytes(i));
    EXPECT_EQ(file->Attributes, DWORD(FILE_ATTRIBUTE_NORMAL));
    for (const FILETIME *t : {&file->Creation, &file->Access, &file->Write})
      EXPECT_EQ(Ticks(*t), Ticks(PayloadTime(i)));
  }
  EXPECT_EQ(Host::OpenHandles(), 0);
  EXPECT_FALSE(Host::Control(IDC_COPY_PROGRESS)->Visible());
}

TEST_F(CopyTest, ExistingFileIsReplacedWithItsOldAttributesAndTimesGone) {
  Host::AddFile(Installed("sample2.GMD"), std::vector<BYTE>(5000, 'o'));
  CopyPayload(Host::Dialog());
  const Host::FileNode *file = Host::FindNode(Installed("Sample2.gmd"));
  ASSERT_NE(file, nullptr);
  EXPECT_EQ(file->Data, PayloadBytes(4));
  EXPECT_EQ(Ticks(file->Creation), Ticks(PayloadTime(4)));
}

TEST_F(CopyTest, EmptyRowWritesAnEmptyFileWithItsTime) {
  std::free(PayloadTable[3].Data);
  PayloadTable[3].Data = nullptr;
  PayloadTable[3].Size = 0;
  WritePayloadFile(PayloadTable[3].Name, PayloadTable[3]);
  EXPECT_THAT(Host::Trace({"WriteFile"}), ElementsAre("WriteFile(0, NULL)"));
  const Host::FileNode *file = Host::FindNode(Installed("Sample1.gmd"));
  ASSERT_NE(file, nullptr);
  EXPECT_TRUE(file->Data.empty());
  EXPECT_EQ(Ticks(file->Write), Ticks(PayloadTime(3)));
}

// Whatever stands in the way of the third file: the first two stay written,
// nothing after it is touched.
struct InTheWay {
  const char *Name;
  void (*Arrange)();
  int Code;
  const char *Text;
};

const InTheWay Obstacles[] = {
    {"ReadOnlyFile", [] { Host::AddFile("C:\\Veltrane\\Gridmark\\Pagewise.EXE", {'r'}, true); },
     205, "can't delete file Pagewise.EXE\nWin Err Code 5"},
    {"FolderOfThatName", [] { Host::AddFolder("C:\\Veltrane\\Gridmark\\Pagewise.EXE"); }, 205,
     "can't delete file Pagewise.EXE\nWin Err Code 5"},
    {"PathNotFound", [] { Host::FailCall("DeleteFileA", ERROR_PATH_NOT_FOUND, 3); }, 205,
     "can't delete file Pagewise.EXE\nWin Err Code 3"},
    {"CreateFails", [] { Host::FailCall("CreateFileA", ERROR_ACCESS_DENIED, 3); }, 211,
     "can't create file Pagewise.EXE\nWin Err Code 5"},
    {"WriteFails", [] { Host::FailCall("WriteFile", 112, 3); }, 216,
     "can't write file Pagewise.EXE\nWin Err Code 112"},
    {"SetTimeFails", [] { Host::FailCall("SetFileTime", ERROR_INVALID_PARAMETER, 3); }, 226,
     "can';t set file time Pagewise.EXE\nWin Err Code 87"},
    {"CloseFails", [] { Host::FailCall("CloseHandle", ERROR_INVALID_HANDLE, 3); }, 231,
     "file close error Pagewise.EXE\nWin Err Code 6"},
};

class CopyFails : public CopyTest, public testing::WithParamInterface<InTheWay> {};

TEST_P(CopyFails, EndsTheRunAndKeepsWhatWasWritten) {
  GetParam().Arrange();
  Host::ProcessExit exit = ExpectProcessEnd([] { CopyPayload(Host::Dialog()); });

  ExpectFatal(exit, GetParam().Code, GetParam().Text);
  EXPECT_EQ(Host::FindNode(Installed("Gridmark.EXE"))->Data, PayloadBytes(0));
  EXPECT_EQ(Host::FindNode(Installed("Gridmark.HLP"))->Data, PayloadBytes(1));
  EXPECT_EQ(Host::FindNode(Installed("Sample1.gmd")), nullptr);
  EXPECT_EQ(Host::CountCalls("DeleteFileA"), 3);
}

INSTANTIATE_TEST_SUITE_P(Codes, CopyFails, testing::ValuesIn(Obstacles),
                         [](const auto &info) { return std::string(info.param.Name); });

TEST_F(CopyTest, ShortWriteIsFatalWithTheLastError) {
  Host::ShortWrite(10);
  SetLastError(0);
  Host::ProcessExit exit = ExpectProcessEnd([] { WritePayloadFile(PayloadTable[0].Name, PayloadTable[0]); });
  ExpectFatal(exit, 221, "file write error Gridmark.EXE\nWin Err Code 0");
}

}  // namespace
