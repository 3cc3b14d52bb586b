// Checks the built product itself: what the executable is, what it imports,
// and its dialog, logo and icon resources byte for byte.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cstring>
#include <set>

#include "dialog_template.h"
#include "pe_resources.h"

namespace {

using testing::UnorderedElementsAre;

const char *const SetupPath = WIN32_BUILD_DIR "/setup.exe";

class BuiltSetup : public testing::Test {
 protected:
  static void SetUpTestSuite() {
    std::string reason;
    Loaded = ReadPeImage(SetupPath, &Image, &reason);
    Reason = reason + " (build the win32 preset first)";
  }
  void SetUp() override { ASSERT_TRUE(Loaded) << Reason; }
  static PeImage Image;
  static bool Loaded;
  static std::string Reason;
};
PeImage BuiltSetup::Image;
bool BuiltSetup::Loaded;
std::string BuiltSetup::Reason;

uint32_t U32(const std::vector<uint8_t> &d, size_t at) {
  return d[at] | d[at + 1] << 8 | d[at + 2] << 16 | uint32_t(d[at + 3]) << 24;
}
uint16_t U16(const std::vector<uint8_t> &d, size_t at) { return uint16_t(d[at] | d[at + 1] << 8); }

TEST_F(BuiltSetup, IsA32BitGuiProgramImportingOnlySystemLibraries) {
  EXPECT_EQ(Image.Machine, 0x14C);  // Intel 80386
  EXPECT_EQ(Image.Magic, 0x10B);    // PE32
  EXPECT_EQ(Image.Subsystem, 2);    // Windows GUI
  std::vector<std::string> dlls;
  for (const PeImport &import : Image.Imports) {
    std::string dll = import.Dll;
    for (char &c : dll) c = char(std::tolower((unsigned char)c));
    dlls.push_back(dll);
    if (dll == "comctl32.dll") {
      EXPECT_TRUE(import.Names.empty());
      EXPECT_THAT(import.Ordinals, testing::ElementsAre(17));  // InitCommonControls
    }
  }
  EXPECT_THAT(dlls, UnorderedElementsAre("kernel32.dll", "user32.dll", "gdi32.dll", "comctl32.dll",
                                         "shell32.dll", "ole32.dll", "msvcrt.dll"));
}

TEST_F(BuiltSetup, CodeAndDataOutsideTheResourcesStayUnder34KB) {
  size_t resources = 0;
  for (const PeSection &section : Image.Sections)
    if (section.Name == ".rsrc") resources = section.RawSize;
  ASSERT_GT(resources, 0u);
  size_t rest = Image.FileSize - resources;
  RecordProperty("BytesOutsideResources", int(rest));
  EXPECT_LT(rest, 34u * 1024);
}

TEST_F(BuiltSetup, EveryResourceIsEnglishUnitedStates) {
  ASSERT_FALSE(Image.Resources.empty());
  for (const PeResource &resource : Image.Resources)
    EXPECT_EQ(resource.Language, 1033) << resource.Type << " " << resource.Name;
}

struct ExpectedControl {
  uint16_t Id;
  uint16_t Atom;          // 0x80 button, 0x82 static; 0 for a class named by text
  const char *ClassName;
  const char *Text;
  uint32_t Style;
  int16_t X, Y, Width, Height;
};

const ExpectedControl SetupControls[] = {
    {1028, 0x82, "", "", 0x50000006, 7, 7, 72, 56},
    {1033, 0x82, "", "version", 0x50020001, 82, 7, 157, 54},
    {1034, 0x82, "", "You may need to disable your antivirus before proceeding.", 0x50020001, 7, 65, 232, 13},
    {1029, 0x82, "", "Operating System", 0x50020001, 7, 79, 232, 13},
    {1025, 0x82, "", "Architecture", 0x50020001, 7, 93, 232, 13},
    {1032, 0x82, "", "extracting files", 0x50020001, 7, 107, 232, 13},
    {1026, 0x82, "", "C:\\Veltrane\\Gridmark", 0x50020001, 7, 121, 232, 13},
    {1027, 0x82, "", "install in this folder or select some other folder", 0x50020001, 7, 135, 232, 13},
    {1037, 0x80, "", "install in this folder", 0x50010000, 13, 149, 106, 14},
    {1036, 0x80, "", "select another folder", 0x50010000, 127, 149, 106, 14},
    {1035, 0x80, "", "Quit", 0x50010000, 110, 149, 26, 14},
    {1030, 0, "MSCTLS_PROGRESS32", "extracting", 0x50000000, 7, 121, 232, 13},
    {1031, 0, "MSCTLS_PROGRESS32", "extracting", 0x50000000, 7, 149, 232, 13},
};

TEST_F(BuiltSetup, SetupDialogTemplate) {
  const PeResource *resource = FindPeResource(Image, 5, "SETUP");
  ASSERT_NE(resource, nullptr);
  ASSERT_NE(U32(resource->Data, 0), 0xFFFF0001u) << "an extended template";
  DialogTemplate dialog;
  ASSERT_TRUE(ParseDialogTemplate(resource->Data.data(), resource->Data.size(), &dialog));

  EXPECT_EQ(dialog.Style, 0x90C800C0u);
  EXPECT_EQ(dialog.ExStyle, 0u);
  EXPECT_EQ(std::vector<int>({dialog.X, dialog.Y, dialog.Width, dialog.Height}),
            std::vector<int>({10, 10, 245, 169}));
  EXPECT_EQ(dialog.Menu, "");
  EXPECT_EQ(dialog.ClassName, "");
  EXPECT_EQ(dialog.Caption, "Gridmark Installation Wizard");
  EXPECT_EQ(dialog.PointSize, 10);
  EXPECT_EQ(dialog.FontName, "System");
  ASSERT_EQ(dialog.Items.size(), 13u);
  for (size_t i = 0; i < dialog.Items.size(); i++) {
    const DialogItemTemplate &item = dialog.Items[i];
    const ExpectedControl &want = SetupControls[i];
    SCOPED_TRACE("control " + std::to_string(want.Id));
    EXPECT_EQ(item.Id, want.Id);
    EXPECT_EQ(item.ClassAtom, want.Atom);
    EXPECT_TRUE(strcasecmp(item.ClassName.c_str(), want.ClassName) == 0) << item.ClassName;
    EXPECT_EQ(item.Text, want.Text);
    EXPECT_EQ(item.Style, want.Style);
    EXPECT_EQ(item.ExStyle, 0u);
    EXPECT_EQ(std::vector<int>({item.X, item.Y, item.Width, item.Height}),
              std::vector<int>({want.X, want.Y, want.Width, want.Height}));
    EXPECT_EQ(item.CreationDataSize, 0);
  }
}

TEST_F(BuiltSetup, LogoIsA160By120TwentyFourBitDibWithoutColourTable) {
  const PeResource *logo = FindPeResource(Image, 2, "LOGO");
  ASSERT_NE(logo, nullptr);
  const std::vector<uint8_t> &d = logo->Data;
  ASSERT_EQ(d.size(), 57640u);
  EXPECT_EQ(U32(d, 0), 40u);
  EXPECT_EQ(U32(d, 4), 160u);
  EXPECT_EQ(U32(d, 8), 120u);
  EXPECT_EQ(U16(d, 12), 1);
  EXPECT_EQ(U16(d, 14), 24);
  EXPECT_EQ(U32(d, 16), 0u);
  EXPECT_EQ(U32(d, 20), 57600u);
  EXPECT_EQ(U32(d, 24), 2834u);
  EXPECT_EQ(U32(d, 28), 2834u);
  EXPECT_EQ(U32(d, 32), 0u);
  EXPECT_EQ(U32(d, 36), 0u);
  // A picture, not one colour: many distinct pixels.
  std::set<uint32_t> colours;
  for (size_t at = 40; at + 3 <= d.size(); at += 3) colours.insert(d[at] | d[at + 1] << 8 | d[at + 2] << 16);
  EXPECT_GT(colours.size(), 8u);
}

TEST_F(BuiltSetup, IconGroupListsTwoSixteenColourIcons) {
  const PeResource *group = FindPeResource(Image, 14, "IC0N");
  ASSERT_NE(group, nullptr);
  const std::vector<uint8_t> &g = group->Data;
  ASSERT_EQ(g.size(), 6u + 2 * 14);
  EXPECT_EQ(U16(g, 2), 1);  // icons
  EXPECT_EQ(U16(g, 4), 2);
  struct Want {
    int Side;
    uint32_t Bytes;
    uint16_t Id;
  } wants[] = {{32, 744, 1}, {16, 296, 2}};
  for (int i = 0; i < 2; i++) {
    size_t at = 6 + i * 14;
    SCOPED_TRACE("icon " + std::to_string(i + 1));
    EXPECT_EQ(g[at], wants[i].Side);
    EXPECT_EQ(g[at + 1], wants[i].Side);
    EXPECT_EQ(g[at + 2], 16);  // colours
    EXPECT_EQ(U16(g, at + 4), 1);
    EXPECT_EQ(U16(g, at + 6), 4);
    EXPECT_EQ(U32(g, at + 8), wants[i].Bytes);
    EXPECT_EQ(U16(g, at + 12), wants[i].Id);
    const PeResource *icon = FindPeResource(Image, 3, "#" + std::to_string(wants[i].Id));
    ASSERT_NE(icon, nullptr);
    ASSERT_EQ(icon->Data.size(), wants[i].Bytes);
    EXPECT_EQ(U32(icon->Data, 0), 40u);
    EXPECT_EQ(U32(icon->Data, 4), uint32_t(wants[i].Side));
    EXPECT_EQ(U32(icon->Data, 8), uint32_t(wants[i].Side * 2));
    EXPECT_EQ(U16(icon->Data, 14), 4);
  }
  int groups = 0;
  for (const PeResource &resource : Image.Resources) groups += resource.Type == 14;
  EXPECT_EQ(groups, 1);  // the only group, so the program's icon
}

}  // namespace
