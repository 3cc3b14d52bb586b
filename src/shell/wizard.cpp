#include "shell/wizard.h"

#include "install/copy.h"
#include "install/folder.h"
#include "install/shortcut.h"
#include "payload/extract.h"
#include "resource.h"
#include "shell/config.h"
#include "shell/text.h"

enum { INTRO_SIZE = 128 };  // 127 characters and the terminator

// A system colour stands as its index plus one where a brush is expected.
static const INT_PTR BUTTON_FACE_BRUSH = COLOR_BTNFACE + 1;

struct OsName {
  DWORD Major;
  DWORD Minor;
  const char *Text;
};

static const OsName OsNames[] = {
    {5, 0, "Operating System: Windows-2K"},
    {5, 1, "Operating System: Windows-XP"},
    {6, 0, "Operating System: Windows-Vista"},
    {6, 1, "Operating System: Windows-7"},
    {6, 2, "Operating System: Windows-8"},
};

// Only major and minor count; any other system is named, not refused.
static const char *OperatingSystemText() {
  for (const OsName &os : OsNames)
    if (OsVersionInfo.dwMajorVersion == os.Major && OsVersionInfo.dwMinorVersion == os.Minor)
      return os.Text;
  return "Operating System: unsupported";
}

static void ShowItem(HWND dialog, int id, int command) {
  ShowWindow(GetDlgItem(dialog, id), command);
}

void CenterWindow(HWND window) {
  RECT rect;
  GetWindowRect(window, &rect);
  int width = rect.right - rect.left;
  int height = rect.bottom - rect.top;
  // Signed division truncates toward zero: a window wider than the screen
  // gets a negative position.
  int x = (GetSystemMetrics(SM_CXSCREEN) - width) / 2;
  int y = (GetSystemMetrics(SM_CYSCREEN) - height) / 2;
  MoveWindow(window, x, y, width, height, TRUE);
}

static void OpenWizard(HWND dialog) {
  CenterWindow(dialog);

  // The shipped configuration fits; a longer one would be shown cut.
  char intro[INTRO_SIZE];
  FormatText(intro, sizeof intro, "This program will install\nVersion %s of %s\n%s\n",
             SetupConfig.ProductVersion, SetupConfig.ProgramName, SetupConfig.Description);
  SetDlgItemTextA(dialog, IDC_INTRO, intro);

  ShowItem(dialog, IDC_FOLDER, SW_HIDE);
  ShowItem(dialog, IDC_PROMPT, SW_HIDE);
  ShowItem(dialog, IDC_EXTRACT_PROGRESS, SW_HIDE);
  ShowItem(dialog, IDC_COPY_PROGRESS, SW_HIDE);
  ShowItem(dialog, IDC_INSTALL, SW_HIDE);
  ShowItem(dialog, IDC_BROWSE, SW_HIDE);

  // Replaces the template style as a whole: the dialog paints the logo.
  // WS_CHILD stays: without it the control has no parent by its style, and
  // a static control asks its parent (GetParent) to draw it.
  SetWindowLongA(GetDlgItem(dialog, IDC_LOGO), GWL_STYLE, WS_CHILD | WS_VISIBLE | SS_OWNERDRAW);

  SetDlgItemTextA(dialog, IDC_ARCH,
                  ArchitectureBits == 64 ? "Architecture: 64-bit" : "Architecture: 32-bit");
  SetDlgItemTextA(dialog, IDC_OS, OperatingSystemText());

  PostMessageA(dialog, WM_SETUP_STEP, SETUP_STEP_EXTRACT, 0);
}

static void AskForFolder(HWND dialog) {
  SetDlgItemTextA(dialog, IDC_STATUS, "The files will be installed in the following folder:");
  ShowItem(dialog, IDC_FOLDER, SW_SHOW);
  SetDlgItemTextA(dialog, IDC_FOLDER, InstallFolder);
  ShowItem(dialog, IDC_PROMPT, SW_SHOW);
  SetDlgItemTextA(dialog, IDC_PROMPT, "Install in this folder or some other path of your choosing?");
  // Exit comes back only at the end; until then the close box is the way out.
  SetDlgItemTextA(dialog, IDC_EXIT, "Exit");
  ShowItem(dialog, IDC_EXIT, SW_HIDE);
  ShowItem(dialog, IDC_INSTALL, SW_SHOW);
  ShowItem(dialog, IDC_BROWSE, SW_SHOW);
  SetFocus(GetDlgItem(dialog, IDC_INSTALL));
}

static void RunStep(HWND dialog, WPARAM step) {
  if (step == SETUP_STEP_EXTRACT) {
    ExtractPayload(dialog);
    PostMessageA(dialog, WM_SETUP_STEP, SETUP_STEP_ASK_FOLDER, 0);
  } else if (step == SETUP_STEP_ASK_FOLDER) {
    AskForFolder(dialog);
  }
}

// The whole 160 x 120 picture, stretched into the whole control.
static void DrawLogo(const DRAWITEMSTRUCT *item) {
  const BITMAPINFOHEADER *header = (const BITMAPINFOHEADER *)LogoBitmap;
  StretchDIBits(item->hDC, 0, 0, item->rcItem.right, item->rcItem.bottom, 0, 0, header->biWidth,
                header->biHeight, LogoBitmap + sizeof(BITMAPINFOHEADER),
                (const BITMAPINFO *)LogoBitmap, DIB_RGB_COLORS, SRCCOPY);
}

// Clicks only: a double-click counts as a click; IDOK (Enter) and
// IDCANCEL (Escape) do nothing.
static INT_PTR OnCommand(HWND dialog, WPARAM wParam) {
  WORD notification = HIWORD(wParam);
  if (notification != BN_CLICKED && notification != BN_DOUBLECLICKED) return 0;
  switch (LOWORD(wParam)) {
    case IDC_INSTALL:
      OnInstall(dialog);
      break;
    case IDC_BROWSE:
      OnBrowse(dialog);
      break;
    case IDC_EXIT:
      return EndDialog(dialog, IDC_EXIT);
  }
  return 0;
}

INT_PTR CALLBACK SetupDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_INITDIALOG:
      OpenWizard(dialog);
      return 1;  // the dialog manager sets the default focus
    case WM_SETUP_STEP:
      RunStep(dialog, wParam);
      return 1;
    case WM_COMMAND:
      return OnCommand(dialog, wParam);
    case WM_CLOSE:
      return EndDialog(dialog, IDCANCEL);
    case WM_DRAWITEM:
      DrawLogo((const DRAWITEMSTRUCT *)lParam);
      return 1;
    case WM_CTLCOLORSTATIC:
    case WM_CTLCOLORBTN:
      SetTextColor((HDC)wParam, GetSysColor(COLOR_BTNTEXT));
      SetBkColor((HDC)wParam, GetSysColor(COLOR_BTNFACE));
      return BUTTON_FACE_BRUSH;
    case WM_CTLCOLORDLG:
      return BUTTON_FACE_BRUSH;
    case WM_DESTROY:
      return 1;
  }
  return 0;
}

void OnInstall(HWND dialog) {
  // A refused folder, or one that cannot be made, leaves the wizard waiting.
  if (!ValidateInstallFolder()) return;
  if (!PrepareInstallFolder()) return;

  ShowItem(dialog, IDC_INSTALL, SW_HIDE);
  ShowItem(dialog, IDC_BROWSE, SW_HIDE);
  CopyPayload(dialog);
  CreateShortcuts(dialog);

  SetDlgItemTextA(dialog, IDC_PROMPT, "The software has been successfully installed.");
  HWND exitButton = GetDlgItem(dialog, IDC_EXIT);
  ShowWindow(exitButton, SW_SHOW);
  SetFocus(exitButton);
}
