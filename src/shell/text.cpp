#include "shell/text.h"

#include <stdio.h>
#include <string.h>

#include "shell/platform.h"

int FormatTextV(char *buffer, size_t size, const char *format, va_list args) {
  // msvcrt's _vsnprintf: -1 when the text does not fit, and no terminator
  // when it fills the buffer exactly; both count as not fitting here.
  int length = _vsnprintf(buffer, size, format, args);
  buffer[size - 1] = '\0';
  return length >= 0 && (size_t)length < size;
}

int FormatText(char *buffer, size_t size, const char *format, ...) {
  va_list args;
  va_start(args, format);
  int fitted = FormatTextV(buffer, size, format, args);
  va_end(args);
  return fitted;
}

int CopyText(char *buffer, size_t size, const char *source) {
  size_t length = strlen(source);
  if (length >= size) return 0;
  memcpy(buffer, source, length + 1);
  return 1;
}
