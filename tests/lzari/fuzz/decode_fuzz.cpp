// Decodes arbitrary bytes as a container and checks the result against the
// plain reference decoder, byte for byte, including what the two leave in
// ContainerVersion/ContainerFileTime. The input is copied into a heap block
// of exactly its size, so any read past the container is caught.
#include <stdlib.h>
#include <string.h>

#include "payload/lzari.h"
#include "reference_lzari.h"

// Containers that claim more than this are skipped: the decoder would only
// allocate the claimed size, which the fuzzer's memory limit would report.
static const DWORD kMaxClaimedSize = 1u << 20;

static DWORD ClaimedSize(const BYTE *data, size_t size) {
  size_t end = size;
  if (size >= 16 && memcmp(data, "LzaR", 4) == 0) end -= 8;
  if (end < 8) return 0;
  return data[end - 4] | data[end - 3] << 8 | data[end - 2] << 16 |
         static_cast<DWORD>(data[end - 1]) << 24;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
  if (ClaimedSize(data, size) > kMaxClaimedSize) return 0;
  BYTE *container = static_cast<BYTE *>(malloc(size ? size : 1));
  if (size) memcpy(container, data, size);
  DWORD length = static_cast<DWORD>(size);

  LzariBlock got = LzariDecode(container, length);
  LzariBlock want = reference::Decode(container, length);
  if (got.Length != want.Length || (got.Data == nullptr) != (want.Data == nullptr) ||
      (got.Length && memcmp(got.Data, want.Data, got.Length) != 0))
    abort();
  if (ContainerVersion != reference::Version ||
      memcmp(&ContainerFileTime, &reference::FileTime, sizeof(FILETIME)) != 0)
    abort();
  // A result is always exactly the recorded size.
  if (got.Data && got.Length != ClaimedSize(container, size)) abort();
  free(got.Data);
  free(want.Data);
  free(container);
  return 0;
}
