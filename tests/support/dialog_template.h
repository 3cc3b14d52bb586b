// Reads a standard (not extended) dialog template, as the resource compiler
// stores it, into plain values: used by the host stand-in to build dialogs
// and by the tests that check the built executable's resources.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

struct DialogItemTemplate {
  uint32_t Style = 0;
  uint32_t ExStyle = 0;
  int16_t X = 0, Y = 0, Width = 0, Height = 0;
  uint16_t Id = 0;
  uint16_t ClassAtom = 0;  // 0x80 button, 0x82 static...; 0 when named by text
  std::string ClassName;   // when named by text
  std::string Text;
  uint16_t CreationDataSize = 0;
};

struct DialogTemplate {
  uint32_t Style = 0;
  uint32_t ExStyle = 0;
  int16_t X = 0, Y = 0, Width = 0, Height = 0;
  std::string Menu;       // empty: no menu
  std::string ClassName;  // empty: the default dialog class
  std::string Caption;
  uint16_t PointSize = 0;
  std::string FontName;
  std::vector<DialogItemTemplate> Items;
};

// Parses bytes; answers false for anything that is not a complete standard
// template (an extended template included) and never reads past size.
bool ParseDialogTemplate(const uint8_t *data, size_t size, DialogTemplate *out);
