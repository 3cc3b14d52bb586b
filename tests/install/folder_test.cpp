#include <cstring>

#include "install/folder.h"
#include "resource.h"
#include "setup_fixture.h"

namespace {

using testing::ElementsAre;
using testing::IsEmpty;

using FolderTest = SetupTest;

struct FolderText {
  std::string Given;
  bool Accepted;
  std::string After;  // InstallFolder after validation
};

class FolderRules : public SetupTest, public testing::WithParamInterface<FolderText> {};

TEST_P(FolderRules, AcceptOrRefuseAndNormaliseInPlace) {
  std::strcpy(InstallFolder, GetParam().Given.c_str());
  EXPECT_EQ(ValidateInstallFolder(), GetParam().Accepted ? 1 : 0);
  EXPECT_EQ(std::string(InstallFolder), GetParam().After);
  // An accepted text is in normal form: validating again changes nothing.
  if (GetParam().Accepted) {
    EXPECT_EQ(ValidateInstallFolder(), 1);
    EXPECT_EQ(std::string(InstallFolder), GetParam().After);
  }
}

const std::string Longest = "C:\\" + std::string(256, 'f');  // 259 characters

INSTANTIATE_TEST_SUITE_P(
    Texts, FolderRules,
    testing::Values(
        FolderText{"c:\\Tools", true, "C:\\Tools"}, FolderText{"C:\\x", true, "C:\\x"},
        FolderText{"C:\\x\\", true, "C:\\x"}, FolderText{"Z:\\deep\\er", true, "Z:\\deep\\er"},
        FolderText{"C:\\x/y", true, "C:\\x/y"}, FolderText{"C:\\caf\xE9 b", true, "C:\\caf\xE9 b"},
        FolderText{Longest, true, Longest}, FolderText{Longest.substr(0, 258) + "\\", true, Longest.substr(0, 258)},
        FolderText{"A:\\x", false, "A:\\x"}, FolderText{"B:\\x", false, "B:\\x"},
        FolderText{"a:\\x", false, "A:\\x"}, FolderText{"\x80:\\x", false, "\x80:\\x"},
        FolderText{"1:\\x", false, "1:\\x"}, FolderText{"C:\\", false, "C:"},
        FolderText{"c:\\", false, "C:"}, FolderText{"C:\\x:y", false, "C:\\x:y"},
        FolderText{"C:x", false, "C:x"}, FolderText{"C:/x", false, "C:/x"},
        FolderText{"C:\\x\\\\y", false, "C:\\x\\\\y"}, FolderText{"c:\\x\\\\", false, "C:\\x\\\\"},
        FolderText{"C:\\\\x", false, "C:\\\\x"}, FolderText{"", false, ""},
        FolderText{"C", false, "C"}, FolderText{"C:", false, "C:"},
        FolderText{"\\\\server\\share", false, "\\\\server\\share"}));

TEST_F(FolderTest, CreatesMissingLevelsTopDownEachBecomingCurrent) {
  Host::AddFolder("C:\\A");
  char path[MAX_PATH] = "C:\\A\\B\\C";

  EXPECT_EQ(CreateFolderPath(path), 1);

  EXPECT_THAT(Host::Trace({"CreateDirectoryA", "SetCurrentDirectoryA"}),
              ElementsAre("CreateDirectoryA(\"C:\\A\", NULL)", "SetCurrentDirectoryA(\"C:\\A\")",
                          "CreateDirectoryA(\"C:\\A\\B\", NULL)", "SetCurrentDirectoryA(\"C:\\A\\B\")",
                          "CreateDirectoryA(\"C:\\A\\B\\C\", NULL)",
                          "SetCurrentDirectoryA(\"C:\\A\\B\\C\")"));
  EXPECT_STREQ(path, "C:\\A\\B\\C");
  EXPECT_EQ(Host::CurrentDirectory(), "C:\\A\\B\\C");
  ASSERT_NE(Host::FindNode("C:\\A\\B\\C"), nullptr);
  EXPECT_TRUE(Host::FindNode("C:\\A\\B\\C")->IsFolder);
}

TEST_F(FolderTest, ExistingFolderIsMadeCurrentAndNothingCreated) {
  Host::AddFolder("C:\\Apps\\Gridmark");
  std::vector<std::string> before = Host::ListPaths();
  char path[MAX_PATH] = "C:\\Apps\\Gridmark";

  EXPECT_EQ(CreateFolderPath(path), 1);
  EXPECT_EQ(Host::ListPaths(), before);
  EXPECT_EQ(Host::CurrentDirectory(), "C:\\Apps\\Gridmark");
}

TEST_F(FolderTest, FolderThatCannotBeMadeFailsAndLevelsMadeOnTheWayStay) {
  Host::AddFolder("C:\\Locked");
  Host::DenyCreateIn("C:\\Locked\\");
  char path[MAX_PATH] = "C:\\Locked\\In";
  EXPECT_EQ(CreateFolderPath(path), 0);
  EXPECT_EQ(Host::FindNode("C:\\Locked\\In"), nullptr);

  Host::FailCall("CreateDirectoryA", ERROR_ACCESS_DENIED, 3);
  char deep[MAX_PATH] = "C:\\New\\Sub\\Leaf";
  EXPECT_EQ(CreateFolderPath(deep), 0);
  EXPECT_NE(Host::FindNode("C:\\New\\Sub"), nullptr);
  EXPECT_EQ(Host::FindNode("C:\\New\\Sub\\Leaf"), nullptr);
  EXPECT_STREQ(deep, "C:\\New\\Sub\\Leaf");
}

TEST_F(FolderTest, ParentThatFailsMakesTheWholePathFail) {
  Host::AddFile("C:\\Taken", {'x'});  // a file where a folder should go
  char path[MAX_PATH] = "C:\\Taken\\Gridmark";
  EXPECT_EQ(CreateFolderPath(path), 0);
  char bad[MAX_PATH] = "C:\\a<b\\c";  // a name the file system refuses
  EXPECT_EQ(CreateFolderPath(bad), 0);
  EXPECT_EQ(Host::CurrentDirectory(), "C:\\");
}

TEST_F(FolderTest, DeepestPathCreatesEveryLevel) {
  std::string deep = "C:";
  while (deep.size() + 2 <= 259) deep += "\\d";
  char path[MAX_PATH];
  std::strcpy(path, deep.c_str());
  EXPECT_EQ(CreateFolderPath(path), 1);
  EXPECT_EQ(Host::CurrentDirectory(), deep);
  EXPECT_EQ(Host::CountCalls("CreateDirectoryA"), 128);
}

TEST_F(FolderTest, PrepareRefusesBeforeCreatingAnything) {
  std::strcpy(InstallFolder, "c:\\Programs\\Gridmark\\");
  EXPECT_EQ(PrepareInstallFolder(), 1);
  EXPECT_STREQ(InstallFolder, "C:\\Programs\\Gridmark");
  EXPECT_EQ(Host::CurrentDirectory(), "C:\\Programs\\Gridmark");

  Host::ClearCalls();
  std::strcpy(InstallFolder, "A:\\Gridmark");
  EXPECT_EQ(PrepareInstallFolder(), 0);
  EXPECT_EQ(Host::CountCalls("CreateDirectoryA"), 0);
}

// ---- The folder picker and "select another folder" ----

class BrowseTest : public SetupTest {
 protected:
  void SetUp() override {
    SetupTest::SetUp();
    std::strcpy(InstallFolder, "C:\\Veltrane\\Gridmark");
    ASSERT_NE(OpenPlainSetupDialog(), nullptr);
    Host::ClearCalls();
  }
  static std::string FolderText() { return Host::Control(IDC_FOLDER)->Text; }
  static bool InstallEnabled() { return Host::Control(IDC_INSTALL)->Enabled(); }
};

TEST_F(BrowseTest, PickerIsAskedForFileSystemFoldersWithComOpen) {
  Host::QueuePicker(Host::Picker::Choose, "D:\\Apps");
  OnBrowse(Host::Dialog());

  ASSERT_EQ(Host::PickerCalls().size(), 1u);
  const Host::PickerCall &call = Host::PickerCalls()[0];
  EXPECT_EQ(call.Owner, Host::Dialog());
  EXPECT_TRUE(call.RootIsDesktop);
  EXPECT_TRUE(call.HasDisplayBuffer);
  EXPECT_EQ(call.Title, "select a folder");
  EXPECT_EQ(call.Flags, 0x51u);
  EXPECT_FALSE(call.HasCallback);
  EXPECT_EQ(call.Param, 0);
  EXPECT_TRUE(call.ComOpen);
  EXPECT_EQ(Host::ComOpenCount(), 0);
  EXPECT_EQ(Host::OutstandingItemLists(), 0);
  EXPECT_THAT(Host::Trace({"EnableWindow", "CoInitialize", "SHBrowseForFolderA", "SHGetPathFromIDListA",
                           "CoTaskMemFree", "CoUninitialize", "SetDlgItemTextA", "SetFocus"}),
              ElementsAre("EnableWindow(1037, 0)", "CoInitialize(NULL)",
                          "SHBrowseForFolderA(\"select a folder\", 0x51)", "SHGetPathFromIDListA()",
                          "CoTaskMemFree()", "CoUninitialize()", "SetDlgItemTextA(1026, \"D:\\Apps\")",
                          "EnableWindow(1037, 1)", "SetFocus(1037)"));
}

struct BrowseCase {
  const char *Name;
  Host::Picker Action;
  const char *Chosen;
  const char *Shown;     // IDC_FOLDER afterwards
  const char *Folder;    // InstallFolder afterwards
  bool InstallEnabled;   // and focused
};

class BrowseOutcome : public BrowseTest, public testing::WithParamInterface<BrowseCase> {};

TEST_P(BrowseOutcome, FolderShownAndInstallButton) {
  std::strcpy(InstallFolder, "E:\\Earlier");  // an earlier choice
  Host::Control(IDC_FOLDER)->Text = "E:\\Earlier";
  Host::QueuePicker(GetParam().Action, GetParam().Chosen);

  OnBrowse(Host::Dialog());

  EXPECT_EQ(FolderText(), GetParam().Shown);
  EXPECT_STREQ(InstallFolder, GetParam().Folder);
  EXPECT_EQ(InstallEnabled(), GetParam().InstallEnabled);
  EXPECT_EQ(Host::FocusedId() == IDC_INSTALL, GetParam().InstallEnabled);
  EXPECT_TRUE(Host::Control(IDC_BROWSE)->Enabled());
  EXPECT_EQ(Host::OutstandingItemLists(), 0);
}

INSTANTIATE_TEST_SUITE_P(
    Picker, BrowseOutcome,
    testing::Values(
        // A cancel brings the default back, not the earlier choice.
        BrowseCase{"Cancelled", Host::Picker::Cancel, "", "C:\\Veltrane\\Gridmark",
                   "C:\\Veltrane\\Gridmark", true},
        BrowseCase{"NoFileSystemPath", Host::Picker::NoFileSystemPath, "Control Panel",
                   "C:\\Veltrane\\Gridmark", "C:\\Veltrane\\Gridmark", true},
        BrowseCase{"Chosen", Host::Picker::Choose, "D:\\Apps\\Gridmark", "D:\\Apps\\Gridmark",
                   "D:\\Apps\\Gridmark", true},
        BrowseCase{"LowerCaseAndTrailingBackslash", Host::Picker::Choose, "d:\\apps\\",
                   "d:\\apps\\", "D:\\apps", true},
        BrowseCase{"DriveRoot", Host::Picker::Choose, "F:\\", "F:\\", "F:", false},
        BrowseCase{"FloppyDrive", Host::Picker::Choose, "A:\\Tools", "A:\\Tools", "A:\\Tools", false},
        BrowseCase{"NetworkFolder", Host::Picker::Choose, "\\\\server\\share", "\\\\server\\share",
                   "\\\\server\\share", false},
        // Too short to be a folder: everything stays as it was.
        BrowseCase{"TooShort", Host::Picker::Choose, "G:", "E:\\Earlier", "E:\\Earlier", false}),
    [](const auto &info) { return std::string(info.param.Name); });

TEST_F(BrowseTest, RefusedFolderKeepsInstallDisabledUntilAnAcceptedOne) {
  Host::QueuePicker(Host::Picker::Choose, "B:\\x");
  Host::QueuePicker(Host::Picker::Choose, "H:\\Gridmark");
  OnBrowse(Host::Dialog());
  EXPECT_FALSE(InstallEnabled());
  OnBrowse(Host::Dialog());
  EXPECT_TRUE(InstallEnabled());
  EXPECT_EQ(Host::FocusedId(), IDC_INSTALL);
}

}  // namespace
