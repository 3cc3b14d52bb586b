#include "dialog_template.h"

namespace {

constexpr uint32_t DS_SETFONT_BIT = 0x40;

// Walks the template's 16-bit words without ever leaving its bytes.
struct Reader {
  const uint8_t *Data;
  size_t Size;
  size_t Pos = 0;
  bool Ok = true;

  uint16_t Word() {
    if (Pos + 2 > Size) {
      Ok = false;
      return 0;
    }
    uint16_t w = uint16_t(Data[Pos] | Data[Pos + 1] << 8);
    Pos += 2;
    return w;
  }
  uint32_t Dword() {
    uint32_t low = Word();
    return low | uint32_t(Word()) << 16;
  }
  // UTF-16 text up to its terminator, kept as 8-bit where it fits.
  std::string Text() {
    std::string text;
    for (uint16_t c = Word(); Ok && c != 0; c = Word()) text += c < 0x100 ? char(c) : '?';
    return text;
  }
  // A name or class field: 0xFFFF then an ordinal, or a text.
  std::string TextOrOrdinal(uint16_t *ordinal) {
    *ordinal = 0;
    if (Pos + 2 <= Size && Data[Pos] == 0xFF && Data[Pos + 1] == 0xFF) {
      Word();
      *ordinal = Word();
      return std::string();
    }
    return Text();
  }
  void AlignDword() { Pos = (Pos + 3) & ~size_t(3); }
};

}  // namespace

bool ParseDialogTemplate(const uint8_t *data, size_t size, DialogTemplate *out) {
  Reader r{data, size};
  DialogTemplate t;
  t.Style = r.Dword();
  t.ExStyle = r.Dword();
  if (t.Style == 0xFFFF0001) return false;  // extended template
  uint16_t count = r.Word();
  t.X = int16_t(r.Word());
  t.Y = int16_t(r.Word());
  t.Width = int16_t(r.Word());
  t.Height = int16_t(r.Word());
  uint16_t ordinal;
  t.Menu = r.TextOrOrdinal(&ordinal);
  if (ordinal) t.Menu = "#" + std::to_string(ordinal);
  t.ClassName = r.TextOrOrdinal(&ordinal);
  if (ordinal) t.ClassName = "#" + std::to_string(ordinal);
  t.Caption = r.Text();
  if (t.Style & DS_SETFONT_BIT) {
    t.PointSize = r.Word();
    t.FontName = r.Text();
  }
  for (uint16_t i = 0; i < count && r.Ok; i++) {
    r.AlignDword();
    DialogItemTemplate item;
    item.Style = r.Dword();
    item.ExStyle = r.Dword();
    item.X = int16_t(r.Word());
    item.Y = int16_t(r.Word());
    item.Width = int16_t(r.Word());
    item.Height = int16_t(r.Word());
    item.Id = r.Word();
    item.ClassName = r.TextOrOrdinal(&item.ClassAtom);
    uint16_t textOrdinal;
    item.Text = r.TextOrOrdinal(&textOrdinal);
    if (textOrdinal) item.Text = "#" + std::to_string(textOrdinal);
    item.CreationDataSize = r.Word();
    r.Pos += item.CreationDataSize;
    t.Items.push_back(item);
  }
  if (!r.Ok || r.Pos > size) return false;
  *out = t;
  return true;
}
