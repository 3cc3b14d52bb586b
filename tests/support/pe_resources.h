// Reads what the tests need from a built PE executable: its header facts,
// its imports and its resources. Never reads outside the file's bytes.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

struct PeResource {
  uint16_t Type = 0;   // only integer types are used here
  std::string Name;    // upper case as stored, or "#n" for an integer name
  uint16_t Language = 0;
  std::vector<uint8_t> Data;
};

struct PeImport {
  std::string Dll;
  std::vector<std::string> Names;   // imported by name
  std::vector<uint16_t> Ordinals;   // imported by ordinal
};

struct PeSection {
  std::string Name;
  uint32_t VirtualSize = 0, RawSize = 0;
};

struct PeImage {
  uint16_t Machine = 0;
  uint16_t Magic = 0;      // 0x10B PE32, 0x20B PE32+
  uint16_t Subsystem = 0;  // 2 GUI
  size_t FileSize = 0;
  std::vector<PeSection> Sections;
  std::vector<PeImport> Imports;
  std::vector<PeResource> Resources;
};

// Answers false, with a reason, for anything that is not a readable PE image.
bool ReadPeImage(const std::string &path, PeImage *image, std::string *reason);

const PeResource *FindPeResource(const PeImage &image, uint16_t type, const std::string &name);
