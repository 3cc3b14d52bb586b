// The payload that the built setup carries: each container decodes out of
// the executable to exactly the product file it was made from, with its
// recorded time.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <fstream>
#include <iterator>

#include "manifest.h"
#include "payload/lzari.h"
#include "pe_resources.h"

namespace {

std::vector<uint8_t> ReadFile(const std::string &path) {
  std::ifstream in(path, std::ios::binary);
  return std::vector<uint8_t>((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

// 100-ns ticks since 1601 of a "YYYY-MM-DDTHH:MM:SS[.f]Z" time.
uint64_t FileTimeOf(const std::string &text) {
  int y, mo, d, h, mi;
  double s;
  EXPECT_EQ(std::sscanf(text.c_str(), "%d-%d-%dT%d:%d:%lfZ", &y, &mo, &d, &h, &mi, &s), 6) << text;
  // Days from 1601-01-01 by the civil calendar.
  auto days = [](int year, int month, int day) {
    year -= month <= 2;
    long era = year / 400, yoe = year - era * 400;
    long doy = (153 * (month + (month > 2 ? -3 : 9)) + 2) / 5 + day - 1;
    return era * 146097 + yoe * 365 + yoe / 4 - yoe / 100 + doy;
  };
  long long day = days(y, mo, d) - days(1601, 1, 1);
  return uint64_t((day * 86400 + h * 3600 + mi * 60) * 10000000LL + llround(s * 1e7));
}

std::vector<Carried> Manifest(const std::string &buildDir) {
  return ReadManifest(buildDir + "/payload/manifest.tsv");
}

class CarriedPayload : public testing::TestWithParam<const char *> {};

TEST_P(CarriedPayload, DecodesToTheProductFilesWithTheirTimes) {
  std::string buildDir = GetParam();
  PeImage image;
  std::string reason;
  ASSERT_TRUE(ReadPeImage(buildDir + "/setup.exe", &image, &reason)) << reason;
  std::vector<Carried> rows = Manifest(buildDir);
  ASSERT_EQ(rows.size(), 9u);

  const char *const names[] = {"Gridmark.EXE", "Gridmark.HLP", "Pagewise.EXE", "Sample1.gmd", "Sample2.gmd",
                               "Sample3.gmd",  "Sample4.gmd",  "Sample5.gmd",  "Sample6.gmd"};
  for (int i = 0; i < 9; i++) {
    const Carried &row = rows[i];
    SCOPED_TRACE(row.Name);
    EXPECT_EQ(row.Name, names[i]);
    std::string upper = row.Name;
    for (char &c : upper) c = char(std::toupper((unsigned char)c));
    const PeResource *resource = FindPeResource(image, 10, upper);
    ASSERT_NE(resource, nullptr);
    EXPECT_EQ(resource->Language, 1033);

    LzariBlock decoded = LzariDecode(resource->Data.data(), DWORD(resource->Data.size()));
    std::vector<uint8_t> bytes(decoded.Data, decoded.Data + decoded.Length);
    std::free(decoded.Data);
    std::vector<uint8_t> product = ReadFile(row.Input);
    ASSERT_FALSE(product.empty()) << row.Input;
    ASSERT_TRUE(bytes == product) << row.Name;
    EXPECT_EQ(ContainerVersion, 1);
    EXPECT_EQ(uint64_t(ContainerFileTime.dwHighDateTime) << 32 | ContainerFileTime.dwLowDateTime,
              FileTimeOf(row.Time));
    if (row.Name.find(".EXE") != std::string::npos) EXPECT_EQ(std::string(bytes.begin(), bytes.begin() + 2), "MZ");
  }
}

INSTANTIATE_TEST_SUITE_P(Builds, CarriedPayload, testing::Values(WIN32_BUILD_DIR, WIN64_BUILD_DIR),
                         [](const auto &info) { return info.index == 0 ? "win32" : "win64"; });

}  // namespace
