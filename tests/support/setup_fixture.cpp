#include "setup_fixture.h"

#include <cstdlib>
#include <cstring>

#include "payload/lzari.h"
#include "shell/startup.h"

namespace {

// The rows' names as the table has them at process start.
const char *const RowNames[PAYLOAD_ROWS] = {
    "Gridmark.EXE", "Gridmark.HLP", "Pagewise.EXE", "Sample1.gmd", "Sample2.gmd",
    "Sample3.gmd",  "Sample4.gmd",  "Sample5.gmd",  "Sample6.gmd", nullptr,
};

void ResetProgramGlobals() {
  for (int i = 0; i < PAYLOAD_ROWS; i++) {
    PayloadEntry &row = PayloadTable[i];
    // Tests decode for real; the blocks the program would keep are freed here.
    std::free(row.Data);
    row = PayloadEntry{RowNames[i], nullptr, 0, {0, 0}};
  }
  std::memset(InstallFolder, 0, sizeof InstallFolder);
  LogoBitmap = nullptr;
  std::memset(&OsVersionInfo, 0, sizeof OsVersionInfo);
  ArchitectureBits = 0;
  AppInstance = nullptr;
  ContainerVersion = 0;
  ContainerFileTime = FILETIME{0, 0};
}

INT_PTR CALLBACK PlainDialogProc(HWND, UINT, WPARAM, LPARAM) { return 0; }

}  // namespace

void SetupTest::SetUp() {
  Host::Reset();
  ASSERT_TRUE(Host::LoadResourceFile(SETUP_RES_PATH)) << SETUP_RES_PATH;
  ResetProgramGlobals();
}

void SetupTest::TearDown() { ResetProgramGlobals(); }

void ExpectFatal(const Host::ProcessExit &exit, int code, const std::string &text) {
  EXPECT_EQ(exit.Code, 1u);
  EXPECT_FALSE(exit.ViaFatalAppExit);
  ASSERT_EQ(Host::MessageBoxes().size(), 1u);
  const Host::Box &box = Host::MessageBoxes().back();
  EXPECT_EQ(box.Caption, "Fatal Error Code " + std::to_string(code));
  EXPECT_EQ(box.Text, text);
  EXPECT_EQ(box.Type, 0x1010u);
  EXPECT_EQ(box.Owner, nullptr);
}

FILETIME MakeFileTime(uint64_t ticks) { return FILETIME{DWORD(ticks), DWORD(ticks >> 32)}; }
uint64_t Ticks(const FILETIME &time) {
  return uint64_t(time.dwHighDateTime) << 32 | time.dwLowDateTime;
}

std::vector<BYTE> MakeContainer(const std::vector<BYTE> &bytes, FILETIME time) {
  LzariBlock encoded = LzariEncode(bytes.data(), DWORD(bytes.size()));
  std::vector<BYTE> container(encoded.Data, encoded.Data + encoded.Length);
  std::free(encoded.Data);
  std::memcpy(container.data(), "LzaR", 4);
  for (int shift = 0; shift < 64; shift += 8) container.push_back(BYTE(Ticks(time) >> shift));
  return container;
}

std::vector<BYTE> PayloadBytes(int row) {
  std::string text = std::string(RowNames[row]) + " holds row " + std::to_string(row) + "\r\n";
  for (int i = 0; i <= row; i++) text += "line " + std::to_string(i * 37) + " of the file\r\n";
  return std::vector<BYTE>(text.begin(), text.end());
}

// 2026-11-30 10:00:00 UTC plus row minutes and a fraction of a second.
FILETIME PayloadTime(int row) {
  return MakeFileTime(134089992000000000ull + uint64_t(row) * 600000000ull + 1234567);
}

void AddPayloadResources() {
  for (int i = 0; RowNames[i] != nullptr; i++)
    Host::AddResource(10, RowNames[i], MakeContainer(PayloadBytes(i), PayloadTime(i)));
}

void FillPayloadTable() {
  for (int i = 0; RowNames[i] != nullptr; i++) {
    std::vector<BYTE> bytes = PayloadBytes(i);
    PayloadEntry &row = PayloadTable[i];
    row.Data = static_cast<BYTE *>(std::malloc(bytes.size()));
    std::memcpy(row.Data, bytes.data(), bytes.size());
    row.Size = DWORD(bytes.size());
    row.FileTime = PayloadTime(i);
  }
}

HWND OpenPlainSetupDialog() { return Host::OpenDialog("SETUP", PlainDialogProc); }
