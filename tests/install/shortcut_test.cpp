#include <cstring>

#include "install/shortcut.h"
#include "setup_fixture.h"

namespace {

using testing::ElementsAre;
using testing::IsEmpty;

const char *const DesktopLink = "C:\\users\\setup\\Desktop\\Gridmark.lnk";
const char *const MenuFolder = "C:\\users\\setup\\Start Menu\\Programs\\Veltrane";
const char *const MenuLink = "C:\\users\\setup\\Start Menu\\Programs\\Veltrane\\Gridmark.lnk";

class ShortcutTest : public SetupTest {
 protected:
  void SetUp() override {
    SetupTest::SetUp();
    std::strcpy(InstallFolder, "D:\\Apps\\Gridmark");
  }
  static void ExpectLink(const char *path) {
    const Host::FileNode *file = Host::FindNode(path);
    ASSERT_NE(file, nullptr) << path;
    ASSERT_TRUE(file->IsLink);
    const Host::ShellLinkData &link = file->Link;
    EXPECT_EQ(link.Path, "D:\\Apps\\Gridmark\\Gridmark.EXE");
    EXPECT_EQ(link.Arguments, "");
    EXPECT_EQ(link.Description, "Outline Designer\nby Ilse Varnholt\nBremen");
    EXPECT_EQ(link.ShowCommand, 1);
    EXPECT_EQ(link.WorkingDirectory, "D:\\Apps\\Gridmark");
    EXPECT_FALSE(link.HasIconLocation);
  }
};

TEST_F(ShortcutTest, DesktopThenGroupFolderThenStartMenuEachWithComAroundIt) {
  EXPECT_EQ(CreateShortcuts(nullptr), 1);

  ExpectLink(DesktopLink);
  ExpectLink(MenuLink);
  EXPECT_TRUE(Host::FindNode(MenuFolder)->IsFolder);
  EXPECT_EQ(Host::ComOpenCount(), 0);
  EXPECT_EQ(Host::LiveShellObjects(), 0);

  std::vector<std::string> oneLink = {
      "CoInitialize(NULL)",
      "CoCreateInstance(CLSID_ShellLink, NULL, 1, IID_IShellLinkA)",
      "IShellLinkA::SetPath(\"D:\\Apps\\Gridmark\\Gridmark.EXE\")",
      "IShellLinkA::SetArguments(\"\")",
      "IShellLinkA::SetDescription(\"Outline Designer\nby Ilse Varnholt\nBremen\")",
      "IShellLinkA::SetShowCmd(1)",
      "IShellLinkA::SetWorkingDirectory(\"D:\\Apps\\Gridmark\")",
      "IShellLinkA::QueryInterface(IID_IPersistFile)",
  };
  std::vector<std::string> expected = {"GetEnvironmentVariableA(\"USERPROFILE\", 260)"};
  for (const char *link : {DesktopLink, MenuLink}) {
    if (link == MenuLink) expected.push_back(std::string("CreateDirectoryA(\"") + MenuFolder + "\", NULL)");
    expected.insert(expected.end(), oneLink.begin(), oneLink.end());
    expected.push_back(std::string("MultiByteToWideChar(0, 0, \"") + link + "\", -1, 260)");
    expected.push_back(std::string("IPersistFile::Save(\"") + link + "\", 1)");
    expected.push_back("IPersistFile::Release()");
    expected.push_back("IShellLinkA::Release()");
    expected.push_back("CoUninitialize()");
  }
  EXPECT_EQ(Host::Trace(), expected);
}

TEST_F(ShortcutTest, ProfileWithTrailingBackslashGivesTheSamePaths) {
  Host::SetEnvironment("USERPROFILE", "C:\\users\\setup\\");
  CreateShortcuts(nullptr);
  ExpectLink(DesktopLink);
  ExpectLink(MenuLink);
}

TEST_F(ShortcutTest, ExistingGroupFolderIsAccepted) {
  Host::AddFolder(MenuFolder);
  EXPECT_EQ(CreateShortcuts(nullptr), 1);
  ExpectLink(MenuLink);
}

struct ShortcutFailure {
  const char *Name;
  void (*Arrange)();
  int Code;
  const char *Text;
  bool DesktopLinkStays;
};

std::string LongProfile(size_t length) { return "C:\\users\\" + std::string(length - 9, 'p'); }

const ShortcutFailure ShortcutFailures[] = {
    {"NoProfile", [] { Host::UnsetEnvironment("USERPROFILE"); }, 160,
     "can't get user profile\nWin Err Code 203", false},
    {"ProfileTooLong", [] { Host::SetEnvironment("USERPROFILE", LongProfile(300)); }, 160,
     "can't get user profile\nWin Err Code 122", false},
    {"ComWillNotOpen", [] { Host::FailCall("CoInitialize", DWORD(E_OUTOFMEMORY)); }, 172,
     "can't create link on desktop\nWin Err Code 0", false},
    {"NoLinkObject", [] { Host::FailCall("CoCreateInstance", DWORD(REGDB_E_CLASSNOTREG)); }, 172,
     "can't create link on desktop\nWin Err Code 0", false},
    {"NoDesktopFolder", [] { Host::RemoveNode("C:\\users\\setup\\Desktop"); }, 172,
     "can't create link on desktop\nWin Err Code 3", false},
    {"TargetTooLong",
     [] { std::strcpy(InstallFolder, ("C:\\" + std::string(250, 'i')).c_str()); }, 172,
     "can't create link on desktop\nWin Err Code 206", false},
    {"DesktopLinkTooLong", [] { Host::SetEnvironment("USERPROFILE", LongProfile(247)); }, 172,
     "can't create link on desktop\nWin Err Code 206", false},
    {"NoStartMenu", [] { Host::RemoveNode("C:\\users\\setup\\Start Menu\\Programs"); }, 182,
     "can't create folder in start menu\nWin Err Code 3", true},
    {"GroupFolderTooLong", [] { Host::SetEnvironment("USERPROFILE", LongProfile(231)); }, 182,
     "can't create folder in start menu\nWin Err Code 206", true},
    {"MenuLinkTooLong", [] { Host::SetEnvironment("USERPROFILE", LongProfile(218)); }, 191,
     "can't create link on start menu\nWin Err Code 206", true},
    {"MenuLinkNotSaved", [] { Host::FailCall("IPersistFile::Save", DWORD(E_FAIL), 2); }, 191,
     "can't create link on start menu\nWin Err Code 0", true},
};

class ShortcutFails : public ShortcutTest, public testing::WithParamInterface<ShortcutFailure> {};

TEST_P(ShortcutFails, WithTheCodeOfItsStepNeverWithACutPath) {
  GetParam().Arrange();
  // Links land only at the places their full paths name.
  Host::AddFolder(LongProfile(247) + "\\Desktop");
  Host::AddFolder(LongProfile(231) + "\\Desktop");
  Host::AddFolder(LongProfile(218) + "\\Desktop");
  Host::AddFolder(LongProfile(218) + "\\Start Menu\\Programs");
  SetLastError(0);

  Host::ProcessExit exit = ExpectProcessEnd([] { CreateShortcuts(nullptr); });

  ExpectFatal(exit, GetParam().Code, GetParam().Text);
  int links = 0;
  for (const std::string &path : Host::ListPaths()) {
    const Host::FileNode *node = Host::FindNode(path);
    if (!node->IsLink) continue;
    links++;
    EXPECT_EQ(path.substr(path.size() - 21), "\\Desktop\\Gridmark.lnk");
    EXPECT_EQ(node->Link.Path, std::string(InstallFolder) + "\\Gridmark.EXE");
  }
  EXPECT_EQ(links, GetParam().DesktopLinkStays ? 1 : 0);
}

INSTANTIATE_TEST_SUITE_P(Codes, ShortcutFails, testing::ValuesIn(ShortcutFailures),
                         [](const auto &info) { return std::string(info.param.Name); });

TEST_F(ShortcutTest, MakeShortcutReducesOutcomesToItsCodes) {
  Host::FailCall("CoInitialize", DWORD(E_OUTOFMEMORY));
  EXPECT_EQ(MakeShortcut(DesktopLink, "C:\\x.exe", "", "", ""), 73);
  EXPECT_EQ(Host::CountCalls("CoCreateInstance"), 0);

  Host::FailCall("CoCreateInstance", DWORD(E_OUTOFMEMORY));
  EXPECT_EQ(MakeShortcut(DesktopLink, "C:\\x.exe", "", "", ""), 76);

  EXPECT_EQ(MakeShortcut(DesktopLink, "C:\\x.exe", "", "", ""), 0);
  EXPECT_TRUE(Host::FindNode(DesktopLink)->IsLink);
}

// Every argument that CreateShellLink refuses, before anything is created.
struct LinkArguments {
  const char *Name;
  const char *Target, *Arguments, *Link, *Description;
  int Show;
  const char *WorkingDirectory, *IconPath;
  int IconIndex;
};

class ShellLinkRefuses : public ShortcutTest, public testing::WithParamInterface<LinkArguments> {};

TEST_P(ShellLinkRefuses, BadArgumentWithInvalidArg) {
  ASSERT_GE(CoInitialize(nullptr), 0);
  const LinkArguments &a = GetParam();
  EXPECT_EQ(CreateShellLink(a.Target, a.Arguments, a.Link, a.Description, a.Show,
                            a.WorkingDirectory, a.IconPath, a.IconIndex),
            E_INVALIDARG);
  EXPECT_EQ(Host::CountCalls("CoCreateInstance"), 0);
  EXPECT_EQ(Host::FindNode(DesktopLink), nullptr);
}

INSTANTIATE_TEST_SUITE_P(
    Arguments, ShellLinkRefuses,
    testing::Values(LinkArguments{"NullTarget", nullptr, "", DesktopLink, "", 1, "", "", 0},
                    LinkArguments{"EmptyTarget", "", "", DesktopLink, "", 1, "", "", 0},
                    LinkArguments{"NullArguments", "C:\\x.exe", nullptr, DesktopLink, "", 1, "", "", 0},
                    LinkArguments{"NullLink", "C:\\x.exe", "", nullptr, "", 1, "", "", 0},
                    LinkArguments{"EmptyLink", "C:\\x.exe", "", "", "", 1, "", "", 0},
                    LinkArguments{"NullDescription", "C:\\x.exe", "", DesktopLink, nullptr, 1, "", "", 0},
                    LinkArguments{"NegativeShow", "C:\\x.exe", "", DesktopLink, "", -1, "", "", 0},
                    LinkArguments{"NullDirectory", "C:\\x.exe", "", DesktopLink, "", 1, nullptr, "", 0},
                    LinkArguments{"NullIconPath", "C:\\x.exe", "", DesktopLink, "", 1, "", nullptr, 0},
                    LinkArguments{"NegativeIconIndex", "C:\\x.exe", "", DesktopLink, "", 1, "", "", -1}),
    [](const auto &info) { return std::string(info.param.Name); });

TEST_F(ShortcutTest, SettersOnlyForPropertiesGiven) {
  ASSERT_GE(CoInitialize(nullptr), 0);
  EXPECT_EQ(CreateShellLink("C:\\x.exe", "", DesktopLink, "", 0, "", "C:\\x.ico", 2), S_OK);
  EXPECT_THAT(Host::Trace({"IShellLinkA::SetPath", "IShellLinkA::SetArguments", "IShellLinkA::SetDescription",
                           "IShellLinkA::SetShowCmd", "IShellLinkA::SetWorkingDirectory",
                           "IShellLinkA::SetIconLocation"}),
              ElementsAre("IShellLinkA::SetPath(\"C:\\x.exe\")", "IShellLinkA::SetArguments(\"\")",
                          "IShellLinkA::SetIconLocation(\"C:\\x.ico\", 2)"));
}

TEST_F(ShortcutTest, LinkObjectWithoutPersistFileIsReleasedAndNothingSaved) {
  ASSERT_GE(CoInitialize(nullptr), 0);
  Host::RefusePersistFile();
  EXPECT_LT(CreateShellLink("C:\\x.exe", "", DesktopLink, "", 1, "", "", 0), 0);
  EXPECT_EQ(Host::LiveShellObjects(), 0);
  EXPECT_EQ(Host::CountCalls("IPersistFile::Save"), 0);
  EXPECT_EQ(Host::FindNode(DesktopLink), nullptr);
}

TEST_F(ShortcutTest, LinkPathThatDoesNotConvertIsNeverSaved) {
  ASSERT_GE(CoInitialize(nullptr), 0);
  Host::FailCall("MultiByteToWideChar", ERROR_INSUFFICIENT_BUFFER);
  EXPECT_EQ(CreateShellLink("C:\\x.exe", "", DesktopLink, "", 1, "", "", 0), E_INVALIDARG);
  EXPECT_EQ(Host::CountCalls("IPersistFile::Save"), 0);
  EXPECT_EQ(Host::LiveShellObjects(), 0);
}

}  // namespace
