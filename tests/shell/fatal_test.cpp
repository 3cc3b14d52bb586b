#include <climits>
#include <cstring>

#include "setup_fixture.h"
#include "shell/fatal.h"
#include "shell/text.h"

namespace {

using FatalErrorTest = SetupTest;

TEST_F(FatalErrorTest, ShowsSystemModalBoxWithCodeThenExitsWithOne) {
  Host::ProcessExit exit = ExpectProcessEnd(
      [] { FatalError(315, "can't find resource %s\nWin Err Code %i", "LOGO", 1814); });

  ExpectFatal(exit, 315, "can't find resource LOGO\nWin Err Code 1814");
  EXPECT_THAT(Host::Trace(), testing::ElementsAre(
      "MessageBoxA(\"can't find resource LOGO\nWin Err Code 1814\", \"Fatal Error Code 315\", 0x1010)",
      "ExitProcess(1)"));
}

TEST_F(FatalErrorTest, ErrorWithTopBitSetShowsAsNegative) {
  Host::ProcessExit exit = ExpectProcessEnd(
      [] { FatalError(182, "can't create folder in start menu\nWin Err Code %i", int(0x80070005)); });
  ExpectFatal(exit, 182, "can't create folder in start menu\nWin Err Code -2147024891");
}

TEST_F(FatalErrorTest, LongestPossibleCaptionFits) {
  Host::ProcessExit exit = ExpectProcessEnd([] { FatalError(INT_MIN, "x"); });
  ExpectFatal(exit, INT_MIN, "x");
  EXPECT_EQ(std::strlen("Fatal Error Code -2147483648"), 28u);
}

// The message buffer holds 1023 characters and the terminator.
struct MessageLength {
  size_t Length;
  bool Shown;
};

class FatalMessageLength : public SetupTest, public testing::WithParamInterface<MessageLength> {};

TEST_P(FatalMessageLength, ShownWholeOrAbortedWithoutBox) {
  std::string text(GetParam().Length - 1, 'x');
  Host::ProcessExit exit = ExpectProcessEnd([&] { FatalError(205, "%s!", text.c_str()); });

  if (GetParam().Shown) {
    ExpectFatal(exit, 205, text + "!");
  } else {
    EXPECT_TRUE(exit.ViaFatalAppExit);
    EXPECT_EQ(exit.Text, "Abort(): buffer overflow");
    EXPECT_THAT(Host::Trace(), testing::ElementsAre("FatalAppExitA(0, \"Abort(): buffer overflow\")"));
    EXPECT_TRUE(Host::MessageBoxes().empty());
  }
}

INSTANTIATE_TEST_SUITE_P(Boundary, FatalMessageLength,
                         testing::Values(MessageLength{1, true}, MessageLength{1022, true},
                                         MessageLength{1023, true}, MessageLength{1024, false},
                                         MessageLength{1025, false}, MessageLength{70000, false}));

// The bounded formatting that every fixed buffer relies on.
TEST(FormatText, FitsOrReportsAndNeverWritesPastTheBuffer) {
  struct Case {
    const char *Text;
    int Fitted;
    const char *Kept;
  } cases[] = {
      {"", 1, ""}, {"1234567", 1, "1234567"}, {"12345678", 0, "1234567"}, {"123456789", 0, "1234567"},
  };
  for (const Case &c : cases) {
    char buffer[12];
    std::memset(buffer, '#', sizeof buffer);
    EXPECT_EQ(FormatText(buffer, 8, "%s", c.Text), c.Fitted) << c.Text;
    EXPECT_STREQ(buffer, c.Kept) << c.Text;
    EXPECT_EQ(std::string(buffer + 8, 4), "####") << c.Text;
  }
}

TEST(CopyText, CopiesOnlyWholeTexts) {
  char buffer[6] = "old";
  EXPECT_EQ(CopyText(buffer, sizeof buffer, "12345"), 1);
  EXPECT_STREQ(buffer, "12345");
  EXPECT_EQ(CopyText(buffer, sizeof buffer, "123456"), 0);
  EXPECT_STREQ(buffer, "12345");
}

}  // namespace
