// The one place that decides where the Win32 API comes from: the real
// headers on Windows builds, our recording stand-in on the host build.
#pragma once

#ifdef _WIN32
#include <windows.h>
#include <commctrl.h>
#include <shlobj.h>
#else
#include "win32_api.h"
#endif
