// Bounded text building for the fixed-size buffers of the setup.
#pragma once

#include <stdarg.h>
#include <stddef.h>

// Formats into buffer, which holds size bytes including the terminator.
// Answers 1 when the whole text fitted, else 0 with the buffer left
// terminated. Nothing is ever written past the buffer.
int FormatTextV(char *buffer, size_t size, const char *format, va_list args);
int FormatText(char *buffer, size_t size, const char *format, ...);

// Copies source into buffer of size bytes; answers 1 when it fitted whole,
// else 0 with nothing copied.
int CopyText(char *buffer, size_t size, const char *source);
