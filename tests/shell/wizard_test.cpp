#include <cstring>

#include "resource.h"
#include "setup_fixture.h"
#include "shell/startup.h"
#include "shell/wizard.h"

namespace {

using testing::ElementsAre;
using testing::IsEmpty;

class WizardTest : public SetupTest {
 protected:
  void SetUp() override {
    SetupTest::SetUp();
    AddPayloadResources();
    // What start-up leaves for the wizard.
    AppInstance = Host::Instance();
    std::strcpy(InstallFolder, "C:\\Veltrane\\Gridmark");
    LoadLogo();
    DetectWindowsVersion();
    DetectArchitecture();
    Host::ClearCalls();
  }
  static HWND Open() { return Host::OpenDialog("SETUP", SetupDialogProc); }
  // Opened, then the two posted steps: the wizard asks for the folder.
  static void OpenToQuestion() {
    ASSERT_NE(Open(), nullptr);
    Host::DispatchAllPosted();
  }
};

// ---- The stages, control by control --------------------------------------

struct Shown {
  int Id;
  const char *Name;
};
const Shown StageControls[] = {
    {IDC_STATUS, "IDC_STATUS"},   {IDC_FOLDER, "IDC_FOLDER"},
    {IDC_PROMPT, "IDC_PROMPT"},   {IDC_EXTRACT_PROGRESS, "IDC_EXTRACT_PROGRESS"},
    {IDC_COPY_PROGRESS, "IDC_COPY_PROGRESS"}, {IDC_INSTALL, "IDC_INSTALL"},
    {IDC_BROWSE, "IDC_BROWSE"},   {IDC_EXIT, "IDC_EXIT"},
};

// One line per control: visibility, enabled state, focus and text (the
// progress bars' texts are never shown).
std::string Stage() {
  std::string stage;
  for (const Shown &c : StageControls) {
    Host::Window *w = Host::Control(c.Id);
    stage += std::string(c.Name) + (w->Visible() ? " shown" : " hidden");
    if (!w->Enabled()) stage += " disabled";
    if (Host::FocusedId() == c.Id) stage += " focused";
    if (w->Class != "MSCTLS_PROGRESS32") stage += " \"" + w->Text + "\"";
    stage += "\n";
  }
  return stage;
}

const char *const Opened =
    "IDC_STATUS shown \"extracting files\"\n"
    "IDC_FOLDER hidden \"C:\\Veltrane\\Gridmark\"\n"
    "IDC_PROMPT hidden \"install in this folder or select some other folder\"\n"
    "IDC_EXTRACT_PROGRESS hidden\n"
    "IDC_COPY_PROGRESS hidden\n"
    "IDC_INSTALL hidden \"install in this folder\"\n"
    "IDC_BROWSE hidden \"select another folder\"\n"
    "IDC_EXIT shown focused \"Quit\"\n";

const char *const Extracting =
    "IDC_STATUS shown \"extracting files\"\n"
    "IDC_FOLDER hidden \"C:\\Veltrane\\Gridmark\"\n"
    "IDC_PROMPT hidden \"install in this folder or select some other folder\"\n"
    "IDC_EXTRACT_PROGRESS shown\n"
    "IDC_COPY_PROGRESS hidden\n"
    "IDC_INSTALL hidden \"install in this folder\"\n"
    "IDC_BROWSE hidden \"select another folder\"\n"
    "IDC_EXIT shown focused \"Quit\"\n";

const char *const Question =
    "IDC_STATUS shown \"The files will be installed in the following folder:\"\n"
    "IDC_FOLDER shown \"C:\\Veltrane\\Gridmark\"\n"
    "IDC_PROMPT shown \"Install in this folder or some other path of your choosing?\"\n"
    "IDC_EXTRACT_PROGRESS hidden\n"
    "IDC_COPY_PROGRESS hidden\n"
    "IDC_INSTALL shown focused \"install in this folder\"\n"
    "IDC_BROWSE shown \"select another folder\"\n"
    "IDC_EXIT hidden \"Exit\"\n";

const char *const Browsing =
    "IDC_STATUS shown \"The files will be installed in the following folder:\"\n"
    "IDC_FOLDER shown \"C:\\Veltrane\\Gridmark\"\n"
    "IDC_PROMPT shown \"Install in this folder or some other path of your choosing?\"\n"
    "IDC_EXTRACT_PROGRESS hidden\n"
    "IDC_COPY_PROGRESS hidden\n"
    "IDC_INSTALL shown disabled \"install in this folder\"\n"
    "IDC_BROWSE shown \"select another folder\"\n"
    "IDC_EXIT hidden \"Exit\"\n";

const char *const Installing =
    "IDC_STATUS shown \"Copying files...\"\n"
    "IDC_FOLDER shown \"D:\\Gridmark\"\n"
    "IDC_PROMPT shown \"Install in this folder or some other path of your choosing?\"\n"
    "IDC_EXTRACT_PROGRESS hidden\n"
    "IDC_COPY_PROGRESS shown\n"
    "IDC_INSTALL hidden \"install in this folder\"\n"
    "IDC_BROWSE hidden \"select another folder\"\n"
    "IDC_EXIT hidden \"Exit\"\n";

// The second half of Installing: the files are written, the links are made.
const char *const InstallingLinks =
    "IDC_STATUS shown \"Files have been copied to the following folder:\"\n"
    "IDC_FOLDER shown \"D:\\Gridmark\"\n"
    "IDC_PROMPT shown \"Install in this folder or some other path of your choosing?\"\n"
    "IDC_EXTRACT_PROGRESS hidden\n"
    "IDC_COPY_PROGRESS hidden\n"
    "IDC_INSTALL hidden \"install in this folder\"\n"
    "IDC_BROWSE hidden \"select another folder\"\n"
    "IDC_EXIT hidden \"Exit\"\n";

const char *const Finished =
    "IDC_STATUS shown \"Files have been copied to the following folder:\"\n"
    "IDC_FOLDER shown \"D:\\Gridmark\"\n"
    "IDC_PROMPT shown \"The software has been successfully installed.\"\n"
    "IDC_EXTRACT_PROGRESS hidden\n"
    "IDC_COPY_PROGRESS hidden\n"
    "IDC_INSTALL hidden \"install in this folder\"\n"
    "IDC_BROWSE hidden \"select another folder\"\n"
    "IDC_EXIT shown focused \"Exit\"\n";

TEST_F(WizardTest, StagesShowWhatEachStageShows) {
  std::string extracting, browsing, installing, shortcuts;
  Host::OnCall("FindResourceA", [&] { if (extracting.empty()) extracting = Stage(); });
  Host::OnCall("SHBrowseForFolderA", [&] { browsing = Stage(); });
  Host::OnCall("WriteFile", [&] { if (installing.empty()) installing = Stage(); });
  Host::OnCall("CoCreateInstance", [&] { if (!installing.empty()) shortcuts = Stage(); });
  Host::QueuePicker(Host::Picker::Choose, "D:\\Gridmark\\");
  Host::AddFolder("D:\\");

  ASSERT_NE(Open(), nullptr);
  EXPECT_EQ(Stage(), Opened);
  EXPECT_EQ(Host::PostedCount(), 1);  // step 1 waits in the queue

  Host::DispatchPosted();
  EXPECT_EQ(extracting, Extracting);
  EXPECT_EQ(Host::PostedCount(), 1);  // step 2, posted after extraction returned
  Host::DispatchPosted();
  EXPECT_EQ(Stage(), Question);

  Host::Click(IDC_BROWSE);
  EXPECT_EQ(browsing, Browsing);
  // Back in Question with the folder as the picker gave it.
  EXPECT_EQ(Host::Control(IDC_FOLDER)->Text, "D:\\Gridmark\\");
  EXPECT_EQ(Host::FocusedId(), IDC_INSTALL);
  Host::Control(IDC_FOLDER)->Text = "D:\\Gridmark";  // as the next picker would show it

  Host::Click(IDC_INSTALL);
  EXPECT_EQ(installing, Installing);
  EXPECT_EQ(shortcuts, InstallingLinks);
  EXPECT_EQ(Stage(), Finished);
  EXPECT_NE(Host::FindNode("D:\\Gridmark\\Gridmark.EXE"), nullptr);
  EXPECT_NE(Host::FindNode("C:\\users\\setup\\Desktop\\Gridmark.lnk"), nullptr);

  // Every stage keeps the opening texts.
  EXPECT_EQ(Host::Control(IDC_NOTE)->Text, "You may need to disable your antivirus before proceeding.");
  EXPECT_TRUE(Host::Control(IDC_LOGO)->Visible());
  EXPECT_FALSE(Host::DialogEnded());
  EXPECT_EQ(Host::Click(IDC_EXIT), 1);
  EXPECT_TRUE(Host::DialogEnded());
  EXPECT_EQ(Host::DialogResult(), IDC_EXIT);
}

TEST_F(WizardTest, OpeningSequenceInOrder) {
  ASSERT_NE(Open(), nullptr);
  std::vector<std::string> trace = Host::Trace();
  trace.erase(std::remove_if(trace.begin(), trace.end(),
                             [](const std::string &call) { return call.rfind("GetDlgItem(", 0) == 0; }),
              trace.end());
  EXPECT_THAT(trace, ElementsAre(
      "GetWindowRect()", "GetSystemMetrics(0)", "GetSystemMetrics(1)", testing::StartsWith("MoveWindow("),
      "SetDlgItemTextA(1033, \"This program will install\nVersion 1.37 of Gridmark\nOutline Designer\nby Ilse Varnholt\nBremen\n\")",
      "ShowWindow(1026, 0)", "ShowWindow(1027, 0)", "ShowWindow(1030, 0)", "ShowWindow(1031, 0)",
      "ShowWindow(1037, 0)", "ShowWindow(1036, 0)", "SetWindowLongA(1028, -16, 0x5000000D)",
      "SetDlgItemTextA(1025, \"Architecture: 64-bit\")",
      "SetDlgItemTextA(1029, \"Operating System: Windows-7\")", "PostMessageA(0x400, 1, 0)"));
  EXPECT_EQ(Host::Control(IDC_LOGO)->Style, 0x5000000D);
}

TEST_F(WizardTest, IntroHasFiveLinesWithinItsBuffer) {
  ASSERT_NE(Open(), nullptr);
  const std::string &intro = Host::Control(IDC_INTRO)->Text;
  EXPECT_LE(intro.size(), 127u);
  EXPECT_EQ(std::count(intro.begin(), intro.end(), '\n'), 5);
  EXPECT_EQ(intro.back(), '\n');
  EXPECT_EQ(std::string(SetupConfig.Description).size() + std::strlen(SetupConfig.ProgramName) +
                std::strlen(SetupConfig.ProductVersion),
            intro.size() - 40);
}

TEST_F(WizardTest, ArchitectureLabel) {
  Host::SetBinaryType("C:\\Windows\\notepad.exe", SCS_32BIT_BINARY);
  DetectArchitecture();
  ASSERT_NE(Open(), nullptr);
  EXPECT_EQ(Host::Control(IDC_ARCH)->Text, "Architecture: 32-bit");
}

struct OsCase {
  DWORD Major, Minor;
  const char *Text;
};

class OsLabel : public WizardTest, public testing::WithParamInterface<OsCase> {};

TEST_P(OsLabel, NamedByMajorAndMinorOnly) {
  Host::SetWindowsVersion(GetParam().Major, GetParam().Minor);
  DetectWindowsVersion();
  ASSERT_NE(Open(), nullptr);
  EXPECT_EQ(Host::Control(IDC_OS)->Text, GetParam().Text);
  // An unsupported system is only named so: the setup goes on.
  Host::DispatchAllPosted();
  EXPECT_TRUE(Host::Control(IDC_INSTALL)->Visible());
}

INSTANTIATE_TEST_SUITE_P(
    Versions, OsLabel,
    testing::Values(OsCase{5, 0, "Operating System: Windows-2K"}, OsCase{5, 1, "Operating System: Windows-XP"},
                    OsCase{5, 2, "Operating System: unsupported"}, OsCase{6, 0, "Operating System: Windows-Vista"},
                    OsCase{6, 1, "Operating System: Windows-7"}, OsCase{6, 2, "Operating System: Windows-8"},
                    OsCase{6, 3, "Operating System: unsupported"}, OsCase{10, 0, "Operating System: unsupported"},
                    OsCase{4, 0, "Operating System: unsupported"}, OsCase{0, 1, "Operating System: unsupported"}));

// ---- Messages -------------------------------------------------------------

TEST_F(WizardTest, MessageTableAnswers) {
  OpenToQuestion();
  HDC dc = reinterpret_cast<HDC>(uintptr_t(0x5150));
  Host::ClearCalls();

  EXPECT_EQ(Host::SendToDialog(WM_CTLCOLORSTATIC, WPARAM(dc), 0), 16);
  EXPECT_EQ(Host::SendToDialog(WM_CTLCOLORBTN, WPARAM(dc), 0), 16);
  EXPECT_THAT(Host::Trace({"GetSysColor", "SetTextColor", "SetBkColor"}),
              ElementsAre("GetSysColor(18)", "SetTextColor(0x101010)", "GetSysColor(15)", "SetBkColor(0xF0F0F0)",
                          "GetSysColor(18)", "SetTextColor(0x101010)", "GetSysColor(15)", "SetBkColor(0xF0F0F0)"));
  Host::ClearCalls();
  EXPECT_EQ(Host::SendToDialog(WM_CTLCOLORDLG, WPARAM(dc), 0), 16);
  EXPECT_EQ(Host::SendToDialog(WM_DESTROY, 0, 0), 1);
  EXPECT_EQ(Host::SendToDialog(WM_SETUP_STEP, 3, 0), 1);
  EXPECT_EQ(Host::SendToDialog(WM_SETTEXT, 0, 0), 0);
  EXPECT_EQ(Host::SendToDialog(WM_USER + 1, 1, 0), 0);
  EXPECT_THAT(Host::Trace(), IsEmpty());
  EXPECT_EQ(Stage(), Question);
}

TEST_F(WizardTest, EscapeEnterAndOtherNotificationsDoNothing) {
  OpenToQuestion();
  EXPECT_EQ(Host::PressEscape(), 0);
  // Focus lost to a refused folder: Enter has no button to press.
  Host::QueuePicker(Host::Picker::Choose, "A:\\Gridmark");
  Host::Click(IDC_BROWSE);
  ASSERT_EQ(Host::FocusedId(), 0);
  EXPECT_EQ(Host::PressEnter(), 0);
  EXPECT_EQ(Host::SendToDialog(WM_COMMAND, WPARAM(IDC_INSTALL) | (1 << 16), 0), 0);
  EXPECT_EQ(Host::SendToDialog(WM_COMMAND, WPARAM(IDC_EXIT) | (6 << 16), 0), 0);
  EXPECT_EQ(Host::SendToDialog(WM_COMMAND, WPARAM(4242), 0), 0);
  EXPECT_FALSE(Host::DialogEnded());
  EXPECT_EQ(Host::CountCalls("CreateFileA"), 0);
}

TEST_F(WizardTest, DoubleClickActsAsClick) {
  OpenToQuestion();
  Host::SendToDialog(WM_COMMAND, WPARAM(IDC_INSTALL) | (BN_DOUBLECLICKED << 16), 0);
  EXPECT_EQ(Host::Control(IDC_PROMPT)->Text, "The software has been successfully installed.");
  EXPECT_EQ(Host::SendToDialog(WM_COMMAND, WPARAM(IDC_EXIT) | (BN_DOUBLECLICKED << 16), 0), 1);
  EXPECT_EQ(Host::DialogResult(), IDC_EXIT);
}

TEST_F(WizardTest, CloseBoxInQuestionEndsWithTwoAndWritesNothing) {
  OpenToQuestion();
  EXPECT_EQ(Host::CloseBox(), 1);
  EXPECT_TRUE(Host::DialogEnded());
  EXPECT_EQ(Host::DialogResult(), 2);
  EXPECT_EQ(Host::CountCalls("CreateDirectoryA"), 0);
}

TEST_F(WizardTest, LogoDrawnWholeIntoTheWholeControl) {
  ASSERT_NE(Open(), nullptr);
  DRAWITEMSTRUCT item{};
  item.CtlID = 4711;  // not examined
  item.hDC = reinterpret_cast<HDC>(uintptr_t(0xD0));
  item.rcItem = RECT{0, 0, 108, 91};
  EXPECT_EQ(Host::SendToDialog(WM_DRAWITEM, IDC_LOGO, LPARAM(&item)), 1);

  ASSERT_EQ(Host::StretchCalls().size(), 1u);
  const Host::StretchCall &call = Host::StretchCalls()[0];
  EXPECT_EQ(call.Dc, item.hDC);
  EXPECT_EQ(std::vector<int>({call.XDest, call.YDest, call.DestWidth, call.DestHeight, call.XSrc, call.YSrc,
                              call.SrcWidth, call.SrcHeight}),
            std::vector<int>({0, 0, 108, 91, 0, 0, 160, 120}));
  EXPECT_EQ(call.Bits, LogoBitmap + 40);
  EXPECT_EQ(static_cast<const void *>(call.Info), static_cast<const void *>(LogoBitmap));
  EXPECT_EQ(call.Usage, unsigned(DIB_RGB_COLORS));
  EXPECT_EQ(call.Rop, SRCCOPY);
}

struct Centering {
  int ScreenWidth, ScreenHeight, Width, Height, X, Y;
};

class CenterWindowCase : public WizardTest, public testing::WithParamInterface<Centering> {};

TEST_P(CenterWindowCase, CentresOnThePrimaryScreen) {
  const Centering &c = GetParam();
  ASSERT_NE(Open(), nullptr);
  Host::SetScreenSize(c.ScreenWidth, c.ScreenHeight);
  Host::FindWindow(Host::Dialog())->Rect = RECT{40, 50, 40 + c.Width, 50 + c.Height};
  Host::ClearCalls();

  CenterWindow(Host::Dialog());

  EXPECT_THAT(Host::Trace({"MoveWindow"}),
              ElementsAre("MoveWindow(" + std::to_string(c.X) + ", " + std::to_string(c.Y) + ", " +
                          std::to_string(c.Width) + ", " + std::to_string(c.Height) + ", 1)"));
}

INSTANTIATE_TEST_SUITE_P(Sizes, CenterWindowCase,
                         testing::Values(Centering{1024, 768, 500, 300, 262, 234},
                                         Centering{1024, 768, 1027, 300, -1, 234},
                                         Centering{1024, 768, 501, 769, 261, 0},
                                         Centering{800, 600, 900, 700, -50, -50}));

// ---- Installing from the wizard ----------------------------------------------

TEST_F(WizardTest, FolderThatCannotBeCreatedLeavesQuestionWithoutAMessage) {
  Host::DenyCreateIn("C:\\");
  OpenToQuestion();
  Host::ClearCalls();

  Host::Click(IDC_INSTALL);

  EXPECT_EQ(Stage(), Question);
  EXPECT_THAT(Host::MessageBoxes(), IsEmpty());
  EXPECT_EQ(Host::CountCalls("CreateFileA"), 0);
  // The user can press again once the folder can be made.
  Host::AddFolder("C:\\Veltrane\\Gridmark");
  Host::Click(IDC_INSTALL);
  EXPECT_EQ(Host::Control(IDC_PROMPT)->Text, "The software has been successfully installed.");
}

TEST_F(WizardTest, InstallOrderFromTheButton) {
  OpenToQuestion();
  Host::ClearCalls();
  Host::Click(IDC_INSTALL);
  std::vector<std::string> trace = Host::Trace({"CreateDirectoryA", "ShowWindow", "DeleteFileA",
                                                "GetEnvironmentVariableA", "SetDlgItemTextA", "SetFocus"});
  // One line for each run of folder levels and of files.
  std::vector<std::string> outline;
  for (const std::string &call : trace) {
    std::string name = call.substr(0, call.find('('));
    bool repeats = !outline.empty() && outline.back().rfind(name + "(", 0) == 0;
    if (!(repeats && (name == "CreateDirectoryA" || name == "DeleteFileA"))) outline.push_back(call);
  }
  EXPECT_THAT(outline, ElementsAre(testing::StartsWith("CreateDirectoryA(\"C:\\Veltrane\""),
                                   "ShowWindow(1037, 0)", "ShowWindow(1036, 0)",
                                   "SetDlgItemTextA(1032, \"Copying files...\")", "ShowWindow(1031, 5)",
                                   testing::StartsWith("DeleteFileA("), "ShowWindow(1031, 0)",
                                   testing::StartsWith("SetDlgItemTextA(1032"),
                                   testing::StartsWith("GetEnvironmentVariableA"),
                                   testing::StartsWith("CreateDirectoryA(\"C:\\users"),
                                   "SetDlgItemTextA(1027, \"The software has been successfully installed.\")",
                                   "ShowWindow(1035, 5)", "SetFocus(1035)"));
  EXPECT_EQ(Host::CurrentDirectory(), "C:\\Veltrane\\Gridmark");
}

TEST_F(WizardTest, FailureDuringInstallShowsTheBoxAboveTheWizardAndKeepsFiles) {
  Host::AddFile("C:\\Veltrane\\Gridmark\\Sample1.gmd", {'x'}, true);
  OpenToQuestion();
  Host::ProcessExit exit = ExpectProcessEnd([] { Host::Click(IDC_INSTALL); });
  ExpectFatal(exit, 205, "can't delete file Sample1.gmd\nWin Err Code 5");
  EXPECT_TRUE(Host::MessageBoxes().back().DialogOpen);
  EXPECT_NE(Host::FindNode("C:\\Veltrane\\Gridmark\\Pagewise.EXE"), nullptr);
}

TEST_F(WizardTest, WholeRunThroughWinMainEndsWithZero) {
  Host::SetUserScript([] {
    if (Host::Control(IDC_INSTALL)->Visible()) return Host::Click(IDC_INSTALL), true;
    if (Host::Control(IDC_EXIT)->Visible()) return Host::Click(IDC_EXIT), true;
    return false;
  });
  std::vector<std::string> before = Host::ListPaths();

  EXPECT_EQ(WinMain(Host::Instance(), nullptr, const_cast<char *>(""), SW_SHOWNORMAL), 0);
  EXPECT_EQ(Host::DialogResult(), IDC_EXIT);

  // Nothing is written outside the install folder and the two link places.
  std::vector<std::string> made;
  for (const std::string &path : Host::ListPaths())
    if (std::find(before.begin(), before.end(), path) == before.end()) made.push_back(path);
  std::vector<std::string> expected = {
      "C:\\users\\setup\\Desktop\\Gridmark.lnk", "C:\\users\\setup\\Start Menu\\Programs\\Veltrane",
      "C:\\users\\setup\\Start Menu\\Programs\\Veltrane\\Gridmark.lnk", "C:\\Veltrane", "C:\\Veltrane\\Gridmark"};
  for (int i = 0; i < 9; i++) expected.push_back(std::string("C:\\Veltrane\\Gridmark\\") + PayloadTable[i].Name);
  std::sort(expected.begin(), expected.end());
  EXPECT_EQ(made, expected);
  for (int i = 0; i < 9; i++) {
    const Host::FileNode *file =
        Host::FindNode(std::string("C:\\Veltrane\\Gridmark\\") + PayloadTable[i].Name);
    ASSERT_NE(file, nullptr);
    EXPECT_EQ(file->Data, PayloadBytes(i));
  }
  EXPECT_TRUE(Host::FindNode("C:\\users\\setup\\Start Menu\\Programs\\Veltrane\\Gridmark.lnk")->IsLink);
}

}  // namespace
