// lzari: the build machine's side of the payload containers. Packs the
// product's files into version-1 containers with their release times, and
// encodes, decodes and describes containers for tests and inspection.
//
// Usage errors exit with 2, bad input or failed I/O with 1 (one line on
// standard error naming the file). Output goes to a temporary file beside OUT
// that is renamed over OUT only when complete, so a failure leaves no partial
// file behind.
#include <errno.h>
#include <fcntl.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/stat.h>
#include <time.h>
#include <unistd.h>

#include <string>
#include <vector>

#include "payload/lzari.h"

namespace {

const char kUsage[] =
    "usage: lzari encode IN OUT\n"
    "       lzari pack [--time T] IN OUT\n"
    "       lzari decode IN OUT\n"
    "       lzari info IN\n"
    "\n"
    "  encode  compress IN into a version-0 (\"LZar\") container\n"
    "  pack    compress IN into a version-1 (\"LzaR\") container that also\n"
    "          records a file time: T if given, else IN's modification time\n"
    "          (the current time for standard input that is not a file)\n"
    "  decode  write the bytes a container of either version holds\n"
    "  info    show a container's version, body length, decoded size and,\n"
    "          for version 1, its file time (UTC and raw FILETIME)\n"
    "\n"
    "  T is a UTC time YYYY-MM-DDTHH:MM:SSZ, the seconds optionally with a\n"
    "  fraction down to 100 ns (2026-11-30T10:37:04.5Z).\n"
    "  A file name of - stands for standard input or standard output.\n"
    "  Exit status: 0 done, 1 bad input or I/O failure, 2 usage error.\n";

// 100-ns ticks between 1601-01-01 and 1970-01-01, both UTC.
const long long kUnixEpochTicks = 116444736000000000LL;
const long long kTicksPerSecond = 10000000LL;

[[noreturn]] void Fail(const std::string &file, const std::string &what) {
  fprintf(stderr, "lzari: %s: %s\n", file.c_str(), what.c_str());
  exit(1);
}

[[noreturn]] void UsageError(const std::string &what) {
  fprintf(stderr, "lzari: %s\n", what.c_str());
  fputs("Try 'lzari --help' for more information.\n", stderr);
  exit(2);
}

std::string DisplayName(const std::string &path, bool output) {
  if (path != "-") return path;
  return output ? "(standard output)" : "(standard input)";
}

std::vector<BYTE> ReadAll(const std::string &path) {
  std::string name = DisplayName(path, false);
  int fd = path == "-" ? 0 : open(path.c_str(), O_RDONLY);
  if (fd < 0) Fail(name, std::string("unreadable: ") + strerror(errno));
  std::vector<BYTE> data;
  struct stat st;
  if (fstat(fd, &st) == 0 && S_ISREG(st.st_mode) && st.st_size > 0) {
    if (static_cast<unsigned long long>(st.st_size) > 0xFFFFFFFFu) Fail(name, "too large (4 GiB or more)");
    data.reserve(static_cast<size_t>(st.st_size) + 1);  // one read finds the end
  }
  for (;;) {
    if (data.size() == data.capacity()) data.reserve(data.capacity() * 2 + (1 << 16));
    size_t filled = data.size();
    data.resize(data.capacity());  // read straight into the vector's storage
    ssize_t n;
    do n = read(fd, data.data() + filled, data.size() - filled);
    while (n < 0 && errno == EINTR);
    if (n < 0) Fail(name, std::string("unreadable: ") + strerror(errno));
    data.resize(filled + static_cast<size_t>(n));
    if (n == 0) break;
    if (data.size() > 0xFFFFFFFFu) Fail(name, "too large (4 GiB or more)");
  }
  if (fd != 0) close(fd);
  return data;
}

// Writes the bytes to path through a temporary file in the same folder, so
// that path either keeps its old content or gets the whole new one.
void WriteAll(const std::string &path, const BYTE *data, size_t length) {
  if (path == "-") {
    if ((length && fwrite(data, 1, length, stdout) != length) || fflush(stdout) != 0)
      Fail(DisplayName(path, true), std::string("cannot write: ") + strerror(errno));
    return;
  }
  struct stat st;
  if (stat(path.c_str(), &st) == 0 && !S_ISREG(st.st_mode)) {
    // A device or pipe (/dev/null, a FIFO) is written in place: there is no
    // file to replace, and renaming over it would remove it.
    FILE *device = fopen(path.c_str(), "wb");
    if (!device || (length && fwrite(data, 1, length, device) != length) || fclose(device) != 0)
      Fail(path, std::string("cannot write: ") + strerror(errno));
    return;
  }
  std::string temp = path + ".XXXXXX";
  int fd = mkstemp(&temp[0]);
  if (fd < 0) Fail(path, std::string("cannot create: ") + strerror(errno));
  mode_t mask = umask(0);
  umask(mask);
  fchmod(fd, 0666 & ~mask);  // mkstemp makes 0600; a plain create honours umask
  size_t done = 0;
  while (done < length) {
    ssize_t n = write(fd, data + done, length - done);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) {
      int error = errno;
      close(fd);
      unlink(temp.c_str());
      Fail(path, std::string("cannot write: ") + strerror(error));
    }
    done += static_cast<size_t>(n);
  }
  if (close(fd) != 0 || rename(temp.c_str(), path.c_str()) != 0) {
    int error = errno;
    unlink(temp.c_str());
    Fail(path, std::string("cannot write: ") + strerror(error));
  }
}

DWORD ReadLe32(const BYTE *p) {
  return p[0] | p[1] << 8 | p[2] << 16 | static_cast<DWORD>(p[3]) << 24;
}

void AppendLe32(std::vector<BYTE> &out, DWORD v) {
  for (int k = 0; k < 4; k++) out.push_back(static_cast<BYTE>(v >> (8 * k)));
}

// Days from 1970-01-01 to the given civil date (proleptic Gregorian).
long long DaysFromCivil(long long y, unsigned m, unsigned d) {
  y -= m <= 2;
  long long era = (y >= 0 ? y : y - 399) / 400;
  unsigned yoe = static_cast<unsigned>(y - era * 400);
  unsigned doy = (153 * (m > 2 ? m - 3 : m + 9) + 2) / 5 + d - 1;
  unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
  return era * 146097 + static_cast<long long>(doe) - 719468;
}

void CivilFromDays(long long z, long long &y, unsigned &m, unsigned &d) {
  z += 719468;
  long long era = (z >= 0 ? z : z - 146096) / 146097;
  unsigned doe = static_cast<unsigned>(z - era * 146097);
  unsigned yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
  unsigned doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
  unsigned mp = (5 * doy + 2) / 153;
  d = doy - (153 * mp + 2) / 5 + 1;
  m = mp < 10 ? mp + 3 : mp - 9;
  y = static_cast<long long>(yoe) + era * 400 + (m <= 2);
}

bool IsLeap(long long y) { return (y % 4 == 0 && y % 100 != 0) || y % 400 == 0; }

unsigned DaysInMonth(long long y, unsigned m) {
  static const unsigned days[12] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  return m == 2 && IsLeap(y) ? 29 : days[m - 1];
}

// Reads n decimal digits at text[pos]; false unless all n are digits.
bool Digits(const std::string &text, size_t pos, size_t n, unsigned &value) {
  if (pos + n > text.size()) return false;
  value = 0;
  for (size_t k = pos; k < pos + n; k++) {
    if (text[k] < '0' || text[k] > '9') return false;
    value = value * 10 + static_cast<unsigned>(text[k] - '0');
  }
  return true;
}

// Parses YYYY-MM-DDTHH:MM:SS[.fraction]Z (years 1601 to 9999, fraction of 1
// to 7 digits) into FILETIME ticks; false for anything else.
bool ParseUtcTime(const std::string &text, unsigned long long &ticks) {
  unsigned year, month, day, hour, minute, second;
  if (!Digits(text, 0, 4, year) || text.size() < 20 || text[4] != '-' ||
      !Digits(text, 5, 2, month) || text[7] != '-' || !Digits(text, 8, 2, day) ||
      text[10] != 'T' || !Digits(text, 11, 2, hour) || text[13] != ':' ||
      !Digits(text, 14, 2, minute) || text[16] != ':' || !Digits(text, 17, 2, second))
    return false;
  size_t pos = 19;
  unsigned long long fraction = 0;  // in 100-ns ticks
  if (text[pos] == '.') {
    size_t digits = 0;
    for (pos++; pos < text.size() && text[pos] >= '0' && text[pos] <= '9'; pos++, digits++) {
      if (digits == 7) return false;  // finer than FILETIME can hold
      fraction = fraction * 10 + static_cast<unsigned>(text[pos] - '0');
    }
    if (digits == 0) return false;
    for (; digits < 7; digits++) fraction *= 10;
  }
  if (pos + 1 != text.size() || text[pos] != 'Z') return false;
  if (year < 1601 || month < 1 || month > 12 || day < 1 || day > DaysInMonth(year, month) ||
      hour > 23 || minute > 59 || second > 59)
    return false;
  long long days = DaysFromCivil(year, month, day) - DaysFromCivil(1601, 1, 1);
  long long seconds = days * 86400 + hour * 3600 + minute * 60 + second;
  ticks = static_cast<unsigned long long>(seconds) * kTicksPerSecond + fraction;
  return true;
}

std::string FormatUtcTime(unsigned long long ticks) {
  long long seconds = static_cast<long long>(ticks / kTicksPerSecond);
  unsigned fraction = static_cast<unsigned>(ticks % kTicksPerSecond);
  long long y;
  unsigned m, d;
  CivilFromDays(seconds / 86400 + DaysFromCivil(1601, 1, 1), y, m, d);
  long long rest = seconds % 86400;
  char text[64];
  snprintf(text, sizeof text, "%04lld-%02u-%02uT%02lld:%02lld:%02lld.%07uZ", y, m, d, rest / 3600,
           rest / 60 % 60, rest % 60, fraction);
  return text;
}

// IN's modification time as FILETIME ticks, to 100 ns where the file system
// keeps it; the current time for standard input that is not a file.
unsigned long long ModificationTicks(const std::string &path) {
  struct stat st;
  int rc = path == "-" ? fstat(0, &st) : stat(path.c_str(), &st);
  struct timespec when;
  if (rc == 0 && (path != "-" || S_ISREG(st.st_mode))) {
    when = st.st_mtim;
  } else if (rc == 0 || path == "-") {
    clock_gettime(CLOCK_REALTIME, &when);
  } else {
    Fail(path, std::string("unreadable: ") + strerror(errno));
  }
  long long ticks = static_cast<long long>(when.tv_sec) * kTicksPerSecond + when.tv_nsec / 100 +
                    kUnixEpochTicks;
  if (ticks < 0) Fail(DisplayName(path, false), "modification time is before 1601");
  return static_cast<unsigned long long>(ticks);
}

struct Container {
  int version;          // 0 or 1; -1 when the magic is only a case variant
  DWORD bodyLength;
  DWORD size;           // decoded size field
  unsigned long long time;  // version 1 only
};

// Checks the frame of a container; one-line failure naming the file.
Container ReadFrame(const std::string &name, const std::vector<BYTE> &data) {
  Container c = {-1, 0, 0, 0};
  static const char lower[] = "lzar";
  bool caseBlind = data.size() >= 4;
  for (size_t k = 0; caseBlind && k < 4; k++) caseBlind = (data[k] | 0x20) == lower[k];
  if (!caseBlind) Fail(name, "not an LZARI container (no \"LZar\"/\"LzaR\" magic)");
  size_t trailer = 4;
  if (memcmp(data.data(), "LZar", 4) == 0) {
    c.version = 0;
  } else if (memcmp(data.data(), "LzaR", 4) == 0) {
    c.version = 1;
    trailer = 12;
  }
  if (data.size() < 4 + trailer) Fail(name, "damaged container (too short for its trailer)");
  size_t end = data.size() - trailer;
  c.bodyLength = static_cast<DWORD>(end - 4);
  c.size = ReadLe32(&data[end]);
  if (c.version == 1)
    c.time = ReadLe32(&data[end + 4]) | static_cast<unsigned long long>(ReadLe32(&data[end + 8])) << 32;
  return c;
}

// Decodes a whole container; fails with a message unless it is sound. The
// block is the codec's (free it); (null, 0) for an empty file.
LzariBlock DecodeOrFail(const std::string &name, const std::vector<BYTE> &data) {
  Container c = ReadFrame(name, data);
  LzariBlock block = LzariDecode(data.data(), static_cast<DWORD>(data.size()));
  if (c.size != 0 && block.Data == nullptr) {
    void *probe = malloc(c.size);
    if (!probe) Fail(name, "not enough memory to decode " + std::to_string(c.size) + " bytes");
    free(probe);
    Fail(name, "damaged container (its body does not decode to its recorded size)");
  }
  return block;
}

LzariBlock EncodeOrFail(const std::string &name, const std::vector<BYTE> &data) {
  LzariBlock block = LzariEncode(data.data(), static_cast<DWORD>(data.size()));
  if (!block.Data) Fail(name, "not enough memory to encode");
  return block;
}

int Encode(const std::string &in, const std::string &out) {
  LzariBlock container = EncodeOrFail(DisplayName(in, false), ReadAll(in));
  WriteAll(out, container.Data, container.Length);
  free(container.Data);
  return 0;
}

int Pack(const std::string &in, const std::string &out, bool haveTime, unsigned long long ticks) {
  std::vector<BYTE> data = ReadAll(in);
  if (!haveTime) ticks = ModificationTicks(in);
  LzariBlock block = EncodeOrFail(DisplayName(in, false), data);
  // A version-1 container is the version-0 one with its magic's case changed
  // and the file time appended.
  std::vector<BYTE> container(block.Data, block.Data + block.Length);
  free(block.Data);
  memcpy(container.data(), "LzaR", 4);
  AppendLe32(container, static_cast<DWORD>(ticks));
  AppendLe32(container, static_cast<DWORD>(ticks >> 32));
  WriteAll(out, container.data(), container.size());
  return 0;
}

int Decode(const std::string &in, const std::string &out) {
  LzariBlock decoded = DecodeOrFail(DisplayName(in, false), ReadAll(in));
  WriteAll(out, decoded.Data, decoded.Length);
  free(decoded.Data);
  return 0;
}

int Info(const std::string &in) {
  std::string name = DisplayName(in, false);
  std::vector<BYTE> data = ReadAll(in);
  Container c = ReadFrame(name, data);
  free(DecodeOrFail(name, data).Data);  // info on a damaged container is an error too
  if (c.version < 0)
    printf("version: none (magic \"%.4s\", decoded like version 0)\n", reinterpret_cast<const char *>(data.data()));
  else
    printf("version: %d\n", c.version);
  printf("body length: %u bytes\n", c.bodyLength);
  printf("decoded size: %u bytes\n", c.size);
  if (c.version == 1) {
    printf("file time: %s\n", FormatUtcTime(c.time).c_str());
    printf("file time (FILETIME): %llu (0x%016llX)\n", c.time, c.time);
  }
  return 0;
}

}  // namespace

int main(int argc, char **argv) {
  std::vector<std::string> args(argv + 1, argv + argc);
  if (args.empty()) UsageError("missing command");
  if (args[0] == "--help" || args[0] == "-h" || args[0] == "help") {
    fputs(kUsage, stdout);
    return 0;
  }
  std::string command = args[0];
  bool haveTime = false;
  unsigned long long ticks = 0;
  std::vector<std::string> files;
  bool optionsDone = false;
  for (size_t k = 1; k < args.size(); k++) {
    const std::string &a = args[k];
    if (!optionsDone && a == "--") {
      optionsDone = true;
    } else if (!optionsDone && command == "pack" && (a == "--time" || a.rfind("--time=", 0) == 0)) {
      std::string value;
      if (a == "--time") {
        if (k + 1 == args.size()) UsageError("--time needs a value");
        value = args[++k];
      } else {
        value = a.substr(7);
      }
      if (!ParseUtcTime(value, ticks))
        UsageError("invalid --time '" + value + "' (want YYYY-MM-DDTHH:MM:SS[.fraction]Z, UTC)");
      haveTime = true;
    } else if (!optionsDone && a.size() > 1 && a[0] == '-') {
      UsageError("unknown option '" + a + "' for " + command);
    } else {
      files.push_back(a);
    }
  }
  size_t want = command == "info" ? 1 : 2;
  if (command != "encode" && command != "pack" && command != "decode" && command != "info")
    UsageError("unknown command '" + command + "'");
  if (files.size() != want)
    UsageError(command + " takes " + (want == 1 ? "IN" : "IN OUT") + ", got " +
               std::to_string(files.size()) + " file name(s)");
  if (command == "encode") return Encode(files[0], files[1]);
  if (command == "pack") return Pack(files[0], files[1], haveTime, ticks);
  if (command == "decode") return Decode(files[0], files[1]);
  return Info(files[0]);
}
