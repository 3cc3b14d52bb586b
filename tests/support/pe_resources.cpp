#include "pe_resources.h"

#include <algorithm>
#include <fstream>
#include <iterator>

namespace {

struct Bytes {
  const std::vector<uint8_t> &Data;
  bool Ok = true;

  uint32_t Get(size_t at, int size) {
    if (at + size > Data.size() || at + size < at) {
      Ok = false;
      return 0;
    }
    uint32_t value = 0;
    for (int i = size - 1; i >= 0; i--) value = value << 8 | Data[at + i];
    return value;
  }
  uint16_t U16(size_t at) { return uint16_t(Get(at, 2)); }
  uint32_t U32(size_t at) { return Get(at, 4); }
};

struct Reader {
  Bytes B;
  std::vector<std::pair<PeSection, std::pair<uint32_t, uint32_t>>> Map;  // section, (rva, raw offset)

  // File offset of a virtual address, or 0 when no section holds it.
  size_t Offset(uint32_t rva) {
    for (auto &entry : Map) {
      uint32_t start = entry.second.first;
      uint32_t size = std::max(entry.first.VirtualSize, entry.first.RawSize);
      if (rva >= start && rva < start + size) return entry.second.second + (rva - start);
    }
    B.Ok = false;
    return 0;
  }
  std::string AsciiZ(size_t at) {
    std::string text;
    for (; B.Ok && at < B.Data.size() && B.Data[at] != 0; at++) text += char(B.Data[at]);
    return text;
  }
};

void ReadImports(Reader &r, uint32_t rva, bool pe32plus, PeImage *image) {
  if (rva == 0) return;
  for (size_t at = r.Offset(rva); r.B.Ok; at += 20) {
    uint32_t lookup = r.B.U32(at), nameRva = r.B.U32(at + 12), thunks = r.B.U32(at + 16);
    if (nameRva == 0) break;
    PeImport import;
    import.Dll = r.AsciiZ(r.Offset(nameRva));
    size_t entry = r.Offset(lookup ? lookup : thunks);
    int width = pe32plus ? 8 : 4;
    for (; r.B.Ok; entry += width) {
      uint64_t value = pe32plus ? (uint64_t(r.B.U32(entry + 4)) << 32 | r.B.U32(entry)) : r.B.U32(entry);
      if (value == 0) break;
      bool byOrdinal = pe32plus ? (value >> 63) != 0 : (value >> 31) != 0;
      if (byOrdinal)
        import.Ordinals.push_back(uint16_t(value));
      else
        import.Names.push_back(r.AsciiZ(r.Offset(uint32_t(value)) + 2));
    }
    image->Imports.push_back(import);
  }
}

// Resource tree: type, name, language, then the data entry.
void ReadResources(Reader &r, uint32_t rva, PeImage *image) {
  if (rva == 0) return;
  size_t base = r.Offset(rva);
  auto entries = [&](size_t dir, auto &&visit) {
    int count = r.B.U16(dir + 12) + r.B.U16(dir + 14);
    for (int i = 0; i < count && r.B.Ok && i < 4096; i++) {
      uint32_t id = r.B.U32(dir + 16 + i * 8), target = r.B.U32(dir + 20 + i * 8);
      std::string name;
      if (id & 0x80000000u) {
        size_t at = base + (id & 0x7FFFFFFF);
        int length = r.B.U16(at);
        for (int k = 0; k < length && r.B.Ok; k++) name += char(r.B.U16(at + 2 + k * 2));
      } else {
        name = "#" + std::to_string(id);
      }
      visit(name, uint16_t(id), target);
    }
  };
  entries(base, [&](const std::string &, uint16_t type, uint32_t typeDir) {
    entries(base + (typeDir & 0x7FFFFFFF), [&](const std::string &name, uint16_t, uint32_t nameDir) {
      entries(base + (nameDir & 0x7FFFFFFF), [&](const std::string &, uint16_t language, uint32_t leaf) {
        size_t at = base + leaf;
        uint32_t dataRva = r.B.U32(at), size = r.B.U32(at + 4);
        size_t from = r.Offset(dataRva);
        if (!r.B.Ok || from + size > r.B.Data.size()) {
          r.B.Ok = false;
          return;
        }
        image->Resources.push_back(PeResource{type, name, language,
            std::vector<uint8_t>(r.B.Data.begin() + from, r.B.Data.begin() + from + size)});
      });
    });
  });
}

}  // namespace

bool ReadPeImage(const std::string &path, PeImage *image, std::string *reason) {
  std::ifstream in(path, std::ios::binary);
  if (!in) {
    *reason = "cannot open " + path;
    return false;
  }
  std::vector<uint8_t> data((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  Reader r{Bytes{data}, {}};
  *image = PeImage();
  image->FileSize = data.size();
  if (r.B.U16(0) != 0x5A4D) {
    *reason = "no MZ header";
    return false;
  }
  size_t pe = r.B.U32(0x3C);
  if (r.B.U32(pe) != 0x00004550) {
    *reason = "no PE signature";
    return false;
  }
  image->Machine = r.B.U16(pe + 4);
  int sectionCount = r.B.U16(pe + 6);
  size_t optional = pe + 24;
  size_t optionalSize = r.B.U16(pe + 20);
  image->Magic = r.B.U16(optional);
  bool pe32plus = image->Magic == 0x20B;
  image->Subsystem = r.B.U16(optional + 68);
  size_t directories = optional + (pe32plus ? 112 : 96);
  uint32_t importRva = r.B.U32(directories + 8);
  uint32_t resourceRva = r.B.U32(directories + 16);
  size_t sections = optional + optionalSize;
  for (int i = 0; i < sectionCount && r.B.Ok; i++) {
    size_t at = sections + i * 40;
    PeSection section;
    for (int k = 0; k < 8 && at + k < data.size() && data[at + k]; k++) section.Name += char(data[at + k]);
    section.VirtualSize = r.B.U32(at + 8);
    section.RawSize = r.B.U32(at + 16);
    r.Map.push_back({section, {r.B.U32(at + 12), r.B.U32(at + 20)}});
    image->Sections.push_back(section);
  }
  ReadImports(r, importRva, pe32plus, image);
  ReadResources(r, resourceRva, image);
  if (!r.B.Ok) {
    *reason = "damaged image";
    return false;
  }
  return true;
}

const PeResource *FindPeResource(const PeImage &image, uint16_t type, const std::string &name) {
  for (const PeResource &resource : image.Resources)
    if (resource.Type == type && resource.Name == name) return &resource;
  return nullptr;
}
