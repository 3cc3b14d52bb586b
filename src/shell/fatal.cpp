#include "shell/fatal.h"

#include "shell/platform.h"
#include "shell/text.h"

// FatalAppExitA ends the process, but the system headers do not say so.
[[noreturn]] static void AbortRun(const char *text) {
  FatalAppExitA(0, text);
  ExitProcess(1);
}

void FatalError(int code, const char *format, ...) {
  char message[FATAL_MESSAGE_SIZE];
  char caption[FATAL_CAPTION_SIZE];

  va_list args;
  va_start(args, format);
  int fitted = FormatTextV(message, sizeof message, format, args);
  va_end(args);
  if (!fitted) AbortRun("Abort(): buffer overflow");

  // Cannot happen with a 32-bit code; kept as a guard on the buffer.
  if (!FormatText(caption, sizeof caption, "Fatal Error Code %i", code))
    AbortRun("Abort(): header overflow");

  MessageBoxA(NULL, message, caption, MB_OK | MB_ICONHAND | MB_SYSTEMMODAL);
  ExitProcess(1);
}
