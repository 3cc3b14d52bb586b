// Encodes arbitrary bytes, checks the container against the plain reference
// encoder byte for byte, and decodes it back to the input. A first byte with
// its low bit set repeats the rest to about 8 KB first, so that long runs
// and full-length matches are reached often.
#include <stdlib.h>
#include <string.h>

#include <vector>

#include "payload/lzari.h"
#include "reference_lzari.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
  std::vector<BYTE> input;
  if (size > 1 && (data[0] & 1)) {
    while (input.size() < 8192) input.insert(input.end(), data + 1, data + size);
  } else {
    input.assign(data, data + size);
  }
  // Exactly sized, so the encoder's reads are checked.
  BYTE *raw = static_cast<BYTE *>(malloc(input.empty() ? 1 : input.size()));
  if (!input.empty()) memcpy(raw, input.data(), input.size());
  DWORD length = static_cast<DWORD>(input.size());

  LzariBlock encoded = LzariEncode(raw, length);
  LzariBlock reference = reference::Encode(raw, length);
  if (!encoded.Data || encoded.Length != reference.Length ||
      memcmp(encoded.Data, reference.Data, encoded.Length) != 0)
    abort();

  LzariBlock decoded = LzariDecode(encoded.Data, encoded.Length);
  LzariBlock referenceDecoded = reference::Decode(encoded.Data, encoded.Length);  // keeps its window in step
  if (decoded.Length != length || (length && memcmp(decoded.Data, raw, length) != 0)) abort();
  if (referenceDecoded.Length != length) abort();
  if (ContainerVersion != 0) abort();

  free(decoded.Data);
  free(referenceDecoded.Data);
  free(encoded.Data);
  free(reference.Data);
  free(raw);
  return 0;
}
