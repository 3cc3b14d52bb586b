// lzari_bench: LZARI beside zlib and xz on the same bytes. For each file it
// reports the compressed sizes and the decode and encode throughput (MB/s of
// uncompressed bytes, best of several timed runs, in this one process).
//
//   lzari_bench [--min-time SECONDS] [--payload MANIFEST] [FILE|FOLDER ...]
//   lzari_bench --list
//
// Without names it measures two sets side by side: the setup's carried
// payload (the files listed in the win32 build's payload manifest) and a
// larger mixed set of files that a Debian system with the project's packages
// has (programs, libraries, licence texts, C++ headers, Perl modules, a word
// list); --list prints the Debian set, one per line. A folder stands for the
// regular files directly inside it.
#include <dirent.h>
#include <lzma.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/stat.h>
#include <time.h>
#include <zlib.h>

#include <algorithm>
#include <functional>
#include <string>
#include <vector>

#include "payload/lzari.h"

namespace {

typedef std::vector<unsigned char> Bytes;

// Candidates for the default set, in three kinds; those missing on this
// machine are skipped. The word list is the dictionary when one is installed
// (wamerican), else Perl's table of Unicode character names.
const char *const kDebianPrograms[] = {
    "/usr/bin/perl",
    "/usr/bin/bash",
    "/usr/lib/x86_64-linux-gnu/libstdc++.so.6",
    "/usr/lib/x86_64-linux-gnu/libc.so.6",
    nullptr,
};
const char *const kDebianTexts[] = {
    "/usr/share/common-licenses/GPL-3",
    "/usr/share/common-licenses/Apache-2.0",
    "/usr/share/common-licenses/LGPL-2.1",
    "/usr/include/c++/12/bits/stl_algo.h",
    "/usr/include/c++/12/bits/basic_string.h",
    "/usr/include/c++/12/bits/stl_tree.h",
    "/usr/share/perl/5.36/CPAN.pm",
    "/usr/share/perl/5.36/perl5db.pl",
    "/usr/share/perl/5.36/Pod/Simple.pm",
    nullptr,
};
const char *const kDebianDictionary[] = {
    "/usr/share/dict/words",
    nullptr,
};
const char kWordListFallback[] = "/usr/share/perl/5.36/unicore/Name.pl";

double Now() {
  timespec t;
  clock_gettime(CLOCK_MONOTONIC, &t);
  return t.tv_sec + t.tv_nsec * 1e-9;
}

bool IsRegularFile(const std::string &path) {
  struct stat st;
  return stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

bool Load(const std::string &path, Bytes &data) {
  FILE *file = fopen(path.c_str(), "rb");
  if (!file) return false;
  data.clear();
  unsigned char chunk[1 << 16];
  size_t n;
  while ((n = fread(chunk, 1, sizeof chunk, file)) > 0) data.insert(data.end(), chunk, chunk + n);
  fclose(file);
  return true;
}

std::vector<std::string> Present(const char *const *paths) {
  std::vector<std::string> files;
  for (; *paths; paths++)
    if (IsRegularFile(*paths)) files.push_back(*paths);
  return files;
}

std::vector<std::string> DictionarySet() {
  std::vector<std::string> files = Present(kDebianDictionary);
  if (files.empty() && IsRegularFile(kWordListFallback)) files.push_back(kWordListFallback);
  return files;
}

std::vector<std::string> DefaultSet() {
  std::vector<std::string> files = Present(kDebianPrograms), texts = Present(kDebianTexts),
                           words = DictionarySet();
  files.insert(files.end(), texts.begin(), texts.end());
  files.insert(files.end(), words.begin(), words.end());
  return files;
}

// The files named in a payload manifest: lines of name, path and time,
// separated by tabs. Empty when there is no manifest.
std::vector<std::string> PayloadSet(const std::string &manifest) {
  std::vector<std::string> files;
  FILE *file = fopen(manifest.c_str(), "r");
  if (!file) return files;
  char line[4096];
  while (fgets(line, sizeof line, file)) {
    char *path = strchr(line, '\t');
    if (!path) continue;
    path++;
    char *end = strchr(path, '\t');
    if (!end) continue;
    files.push_back(std::string(path, end));
  }
  fclose(file);
  return files;
}

std::vector<std::string> Expand(const std::vector<std::string> &names) {
  std::vector<std::string> files;
  for (const std::string &name : names) {
    DIR *dir = opendir(name.c_str());
    if (!dir) {
      files.push_back(name);
      continue;
    }
    std::vector<std::string> inside;
    while (dirent *entry = readdir(dir)) {
      std::string path = name + "/" + entry->d_name;
      if (entry->d_name[0] != '.' && IsRegularFile(path)) inside.push_back(path);
    }
    closedir(dir);
    std::sort(inside.begin(), inside.end());
    files.insert(files.end(), inside.begin(), inside.end());
  }
  return files;
}

double MinTime = 0.3;  // seconds of repeated runs behind each figure

// Best time of one run of work, repeated for at least MinTime and minRuns.
double BestTime(const std::function<void()> &work, int minRuns = 3) {
  double best = 1e30, start = Now();
  for (int runs = 0; runs < minRuns || Now() - start < MinTime; runs++) {
    double t0 = Now();
    work();
    best = std::min(best, Now() - t0);
  }
  return best;
}

[[noreturn]] void Die(const std::string &what) {
  fprintf(stderr, "lzari_bench: %s\n", what.c_str());
  exit(1);
}

Bytes LzariPack(const Bytes &raw) {
  LzariBlock block = LzariEncode(raw.data(), static_cast<DWORD>(raw.size()));
  if (!block.Data) Die("LzariEncode failed");
  Bytes out(block.Data, block.Data + block.Length);
  free(block.Data);
  return out;
}

Bytes ZlibPack(const Bytes &raw, int level) {
  uLongf length = compressBound(raw.size());
  Bytes out(length);
  if (compress2(out.data(), &length, raw.data(), raw.size(), level) != Z_OK) Die("compress2 failed");
  out.resize(length);
  return out;
}

Bytes XzPack(const Bytes &raw) {
  Bytes out(lzma_stream_buffer_bound(raw.size()));
  size_t length = 0;
  if (lzma_easy_buffer_encode(6, LZMA_CHECK_CRC64, nullptr, raw.data(), raw.size(), out.data(), &length,
                              out.size()) != LZMA_OK)
    Die("lzma_easy_buffer_encode failed");
  out.resize(length);
  return out;
}

struct Row {
  std::string name;
  size_t size = 0;
  size_t lzari = 0, zlib6 = 0, zlib9 = 0, xz = 0;  // compressed sizes
  double lzariDecode = 0, zlibDecode = 0, xzDecode = 0;  // seconds per run
  double lzariEncode = 0, zlibEncode = 0, xzEncode = 0;
};

Row Measure(const std::string &path, const Bytes &raw) {
  Row row;
  row.name = path;
  row.size = raw.size();
  Bytes lz = LzariPack(raw), z6 = ZlibPack(raw, 6), z9 = ZlibPack(raw, 9), xz = XzPack(raw);
  row.lzari = lz.size();
  row.zlib6 = z6.size();
  row.zlib9 = z9.size();
  row.xz = xz.size();

  // Every decode is checked once against the original, then timed.
  Bytes out(raw.size() + 1);
  LzariBlock check = LzariDecode(lz.data(), static_cast<DWORD>(lz.size()));
  if (check.Length != raw.size() || (raw.size() && memcmp(check.Data, raw.data(), raw.size()) != 0))
    Die(path + ": LZARI round trip failed");
  free(check.Data);
  row.lzariDecode = BestTime([&] { free(LzariDecode(lz.data(), static_cast<DWORD>(lz.size())).Data); });
  row.zlibDecode = BestTime([&] {
    uLongf length = out.size();
    if (uncompress(out.data(), &length, z6.data(), z6.size()) != Z_OK || length != raw.size())
      Die(path + ": zlib round trip failed");
  });
  row.xzDecode = BestTime([&] {
    uint64_t limit = UINT64_MAX;
    size_t inPos = 0, outPos = 0;
    if (lzma_stream_buffer_decode(&limit, 0, nullptr, xz.data(), &inPos, xz.size(), out.data(), &outPos,
                                  out.size()) != LZMA_OK || outPos != raw.size())
      Die(path + ": xz round trip failed");
  });
  row.lzariEncode = BestTime([&] { LzariPack(raw); }, 1);
  row.zlibEncode = BestTime([&] { ZlibPack(raw, 6); }, 1);
  row.xzEncode = BestTime([&] { XzPack(raw); }, 1);
  return row;
}

double Rate(size_t bytes, double seconds) { return seconds > 0 ? bytes / seconds / 1e6 : 0; }

std::string BaseName(const std::string &path) {
  size_t slash = path.rfind('/');
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

void Print(const Row &r) {
  printf("%-24.24s %10zu %9zu %9zu %9zu %9zu %8.1f %8.1f %8.1f %7.1f %7.1f %7.1f\n", BaseName(r.name).c_str(),
         r.size, r.lzari, r.zlib6, r.zlib9, r.xz, Rate(r.size, r.lzariDecode), Rate(r.size, r.zlibDecode),
         Rate(r.size, r.xzDecode), Rate(r.size, r.lzariEncode), Rate(r.size, r.zlibEncode),
         Rate(r.size, r.xzEncode));
}

#ifndef LZARI_BENCH_MANIFEST
#define LZARI_BENCH_MANIFEST "build/win32/payload/manifest.tsv"
#endif

// Measures one set of files and prints a row for each, their total and the
// decode speed ratio against zlib.
void MeasureSet(const char *title, const std::vector<std::string> &files) {
  printf("%s\n", title);
  printf("%-24s %10s %9s %9s %9s %9s %8s %8s %8s %7s %7s %7s\n", "file", "size", "lzari", "zlib-6", "zlib-9",
         "xz-6", "dec-lz", "dec-zl", "dec-xz", "enc-lz", "enc-zl", "enc-xz");
  Row total;
  total.name = "TOTAL";
  for (const std::string &file : files) {
    Bytes raw;
    if (!Load(file, raw)) Die(file + ": cannot read");
    Row row = Measure(file, raw);
    Print(row);
    total.size += row.size;
    total.lzari += row.lzari;
    total.zlib6 += row.zlib6;
    total.zlib9 += row.zlib9;
    total.xz += row.xz;
    total.lzariDecode += row.lzariDecode;
    total.zlibDecode += row.zlibDecode;
    total.xzDecode += row.xzDecode;
    total.lzariEncode += row.lzariEncode;
    total.zlibEncode += row.zlibEncode;
    total.xzEncode += row.xzEncode;
  }
  Print(total);
  printf("lzari decode speed / zlib inflate: %.0f%%\n\n", 100 * total.zlibDecode / total.lzariDecode);
}

}  // namespace

int main(int argc, char **argv) {
  std::vector<std::string> names;
  std::string manifest = LZARI_BENCH_MANIFEST;
  for (int k = 1; k < argc; k++) {
    std::string a = argv[k];
    if (a == "--list") {
      for (const std::string &f : DefaultSet()) puts(f.c_str());
      return 0;
    } else if (a == "--min-time" && k + 1 < argc) {
      MinTime = atof(argv[++k]);
    } else if (a == "--payload" && k + 1 < argc) {
      manifest = argv[++k];
    } else if (a == "--help" || a == "-h") {
      puts("usage: lzari_bench [--min-time SECONDS] [--payload MANIFEST] [FILE|FOLDER ...]\n"
           "       lzari_bench --list\n"
           "Without names: the setup's payload (the win32 build's manifest) and a mixed\n"
           "set of Debian files (--list shows it).");
      return 0;
    } else {
      names.push_back(a);
    }
  }

  printf("Sizes in bytes (zlib -6/-9, xz -6); rates in MB/s of uncompressed data, best of runs\n");
  printf("over at least %.2f s each, in this process (decode: lzari, zlib inflate, xz).\n\n", MinTime);
  if (!names.empty()) {
    std::vector<std::string> files = Expand(names);
    if (files.empty()) Die("no files to measure");
    MeasureSet("Files named", files);
    return 0;
  }

  std::vector<std::string> payload = PayloadSet(manifest);
  if (payload.empty())
    printf("Carried payload: no manifest at %s (build the win32 preset first)\n\n", manifest.c_str());
  else
    MeasureSet(("Carried payload (" + manifest + ")").c_str(), payload);

  if (DefaultSet().empty()) Die("none of the Debian files is on this machine");
  const struct {
    const char *title;
    std::vector<std::string> files;
  } kinds[] = {
      {"Debian programs and libraries:", Present(kDebianPrograms)},
      {"Debian texts (licences, C++ headers, Perl):", Present(kDebianTexts)},
      {"Debian dictionary:", DictionarySet()},
  };
  for (const auto &kind : kinds) {
    if (kind.files.empty()) continue;
    std::string title = kind.title;
    for (const std::string &file : kind.files) title += "\n  " + file;
    MeasureSet(title.c_str(), kind.files);
  }
  return 0;
}
