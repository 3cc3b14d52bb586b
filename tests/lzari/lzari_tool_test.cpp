// Tests of the lzari tool run as a process: the four commands, standard input
// and output, exit codes, leftovers after failures and --time parsing.
#include <stdio.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <dirent.h>
#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <string>
#include <vector>

#include <gtest/gtest.h>

namespace {

std::string ReadFile(const std::string &path) {
  std::string bytes;
  FILE *file = fopen(path.c_str(), "rb");
  if (!file) return "<missing>";
  int c;
  while ((c = fgetc(file)) != EOF) bytes.push_back(static_cast<char>(c));
  fclose(file);
  return bytes;
}

void WriteFile(const std::string &path, const std::string &bytes) {
  FILE *file = fopen(path.c_str(), "wb");
  ASSERT_NE(file, nullptr);
  fwrite(bytes.data(), 1, bytes.size(), file);
  fclose(file);
}

bool Exists(const std::string &path) {
  struct stat st;
  return stat(path.c_str(), &st) == 0;
}

struct Result {
  int status;  // exit code
  std::string out, err;
};

class LzariTool : public ::testing::Test {
 protected:
  void SetUp() override {
    char pattern[] = "/tmp/lzari_tool_test.XXXXXX";
    ASSERT_NE(mkdtemp(pattern), nullptr);
    dir_ = pattern;
  }
  void TearDown() override {
    std::string command = "rm -rf '" + dir_ + "'";
    ASSERT_EQ(system(command.c_str()), 0);
  }

  std::string Path(const std::string &name) const { return dir_ + "/" + name; }

  // Runs the tool in the test folder; stdin comes from the named file (or is
  // empty), stdout and stderr are captured.
  Result Run(const std::string &args, const std::string &stdinFile = "") {
    std::string in = stdinFile.empty() ? "/dev/null" : Path(stdinFile);
    std::string command = "cd '" + dir_ + "' && '" LZARI_TOOL "' " + args + " < '" + in +
                          "' > .stdout 2> .stderr";
    int raw = system(command.c_str());
    Result result{WIFEXITED(raw) ? WEXITSTATUS(raw) : -1, ReadFile(Path(".stdout")),
                  ReadFile(Path(".stderr"))};
    unlink(Path(".stdout").c_str());
    unlink(Path(".stderr").c_str());
    return result;
  }

  // Names in the test folder, to see that nothing was left behind.
  std::vector<std::string> Listing() const {
    std::vector<std::string> names;
    DIR *d = opendir(dir_.c_str());
    while (dirent *e = readdir(d))
      if (e->d_name[0] != '.') names.push_back(e->d_name);
    closedir(d);
    std::sort(names.begin(), names.end());
    return names;
  }

  std::string dir_;
};

std::string SomeText() {
  std::string text;
  for (int k = 0; k < 400; k++) text += "line " + std::to_string(k * 7919 % 1000) + " of the help\n";
  return text;
}

TEST_F(LzariTool, EncodePackAndDecodeRoundTrip) {
  const std::string inputs[] = {"", "A", SomeText()};
  for (const std::string &input : inputs) {
    SCOPED_TRACE(input.size());
    WriteFile(Path("in"), input);
    ASSERT_EQ(Run("encode in v0").status, 0);
    ASSERT_EQ(Run("pack --time 2026-11-30T10:37:04.5Z in v1").status, 0);
    std::string v0 = ReadFile(Path("v0")), v1 = ReadFile(Path("v1"));
    EXPECT_EQ(v0.substr(0, 4), "LZar");
    EXPECT_EQ(v1.substr(0, 4), "LzaR");
    // Same body and size field; version 1 adds the eight bytes of time.
    EXPECT_EQ(v1.substr(4, v1.size() - 12), v0.substr(4));
    for (const char *container : {"v0", "v1"}) {
      ASSERT_EQ(Run(std::string("decode ") + container + " out").status, 0);
      EXPECT_EQ(ReadFile(Path("out")), input);
    }
  }
}

TEST_F(LzariTool, DashMeansStandardInputAndOutput) {
  WriteFile(Path("in"), SomeText());
  Result encoded = Run("encode - -", "in");
  ASSERT_EQ(encoded.status, 0);
  WriteFile(Path("c"), encoded.out);
  Result decoded = Run("decode - -", "c");
  ASSERT_EQ(decoded.status, 0);
  EXPECT_EQ(decoded.out, SomeText());
  ASSERT_EQ(Run("pack --time 2000-01-01T00:00:00Z - packed", "in").status, 0);
  Result info = Run("info -", "packed");
  EXPECT_EQ(info.status, 0);
  EXPECT_NE(info.out.find("2000-01-01T00:00:00"), std::string::npos) << info.out;
}

TEST_F(LzariTool, InfoShowsVersionSizesAndTime) {
  WriteFile(Path("in"), SomeText());
  ASSERT_EQ(Run("pack --time 2026-11-30T10:37:04.5Z in v1").status, 0);
  ASSERT_EQ(Run("encode in v0").status, 0);
  std::string body = std::to_string(ReadFile(Path("v0")).size() - 8);
  std::string size = std::to_string(SomeText().size());

  Result v1 = Run("info v1");
  ASSERT_EQ(v1.status, 0);
  EXPECT_NE(v1.out.find("version: 1"), std::string::npos) << v1.out;
  EXPECT_NE(v1.out.find("body length: " + body + " bytes"), std::string::npos) << v1.out;
  EXPECT_NE(v1.out.find("decoded size: " + size + " bytes"), std::string::npos) << v1.out;
  EXPECT_NE(v1.out.find("2026-11-30T10:37:04.5000000Z"), std::string::npos) << v1.out;
  EXPECT_NE(v1.out.find("134405086245000000"), std::string::npos) << v1.out;

  Result v0 = Run("info v0");
  ASSERT_EQ(v0.status, 0);
  EXPECT_NE(v0.out.find("version: 0"), std::string::npos) << v0.out;
  EXPECT_EQ(v0.out.find("file time"), std::string::npos) << v0.out;
}

struct TimeCase {
  const char *text;
  const char *ticks;  // FILETIME, or nullptr for a usage error
};

TEST_F(LzariTool, TimeIsParsedAsUtcDownTo100ns) {
  const TimeCase cases[] = {
      {"2026-11-30T10:37:04.5Z", "134405086245000000"},
      {"2026-11-30T10:37:04.1234567Z", "134405086241234567"},
      {"2024-02-29T23:59:59Z", "133537247990000000"},
      {"1601-01-01T00:00:00Z", "0 "},
      {"9999-12-31T23:59:59Z", "2650467743990000000"},
      {"2026-13-01T00:00:00Z", nullptr},        // month 13
      {"2023-02-29T00:00:00Z", nullptr},        // not a leap year
      {"2026-04-31T00:00:00Z", nullptr},        // April has 30 days
      {"2026-11-30T24:00:00Z", nullptr},
      {"2026-11-30T10:60:00Z", nullptr},
      {"2026-11-30T10:37:60Z", nullptr},
      {"2026-11-30T10:37:04Z ", nullptr},
      {"2026-11-30T10:37:04", nullptr},         // no Z: not UTC
      {"2026-11-30 10:37:04Z", nullptr},
      {"2026-11-30T10:37:04.Z", nullptr},
      {"2026-11-30T10:37:04.12345678Z", nullptr},  // finer than 100 ns
      {"2026-1-30T10:37:04Z", nullptr},
      {"1600-12-31T23:59:59Z", nullptr},        // before FILETIME's epoch
      {"", nullptr},
  };
  WriteFile(Path("in"), "x");
  for (const TimeCase &c : cases) {
    SCOPED_TRACE(c.text);
    Result packed = Run(std::string("pack --time '") + c.text + "' in out");
    if (!c.ticks) {
      EXPECT_EQ(packed.status, 2);
      EXPECT_FALSE(Exists(Path("out")));
      continue;
    }
    ASSERT_EQ(packed.status, 0) << packed.err;
    Result info = Run("info out");
    EXPECT_NE(info.out.find(std::string("(FILETIME): ") + c.ticks), std::string::npos) << info.out;
    unlink(Path("out").c_str());
  }
}

TEST_F(LzariTool, PackWithoutTimeTakesTheModificationTime) {
  WriteFile(Path("in"), SomeText());
  // 2001-09-09T01:46:40Z plus 123456789 ns: 126444736000000000 + 1234567 ticks.
  struct timespec times[2] = {{1000000000, 123456789}, {1000000000, 123456789}};
  ASSERT_EQ(utimensat(AT_FDCWD, Path("in").c_str(), times, 0), 0);
  ASSERT_EQ(Run("pack in out").status, 0);
  Result info = Run("info out");
  EXPECT_NE(info.out.find("(FILETIME): 126444736001234567 "), std::string::npos) << info.out;
}

struct BadInput {
  const char *name;
  std::string content;  // of the file "bad"; "<none>" for no file at all
  const char *says;     // part of the one-line message
};

TEST_F(LzariTool, BadInputFailsWithOneLineAndLeavesNoOutput) {
  WriteFile(Path("good"), SomeText());
  ASSERT_EQ(Run("encode good good.lzr").status, 0);
  std::string sound = ReadFile(Path("good.lzr"));
  std::string cut = sound.substr(0, sound.size() / 2) + sound.substr(sound.size() - 4);
  const BadInput cases[] = {
      {"missing file", "<none>", "unreadable"},
      {"plain text", "hello, world", "not an LZARI container"},
      {"too short", "LZa", "not an LZARI container"},
      {"version 1 without its time", std::string("LzaR\x05\x00\x00\x00", 8), "damaged"},
      {"body cut in half", cut, "damaged"},
  };
  for (const BadInput &c : cases) {
    SCOPED_TRACE(c.name);
    unlink(Path("bad").c_str());
    if (c.content != "<none>") WriteFile(Path("bad"), c.content);
    for (const char *command : {"decode bad out", "info bad"}) {
      SCOPED_TRACE(command);
      std::vector<std::string> before = Listing();
      Result result = Run(command);
      EXPECT_EQ(result.status, 1);
      EXPECT_NE(result.err.find("bad: "), std::string::npos) << result.err;
      EXPECT_NE(result.err.find(c.says), std::string::npos) << result.err;
      EXPECT_EQ(std::count(result.err.begin(), result.err.end(), '\n'), 1) << result.err;
      EXPECT_EQ(Listing(), before);  // no output, no temporary file
    }
  }
  // An existing output file is left as it was.
  WriteFile(Path("out"), "old");
  WriteFile(Path("bad"), cut);
  EXPECT_EQ(Run("decode bad out").status, 1);
  EXPECT_EQ(ReadFile(Path("out")), "old");
}

TEST_F(LzariTool, UsageErrorsExitWith2) {
  WriteFile(Path("in"), "x");
  const char *cases[] = {"", "compress in out", "encode in", "encode in out extra", "decode in",
                         "info", "info in more", "pack --time", "encode --time 2026-11-30T10:37:04Z in out",
                         "pack --fast in out"};
  for (const char *args : cases) {
    SCOPED_TRACE(args);
    Result result = Run(args);
    EXPECT_EQ(result.status, 2);
    EXPECT_FALSE(result.err.empty());
    EXPECT_FALSE(Exists(Path("out")));
  }
}

TEST_F(LzariTool, HelpExplainsTheCommands) {
  Result help = Run("--help");
  EXPECT_EQ(help.status, 0);
  for (const char *word : {"encode", "pack", "--time", "decode", "info", "standard input"})
    EXPECT_NE(help.out.find(word), std::string::npos) << word;
}

}  // namespace
