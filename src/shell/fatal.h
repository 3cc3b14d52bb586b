// Fatal errors: the one way every failure of start-up, extraction, file
// writing and shortcut creation ends the run.
#pragma once

// Every fatal call site has its own fixed code, shown in the box's caption.
enum FatalCode {
  FATAL_GET_VERSION = 72,               // GetVersionExA failed
  FATAL_GET_ARCHITECTURE = 79,          // GetBinaryTypeA failed on the probe file
  FATAL_UNSUPPORTED_ARCHITECTURE = 85,  // probe file is neither 64- nor 32-bit
  FATAL_GET_PROFILE = 160,              // USERPROFILE unreadable or too long
  FATAL_DESKTOP_LINK = 172,             // desktop shortcut not made
  FATAL_MENU_FOLDER = 182,              // Start-menu group folder not made
  FATAL_MENU_LINK = 191,                // Start-menu shortcut not made
  FATAL_DELETE_FILE = 205,              // existing file could not be deleted
  FATAL_CREATE_FILE = 211,
  FATAL_WRITE_FILE = 216,
  FATAL_WRITE_COUNT = 221,              // write reported another byte count
  FATAL_SET_FILE_TIME = 226,
  FATAL_CLOSE_FILE = 231,
  FATAL_FIND_RESOURCE = 315,
  FATAL_LOAD_RESOURCE = 318,
  FATAL_LOCK_RESOURCE = 320,
  FATAL_WRONG_VERSION = 338,            // payload is not a version-1 container
  FATAL_DAMAGED_PAYLOAD = 340,          // version-1 container that cannot be decoded whole
};

// Capacities of FatalError's buffers, terminators included.
enum {
  FATAL_MESSAGE_SIZE = 1024,
  FATAL_CAPTION_SIZE = 32,
};

// Shows the formatted message in a system-modal error box captioned with the
// code and ends the process with exit code 1. Never returns.
[[noreturn]] void FatalError(int code, const char *format, ...);
