#include <cstring>

#include "resource.h"
#include "setup_fixture.h"
#include "shell/fatal.h"
#include "shell/startup.h"

namespace {

using testing::ElementsAre;
using testing::IsEmpty;

class StartupTest : public SetupTest {
 protected:
  void SetUp() override {
    SetupTest::SetUp();
    AddPayloadResources();
  }
  // Runs the program as its start-up code would.
  static int RunSetup(const char *commandLine = "") {
    return WinMain(Host::Instance(), nullptr, const_cast<char *>(commandLine), SW_SHOWNORMAL);
  }
};

const std::vector<std::string> StartupCalls = {
    "FindResourceA", "SizeofResource", "LoadResource", "LockResource", "InitCommonControls",
    "GetVersionExA", "GetBinaryTypeA", "DialogBoxParamA"};

TEST_F(StartupTest, PreparesEverythingThenRunsTheWizardAndAnswersZero) {
  // The user closes the wizard as soon as it waits for them.
  Host::SetUserScript([] { return Host::CloseBox() != 0; });

  EXPECT_EQ(RunSetup("/S /D=D:\\Elsewhere"), 0);

  std::vector<std::string> trace = Host::Trace(StartupCalls);
  trace.resize(8);
  EXPECT_THAT(trace, ElementsAre("FindResourceA(\"LOGO\", #2)", "SizeofResource(\"LOGO\")",
                                 "LoadResource(\"LOGO\")", "LockResource()", "InitCommonControls()",
                                 "GetVersionExA(148)", "GetBinaryTypeA(\"C:\\Windows\\notepad.exe\")",
                                 "DialogBoxParamA(\"SETUP\", NULL, 0)"));
  EXPECT_TRUE(Host::DialogEnded());
  EXPECT_EQ(AppInstance, Host::Instance());
  EXPECT_STREQ(InstallFolder, "C:\\Veltrane\\Gridmark");  // arguments change nothing
  ASSERT_NE(LogoBitmap, nullptr);
  EXPECT_EQ(std::memcmp(LogoBitmap, "\x28\0\0\0\xA0\0\0\0\x78\0\0\0", 12), 0);
  EXPECT_EQ(OsVersionInfo.dwOSVersionInfoSize, 148u);
  EXPECT_EQ(OsVersionInfo.dwMajorVersion, 6u);
  EXPECT_EQ(ArchitectureBits, 64);
}

TEST_F(StartupTest, ProbeFileTypeGivesArchitecture) {
  struct Case {
    DWORD Type;
    LONG Bits;
  } cases[] = {{SCS_64BIT_BINARY, 64}, {SCS_32BIT_BINARY, 32}};
  for (const Case &c : cases) {
    Host::SetBinaryType("C:\\Windows\\notepad.exe", c.Type);
    DetectArchitecture();
    EXPECT_EQ(ArchitectureBits, c.Bits) << c.Type;
  }
}

struct StartupFailure {
  const char *Name;
  void (*Arrange)();
  int Code;
  const char *Text;
  bool BeforeProbes;  // ends the run before the common controls and probes
};

const StartupFailure StartupFailures[] = {
    // The only bitmap: its type is gone too.
    // The logo is the only bitmap, so its whole type is missing.
    {"LogoMissing", [] { Host::RemoveResource(2, "LOGO"); }, 315,
     "can't find resource LOGO\nWin Err Code 1813", true},
    {"LogoNotLoaded", [] { Host::FailCall("LoadResource", ERROR_NOT_ENOUGH_MEMORY); }, 318,
     "can't load resource LOGO\nWin Err Code 8", true},
    {"LogoNotLocked", [] { Host::FailCall("LockResource", 0x80000005); }, 320,
     "can't lock resource LOGO\nWin Err Code -2147483643", true},
    {"VersionUnknown", [] { Host::FailCall("GetVersionExA", ERROR_INVALID_PARAMETER); }, 72,
     "can't get windows version\nWin Err Code 87", false},
    // Windows installed outside C:\Windows: the probe file is not there.
    {"ProbeFileMissing", [] { Host::RemoveBinaryType("C:\\Windows\\notepad.exe"); }, 79,
     "can't get architecture\nWin Err Code 2", false},
    {"ProbeIsDos", [] { Host::SetBinaryType("C:\\Windows\\notepad.exe", SCS_DOS_BINARY); }, 85,
     "unsupported architecture", false},
    {"ProbeIs16Bit", [] { Host::SetBinaryType("C:\\Windows\\notepad.exe", SCS_WOW_BINARY); }, 85,
     "unsupported architecture", false},
    {"ProbeIsOs2", [] { Host::SetBinaryType("C:\\Windows\\notepad.exe", SCS_OS216_BINARY); }, 85,
     "unsupported architecture", false},
};

class StartupFails : public StartupTest, public testing::WithParamInterface<StartupFailure> {};

TEST_P(StartupFails, WithItsCodeBeforeAnyWindowExists) {
  GetParam().Arrange();
  Host::ProcessExit exit = ExpectProcessEnd([] { RunSetup(); });

  ExpectFatal(exit, GetParam().Code, GetParam().Text);
  EXPECT_FALSE(Host::MessageBoxes().back().DialogOpen);
  EXPECT_EQ(Host::CountCalls("DialogBoxParamA"), 0);
  if (GetParam().BeforeProbes)
    EXPECT_THAT(Host::Trace({"InitCommonControls", "GetVersionExA", "GetBinaryTypeA"}), IsEmpty());
}

INSTANTIATE_TEST_SUITE_P(Codes, StartupFails, testing::ValuesIn(StartupFailures),
                         [](const auto &info) { return std::string(info.param.Name); });

TEST_F(StartupTest, ResourceLookupIgnoresCaseAndReportsTheNameAsWritten) {
  AppInstance = Host::Instance();
  Host::AddResource(10, "SAMPLE9.GMD", {1, 2, 3});

  ResourceBlock found = LoadResourceBlock("Sample9.gmd", RT_RCDATA);
  ASSERT_EQ(found.Size, 3u);
  EXPECT_EQ(found.Data[2], 3);

  Host::ProcessExit exit = ExpectProcessEnd([] { LoadResourceBlock("Missing.Gmd", RT_RCDATA); });
  ExpectFatal(exit, 315, "can't find resource Missing.Gmd\nWin Err Code 1814");
}

TEST_F(StartupTest, EmptyResourceIsNoFailure) {
  AppInstance = Host::Instance();
  Host::AddResource(10, "EMPTY", {});
  ResourceBlock found = LoadResourceBlock("EMPTY", RT_RCDATA);
  EXPECT_EQ(found.Size, 0u);
  EXPECT_NE(found.Data, nullptr);
}

}  // namespace
