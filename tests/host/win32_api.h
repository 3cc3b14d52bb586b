// Host stand-in for the part of the Win32 API that the setup uses: our own
// declarations of its types, constants and calls, so the program's sources
// compile and run natively on Linux against a recording implementation
// (win32_api.cpp, steered by tests through host.h).
#pragma once

#include <stddef.h>
#include <stdint.h>
#include <stdarg.h>

#define WINAPI
#define CALLBACK
#define STDMETHODCALLTYPE
#define DECLSPEC_NORETURN [[noreturn]]

typedef int BOOL;
typedef unsigned char BYTE;
typedef uint16_t WORD;
typedef uint32_t DWORD;
typedef int32_t LONG;
typedef uint32_t ULONG;
typedef unsigned int UINT;
typedef int INT;
typedef char CHAR;
typedef char16_t WCHAR;
typedef uintptr_t WPARAM;
typedef intptr_t LPARAM;
typedef intptr_t LRESULT;
typedef intptr_t INT_PTR;
typedef uintptr_t UINT_PTR;
typedef intptr_t LONG_PTR;
typedef int32_t HRESULT;
typedef DWORD COLORREF;
typedef void *LPVOID;
typedef const void *LPCVOID;
typedef char *LPSTR;
typedef const char *LPCSTR;
typedef WCHAR *LPWSTR;
typedef const WCHAR *LPCWSTR;
typedef const WCHAR *LPCOLESTR;
typedef DWORD *LPDWORD;

// Handles are distinct pointer types, as on Windows, so they cannot be mixed up.
#define HOST_DECLARE_HANDLE(name) struct name##__; typedef struct name##__ *name
HOST_DECLARE_HANDLE(HWND);
HOST_DECLARE_HANDLE(HINSTANCE);
HOST_DECLARE_HANDLE(HRSRC);
HOST_DECLARE_HANDLE(HDC);
typedef HINSTANCE HMODULE;
typedef void *HANDLE;
typedef void *HGLOBAL;

#define TRUE 1
#define FALSE 0
#define MAX_PATH 260
#define INVALID_HANDLE_VALUE ((HANDLE)(intptr_t)-1)

#define MAKEINTRESOURCEA(i) ((LPSTR)(uintptr_t)(WORD)(i))
#define IS_INTRESOURCE(p) ((((uintptr_t)(p)) >> 16) == 0)
#define RT_ICON MAKEINTRESOURCEA(3)
#define RT_BITMAP MAKEINTRESOURCEA(2)
#define RT_DIALOG MAKEINTRESOURCEA(5)
#define RT_RCDATA MAKEINTRESOURCEA(10)
#define RT_GROUP_ICON MAKEINTRESOURCEA(14)

#define LOWORD(l) ((WORD)(((uintptr_t)(l)) & 0xffff))
#define HIWORD(l) ((WORD)((((uintptr_t)(l)) >> 16) & 0xffff))
#define MAKELPARAM(l, h) ((LPARAM)(DWORD)(((WORD)(l)) | (((DWORD)(WORD)(h)) << 16)))
#define SUCCEEDED(hr) (((HRESULT)(hr)) >= 0)
#define FAILED(hr) (((HRESULT)(hr)) < 0)

// Last-error values
#define ERROR_SUCCESS 0
#define ERROR_FILE_NOT_FOUND 2
#define ERROR_PATH_NOT_FOUND 3
#define ERROR_ACCESS_DENIED 5
#define ERROR_INVALID_HANDLE 6
#define ERROR_NOT_ENOUGH_MEMORY 8
#define ERROR_BAD_FORMAT 11
#define ERROR_INVALID_PARAMETER 87
#define ERROR_INSUFFICIENT_BUFFER 122
#define ERROR_INVALID_NAME 123
#define ERROR_ALREADY_EXISTS 183
#define ERROR_FILENAME_EXCED_RANGE 206
#define ERROR_ENVVAR_NOT_FOUND 203
#define ERROR_RESOURCE_DATA_NOT_FOUND 1812
#define ERROR_RESOURCE_TYPE_NOT_FOUND 1813
#define ERROR_RESOURCE_NAME_NOT_FOUND 1814

#define S_OK ((HRESULT)0)
#define S_FALSE ((HRESULT)1)
#define E_INVALIDARG ((HRESULT)0x80070057)
#define E_FAIL ((HRESULT)0x80004005)
#define E_NOINTERFACE ((HRESULT)0x80004002)
#define E_OUTOFMEMORY ((HRESULT)0x8007000E)
#define REGDB_E_CLASSNOTREG ((HRESULT)0x80040154)

// Files
#define GENERIC_READ 0x80000000u
#define GENERIC_WRITE 0x40000000u
#define CREATE_ALWAYS 2
#define OPEN_EXISTING 3
#define FILE_ATTRIBUTE_READONLY 0x1
#define FILE_ATTRIBUTE_DIRECTORY 0x10
#define FILE_ATTRIBUTE_NORMAL 0x80

typedef struct _FILETIME {
  DWORD dwLowDateTime;
  DWORD dwHighDateTime;
} FILETIME, *LPFILETIME;

typedef struct _SECURITY_ATTRIBUTES SECURITY_ATTRIBUTES, *LPSECURITY_ATTRIBUTES;
typedef struct _OVERLAPPED OVERLAPPED, *LPOVERLAPPED;

typedef struct _OSVERSIONINFOA {
  DWORD dwOSVersionInfoSize;
  DWORD dwMajorVersion;
  DWORD dwMinorVersion;
  DWORD dwBuildNumber;
  DWORD dwPlatformId;
  CHAR szCSDVersion[128];
} OSVERSIONINFOA, *LPOSVERSIONINFOA;

#define SCS_32BIT_BINARY 0
#define SCS_DOS_BINARY 1
#define SCS_WOW_BINARY 2
#define SCS_PIF_BINARY 3
#define SCS_POSIX_BINARY 4
#define SCS_OS216_BINARY 5
#define SCS_64BIT_BINARY 6

#define CP_ACP 0

// Windows, dialogs and controls
typedef LRESULT (*WNDPROC)(HWND, UINT, WPARAM, LPARAM);
typedef INT_PTR (*DLGPROC)(HWND, UINT, WPARAM, LPARAM);

typedef struct tagRECT {
  LONG left;
  LONG top;
  LONG right;
  LONG bottom;
} RECT, *LPRECT;

typedef struct tagDRAWITEMSTRUCT {
  UINT CtlType;
  UINT CtlID;
  UINT itemID;
  UINT itemAction;
  UINT itemState;
  HWND hwndItem;
  HDC hDC;
  RECT rcItem;
  uintptr_t itemData;
} DRAWITEMSTRUCT, *LPDRAWITEMSTRUCT;

#define WM_DESTROY 0x0002
#define WM_CLOSE 0x0010
#define WM_SETTEXT 0x000C
#define WM_DRAWITEM 0x002B
#define WM_INITDIALOG 0x0110
#define WM_COMMAND 0x0111
#define WM_CTLCOLORBTN 0x0135
#define WM_CTLCOLORDLG 0x0136
#define WM_CTLCOLORSTATIC 0x0138
#define WM_USER 0x0400
#define BM_CLICK 0x00F5

#define BN_CLICKED 0
#define BN_DOUBLECLICKED 5
#define IDOK 1
#define IDCANCEL 2

#define SW_HIDE 0
#define SW_SHOWNORMAL 1
#define SW_SHOW 5

#define GWL_STYLE (-16)
#define WS_VISIBLE 0x10000000L
#define WS_DISABLED 0x08000000L
#define WS_CHILD 0x40000000L
#define WS_TABSTOP 0x00010000L
#define SS_OWNERDRAW 0x0000000DL

#define SM_CXSCREEN 0
#define SM_CYSCREEN 1
#define COLOR_BTNFACE 15
#define COLOR_BTNTEXT 18

#define MB_OK 0x0
#define MB_ICONHAND 0x10
#define MB_SYSTEMMODAL 0x1000

#define PBM_SETRANGE (WM_USER + 1)
#define PBM_SETPOS (WM_USER + 2)

// Graphics
typedef struct tagBITMAPINFOHEADER {
  DWORD biSize;
  LONG biWidth;
  LONG biHeight;
  WORD biPlanes;
  WORD biBitCount;
  DWORD biCompression;
  DWORD biSizeImage;
  LONG biXPelsPerMeter;
  LONG biYPelsPerMeter;
  DWORD biClrUsed;
  DWORD biClrImportant;
} BITMAPINFOHEADER;

typedef struct tagRGBQUAD {
  BYTE rgbBlue, rgbGreen, rgbRed, rgbReserved;
} RGBQUAD;

typedef struct tagBITMAPINFO {
  BITMAPINFOHEADER bmiHeader;
  RGBQUAD bmiColors[1];
} BITMAPINFO;

#define BI_RGB 0
#define DIB_RGB_COLORS 0
#define SRCCOPY 0x00CC0020u

// COM and the Shell
typedef struct _GUID {
  DWORD Data1;
  WORD Data2;
  WORD Data3;
  BYTE Data4[8];
} GUID, IID, CLSID;
typedef const GUID &REFIID;
typedef const GUID &REFCLSID;

#define CLSCTX_INPROC_SERVER 0x1

struct IUnknown {
  virtual HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void **object) = 0;
  virtual ULONG STDMETHODCALLTYPE AddRef() = 0;
  virtual ULONG STDMETHODCALLTYPE Release() = 0;
};
typedef IUnknown *LPUNKNOWN;

// Only the methods the setup calls are real entries; the order follows the
// interface so a pointer would look the same to a caller.
struct IShellLinkA : IUnknown {
  virtual HRESULT STDMETHODCALLTYPE GetPath(LPSTR file, int size, void *data, DWORD flags) = 0;
  virtual HRESULT STDMETHODCALLTYPE GetIDList(void **pidl) = 0;
  virtual HRESULT STDMETHODCALLTYPE SetIDList(const void *pidl) = 0;
  virtual HRESULT STDMETHODCALLTYPE GetDescription(LPSTR name, int size) = 0;
  virtual HRESULT STDMETHODCALLTYPE SetDescription(LPCSTR name) = 0;
  virtual HRESULT STDMETHODCALLTYPE GetWorkingDirectory(LPSTR dir, int size) = 0;
  virtual HRESULT STDMETHODCALLTYPE SetWorkingDirectory(LPCSTR dir) = 0;
  virtual HRESULT STDMETHODCALLTYPE GetArguments(LPSTR args, int size) = 0;
  virtual HRESULT STDMETHODCALLTYPE SetArguments(LPCSTR args) = 0;
  virtual HRESULT STDMETHODCALLTYPE GetHotkey(WORD *hotkey) = 0;
  virtual HRESULT STDMETHODCALLTYPE SetHotkey(WORD hotkey) = 0;
  virtual HRESULT STDMETHODCALLTYPE GetShowCmd(int *show) = 0;
  virtual HRESULT STDMETHODCALLTYPE SetShowCmd(int show) = 0;
  virtual HRESULT STDMETHODCALLTYPE GetIconLocation(LPSTR path, int size, int *index) = 0;
  virtual HRESULT STDMETHODCALLTYPE SetIconLocation(LPCSTR path, int index) = 0;
  virtual HRESULT STDMETHODCALLTYPE SetRelativePath(LPCSTR path, DWORD reserved) = 0;
  virtual HRESULT STDMETHODCALLTYPE Resolve(HWND window, DWORD flags) = 0;
  virtual HRESULT STDMETHODCALLTYPE SetPath(LPCSTR file) = 0;
};

struct IPersistFile : IUnknown {
  virtual HRESULT STDMETHODCALLTYPE GetClassID(CLSID *clsid) = 0;
  virtual HRESULT STDMETHODCALLTYPE IsDirty() = 0;
  virtual HRESULT STDMETHODCALLTYPE Load(LPCOLESTR file, DWORD mode) = 0;
  virtual HRESULT STDMETHODCALLTYPE Save(LPCOLESTR file, BOOL remember) = 0;
  virtual HRESULT STDMETHODCALLTYPE SaveCompleted(LPCOLESTR file) = 0;
  virtual HRESULT STDMETHODCALLTYPE GetCurFile(LPWSTR *file) = 0;
};

extern const CLSID CLSID_ShellLink;
extern const IID IID_IShellLinkA;
extern const IID IID_IPersistFile;

typedef struct _ITEMIDLIST ITEMIDLIST;
typedef ITEMIDLIST *LPITEMIDLIST;
typedef const ITEMIDLIST *LPCITEMIDLIST;
typedef ITEMIDLIST *PIDLIST_ABSOLUTE;
typedef const ITEMIDLIST *PCIDLIST_ABSOLUTE;
typedef int (*BFFCALLBACK)(HWND, UINT, LPARAM, LPARAM);

typedef struct _browseinfoA {
  HWND hwndOwner;
  PCIDLIST_ABSOLUTE pidlRoot;
  LPSTR pszDisplayName;
  LPCSTR lpszTitle;
  UINT ulFlags;
  BFFCALLBACK lpfn;
  LPARAM lParam;
  int iImage;
} BROWSEINFOA, *LPBROWSEINFOA;

#define BIF_RETURNONLYFSDIRS 0x0001
#define BIF_EDITBOX 0x0010
#define BIF_NEWDIALOGSTYLE 0x0040

// kernel32
DWORD GetLastError();
void SetLastError(DWORD error);
HRSRC FindResourceA(HMODULE module, LPCSTR name, LPCSTR type);
DWORD SizeofResource(HMODULE module, HRSRC resource);
HGLOBAL LoadResource(HMODULE module, HRSRC resource);
LPVOID LockResource(HGLOBAL data);
BOOL DeleteFileA(LPCSTR name);
HANDLE CreateFileA(LPCSTR name, DWORD access, DWORD share, LPSECURITY_ATTRIBUTES security,
                   DWORD disposition, DWORD flags, HANDLE templateFile);
BOOL WriteFile(HANDLE file, LPCVOID data, DWORD size, LPDWORD written, LPOVERLAPPED overlapped);
BOOL SetFileTime(HANDLE file, const FILETIME *creation, const FILETIME *access, const FILETIME *write);
BOOL CloseHandle(HANDLE object);
BOOL CreateDirectoryA(LPCSTR path, LPSECURITY_ATTRIBUTES security);
BOOL SetCurrentDirectoryA(LPCSTR path);
BOOL GetVersionExA(LPOSVERSIONINFOA info);
BOOL GetBinaryTypeA(LPCSTR path, LPDWORD type);
DWORD GetEnvironmentVariableA(LPCSTR name, LPSTR buffer, DWORD size);
int MultiByteToWideChar(UINT codePage, DWORD flags, LPCSTR text, int length, LPWSTR wide, int wideSize);
[[noreturn]] void FatalAppExitA(UINT action, LPCSTR message);
[[noreturn]] void ExitProcess(UINT exitCode);

// The C run-time's bounded formatting, with the system library's contract:
// -1 when the text does not fit, no terminator when it fills the buffer exactly.
int _vsnprintf(char *buffer, size_t count, const char *format, va_list args);

// user32
INT_PTR DialogBoxParamA(HINSTANCE instance, LPCSTR templateName, HWND owner, DLGPROC proc, LPARAM param);
BOOL EndDialog(HWND dialog, INT_PTR result);
BOOL SetDlgItemTextA(HWND dialog, int id, LPCSTR text);
HWND GetDlgItem(HWND dialog, int id);
BOOL ShowWindow(HWND window, int command);
BOOL EnableWindow(HWND window, BOOL enable);
HWND SetFocus(HWND window);
LONG SetWindowLongA(HWND window, int index, LONG value);
BOOL PostMessageA(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
LRESULT SendDlgItemMessageA(HWND dialog, int id, UINT message, WPARAM wParam, LPARAM lParam);
int MessageBoxA(HWND owner, LPCSTR text, LPCSTR caption, UINT type);
BOOL GetWindowRect(HWND window, LPRECT rect);
int GetSystemMetrics(int index);
BOOL MoveWindow(HWND window, int x, int y, int width, int height, BOOL repaint);
DWORD GetSysColor(int index);

// gdi32
COLORREF SetTextColor(HDC dc, COLORREF color);
COLORREF SetBkColor(HDC dc, COLORREF color);
int StretchDIBits(HDC dc, int xDest, int yDest, int destWidth, int destHeight, int xSrc, int ySrc,
                  int srcWidth, int srcHeight, const void *bits, const BITMAPINFO *info, UINT usage,
                  DWORD rop);

// comctl32
void InitCommonControls();

// shell32 and ole32
PIDLIST_ABSOLUTE SHBrowseForFolderA(LPBROWSEINFOA info);
BOOL SHGetPathFromIDListA(PCIDLIST_ABSOLUTE pidl, LPSTR path);
void CoTaskMemFree(LPVOID memory);
HRESULT CoInitialize(LPVOID reserved);
void CoUninitialize();
HRESULT CoCreateInstance(REFCLSID clsid, LPUNKNOWN outer, DWORD context, REFIID iid, LPVOID *object);

// The program's entry point, called by the stand-in like the run-time's start-up code.
int WINAPI WinMain(HINSTANCE instance, HINSTANCE previous, LPSTR commandLine, int show);
