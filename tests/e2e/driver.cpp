// End-to-end driver: a Windows console program that runs beside the real
// setup under Wine, starts it, watches and works its wizard from outside as
// a user would (button presses, the close box, the folder picker), and
// checks what it shows and what it leaves on disk. One scenario per run;
// prints one line per check and exits with the number of failed checks.
//
//   e2e_driver SCENARIO SETUP_EXE OUT_DIR MANIFEST
//
// Scenarios: smoke, run, walk, folder-refused, read-only, no-start-menu,
// no-probe. Screenshots go to OUT_DIR as SCENARIO-NN-stage.bmp.

#include <windows.h>
#include <commctrl.h>
#include <shlobj.h>

#include <cstdio>
#include <cstring>
#include <fstream>
#include <string>
#include <vector>

#include "manifest.h"
#include "resource.h"

namespace {

const char *const WizardTitle = "Gridmark Installation Wizard";

std::string Scenario, SetupPath, OutDir, ManifestPath;
int Failures;
int ShotNumber;
PROCESS_INFORMATION Setup;

// ---- Reporting -------------------------------------------------------------

void Check(bool ok, const std::string &what, const std::string &detail = "") {
  bool showDetail = !ok && !detail.empty();
  std::printf("%s %s: %s%s%s\n", ok ? "ok  " : "FAIL", Scenario.c_str(), what.c_str(),
              showDetail ? "\n     " : "", showDetail ? detail.c_str() : "");
  std::fflush(stdout);
  if (!ok) Failures++;
}

template <class T>
void CheckEqual(const T &actual, const T &expected, const std::string &what) {
  std::ostringstream detail;
  if (!(actual == expected)) detail << "expected [" << expected << "]\n     actual   [" << actual << "]";
  Check(actual == expected, what, detail.str());
}

double Now() {
  LARGE_INTEGER count, frequency;
  QueryPerformanceCounter(&count);
  QueryPerformanceFrequency(&frequency);
  return double(count.QuadPart) / double(frequency.QuadPart);
}

// ---- Screenshots -------------------------------------------------------------

// The whole screen (Wine's virtual desktop) as a 24-bit BMP.
void Screenshot(const std::string &stage) {
  char name[64];
  std::snprintf(name, sizeof name, "%s-%02d-%s.bmp", Scenario.c_str(), ++ShotNumber, stage.c_str());
  int width = GetSystemMetrics(SM_CXSCREEN), height = GetSystemMetrics(SM_CYSCREEN);
  HDC screen = GetDC(nullptr);
  HDC memory = CreateCompatibleDC(screen);
  BITMAPINFO info{};
  info.bmiHeader.biSize = sizeof info.bmiHeader;
  info.bmiHeader.biWidth = width;
  info.bmiHeader.biHeight = height;
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = 24;
  void *bits = nullptr;
  HBITMAP bitmap = CreateDIBSection(screen, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
  HGDIOBJ old = SelectObject(memory, bitmap);
  BitBlt(memory, 0, 0, width, height, screen, 0, 0, SRCCOPY);
  GdiFlush();
  DWORD rowBytes = (DWORD(width) * 3 + 3) & ~3u;
  BITMAPFILEHEADER file{};
  file.bfType = 0x4D42;
  file.bfOffBits = sizeof file + sizeof info.bmiHeader;
  file.bfSize = file.bfOffBits + rowBytes * height;
  std::ofstream out(OutDir + "\\" + name, std::ios::binary);
  out.write(reinterpret_cast<const char *>(&file), sizeof file);
  out.write(reinterpret_cast<const char *>(&info.bmiHeader), sizeof info.bmiHeader);
  out.write(static_cast<const char *>(bits), std::streamsize(rowBytes) * height);
  SelectObject(memory, old);
  DeleteObject(bitmap);
  DeleteDC(memory);
  ReleaseDC(nullptr, screen);
}

// ---- The setup process and its windows ---------------------------------------

bool StartSetup(bool suspended = false) {
  STARTUPINFOA startup{};
  startup.cb = sizeof startup;
  std::string commandLine = "\"" + SetupPath + "\"";
  BOOL started = CreateProcessA(SetupPath.c_str(), &commandLine[0], nullptr, nullptr, FALSE,
                                suspended ? CREATE_SUSPENDED : 0, nullptr, nullptr, &startup, &Setup);
  Check(started != 0, "setup.exe starts");
  return started != 0;
}

// A visible top-level window of the setup with this caption.
HWND FindSetupWindow(const char *caption) {
  HWND window = nullptr;
  while ((window = FindWindowExA(nullptr, window, nullptr, caption)) != nullptr) {
    DWORD process = 0;
    GetWindowThreadProcessId(window, &process);
    if (process == Setup.dwProcessId && IsWindowVisible(window)) return window;
  }
  return nullptr;
}

HWND WaitForWindow(const char *caption, double seconds) {
  for (double end = Now() + seconds; Now() < end; Sleep(10))
    if (HWND window = FindSetupWindow(caption)) return window;
  return nullptr;
}

// Exit code of the setup, or -1 when it is still running after the wait.
long WaitForExit(DWORD milliseconds) {
  if (WaitForSingleObject(Setup.hProcess, milliseconds) != WAIT_OBJECT_0) return -1;
  DWORD code = 0;
  GetExitCodeProcess(Setup.hProcess, &code);
  return long(code);
}

void EndSetup() {
  if (WaitForSingleObject(Setup.hProcess, 0) != WAIT_OBJECT_0) TerminateProcess(Setup.hProcess, 99);
  CloseHandle(Setup.hThread);
  CloseHandle(Setup.hProcess);
}

// Text as the window manager holds it: no message is sent, so it can be
// read while the setup is busy or suspended.
std::string WindowText(HWND window) {
  WCHAR wide[1024];
  char text[2048];
  int length = InternalGetWindowText(window, wide, 1024);
  int bytes = WideCharToMultiByte(CP_ACP, 0, wide, length, text, sizeof text - 1, nullptr, nullptr);
  return std::string(text, bytes > 0 ? bytes : 0);
}

HWND FocusOf(HWND window) {
  GUITHREADINFO info{};
  info.cbSize = sizeof info;
  DWORD thread = GetWindowThreadProcessId(window, nullptr);
  return GetGUIThreadInfo(thread, &info) ? info.hwndFocus : nullptr;
}

// ---- Stages of the wizard ----------------------------------------------------

struct Shown {
  int Id;
  const char *Name;
  bool HasText;
};
const Shown StageControls[] = {
    {IDC_STATUS, "IDC_STATUS", true},     {IDC_FOLDER, "IDC_FOLDER", true},
    {IDC_PROMPT, "IDC_PROMPT", true},     {IDC_EXTRACT_PROGRESS, "IDC_EXTRACT_PROGRESS", false},
    {IDC_COPY_PROGRESS, "IDC_COPY_PROGRESS", false}, {IDC_INSTALL, "IDC_INSTALL", true},
    {IDC_BROWSE, "IDC_BROWSE", true},     {IDC_EXIT, "IDC_EXIT", true},
};

// One line per control, from the controls' own style bits (what the setup
// set), the focus and the texts.
std::string Stage(HWND dialog) {
  std::string stage;
  HWND focus = FocusOf(dialog);
  for (const Shown &c : StageControls) {
    HWND control = GetDlgItem(dialog, c.Id);
    LONG style = GetWindowLongA(control, GWL_STYLE);
    stage += std::string(c.Name) + ((style & WS_VISIBLE) ? " shown" : " hidden");
    if (style & WS_DISABLED) stage += " disabled";
    if (focus == control && control != nullptr) stage += " focused";
    if (c.HasText) stage += " \"" + WindowText(control) + "\"";
    stage += "\n";
  }
  return stage;
}

std::string StageText(const char *status, const char *folder, bool folderShown, const char *prompt,
                      bool promptShown, bool extractShown, bool copyShown, const char *install,
                      const char *browse, const char *exit) {
  return std::string("IDC_STATUS shown \"") + status + "\"\n" + "IDC_FOLDER " +
         (folderShown ? "shown" : "hidden") + " \"" + folder + "\"\n" + "IDC_PROMPT " +
         (promptShown ? "shown" : "hidden") + " \"" + prompt + "\"\n" + "IDC_EXTRACT_PROGRESS " +
         (extractShown ? "shown" : "hidden") + "\n" + "IDC_COPY_PROGRESS " +
         (copyShown ? "shown" : "hidden") + "\n" + "IDC_INSTALL " + install +
         " \"install in this folder\"\n" + "IDC_BROWSE " + browse + " \"select another folder\"\n" +
         "IDC_EXIT " + exit + "\n";
}

const char *const TemplatePrompt = "install in this folder or select some other folder";
const char *const QuestionStatus = "The files will be installed in the following folder:";
const char *const QuestionPrompt = "Install in this folder or some other path of your choosing?";
const char *const DoneStatus = "Files have been copied to the following folder:";
const char *const DonePrompt = "The software has been successfully installed.";
const char *const DefaultFolder = "C:\\Veltrane\\Gridmark";

std::string Opened() {
  return StageText("extracting files", DefaultFolder, false, TemplatePrompt, false, false, false,
                   "hidden", "hidden", "shown focused \"Quit\"");
}
std::string Extracting() {
  return StageText("extracting files", DefaultFolder, false, TemplatePrompt, false, true, false,
                   "hidden", "hidden", "shown focused \"Quit\"");
}
std::string Question(const std::string &folder) {
  return StageText(QuestionStatus, folder.c_str(), true, QuestionPrompt, true, false, false,
                   "shown focused", "shown", "hidden \"Exit\"");
}
std::string Browsing(const std::string &folder) {
  return StageText(QuestionStatus, folder.c_str(), true, QuestionPrompt, true, false, false,
                   "shown disabled", "shown", "hidden \"Exit\"");
}
std::string Installing(const std::string &folder) {
  return StageText("Copying files...", folder.c_str(), true, QuestionPrompt, true, false, true,
                   "hidden", "hidden", "hidden \"Exit\"");
}
std::string Finished(const std::string &folder) {
  return StageText(DoneStatus, folder.c_str(), true, DonePrompt, true, false, false, "hidden",
                   "hidden", "shown focused \"Exit\"");
}

// When the stage that WaitForStage last waited for first showed.
double StageSince;

// Waits until the wizard shows stage and keeps showing it (a state is
// settled once the handler that makes it has returned).
bool WaitForStage(HWND dialog, const std::string &stage, double seconds) {
  double &settledSince = StageSince;
  settledSince = 0;
  for (double end = Now() + seconds; Now() < end; Sleep(5)) {
    if (Stage(dialog) != stage) {
      settledSince = 0;
      continue;
    }
    if (settledSince == 0) settledSince = Now();
    if (Now() - settledSince > 0.2) return true;
  }
  return false;
}

void CheckStage(HWND dialog, const std::string &stage, double seconds, const std::string &what) {
  bool reached = WaitForStage(dialog, stage, seconds);
  Check(reached, what, "expected\n" + stage + "     actual\n" + Stage(dialog));
}

// Runs the setup's thread in the smallest slices the system allows and
// looks at the wizard between them, so stages that last only while a
// handler runs can be seen. Stops once until() holds; answers every
// distinct stage seen, in order. The first time a named stage shows, the
// screen is saved (while the setup is held, so nothing repaints).
struct NamedStage {
  std::string Stage, Name;
};

template <class Until>
std::vector<std::string> Step(HWND *dialog, Until until, std::vector<NamedStage> shots) {
  std::vector<std::string> seen;
  for (double end = Now() + 60; Now() < end;) {
    ResumeThread(Setup.hThread);
    SuspendThread(Setup.hThread);
    CONTEXT context{};
    context.ContextFlags = CONTEXT_CONTROL;
    GetThreadContext(Setup.hThread, &context);  // waits until it has stopped
    if (*dialog == nullptr) *dialog = FindSetupWindow(WizardTitle);
    if (*dialog == nullptr) continue;
    std::string stage = Stage(*dialog);
    if (seen.empty() || seen.back() != stage) seen.push_back(stage);
    for (NamedStage &shot : shots)
      if (shot.Stage == stage) {
        Screenshot(shot.Name);
        shot.Stage.clear();
      }
    if (until(stage)) break;
  }
  ResumeThread(Setup.hThread);
  return seen;
}

bool Contains(const std::vector<std::string> &stages, const std::string &stage) {
  for (const std::string &s : stages)
    if (s == stage) return true;
  return false;
}

void Press(HWND dialog, int id) { PostMessageA(GetDlgItem(dialog, id), BM_CLICK, 0, 0); }

// What the close box does.
void CloseBox(HWND window) { PostMessageA(window, WM_SYSCOMMAND, SC_CLOSE, 0); }

// ---- The folder picker ---------------------------------------------------------

// Reads tree items in the setup's own memory: the tree view takes pointers.
struct RemoteTree {
  HWND Tree;
  char *Remote;  // TVITEMA followed by a text buffer, in the setup's process

  std::string Text(HTREEITEM item) {
    TVITEMA tv{};
    tv.mask = TVIF_TEXT | TVIF_HANDLE;
    tv.hItem = item;
    tv.pszText = Remote + sizeof tv;
    tv.cchTextMax = 256;
    WriteProcessMemory(Setup.hProcess, Remote, &tv, sizeof tv, nullptr);
    SendMessageA(Tree, TVM_GETITEMA, 0, LPARAM(Remote));
    char text[257] = {};
    ReadProcessMemory(Setup.hProcess, Remote + sizeof tv, text, 256, nullptr);
    return text;
  }

  // The child of parent whose name contains part, expanding parent first.
  HTREEITEM Child(HTREEITEM parent, const std::string &part) {
    SendMessageA(Tree, TVM_EXPAND, TVE_EXPAND, LPARAM(parent));
    for (HTREEITEM item = HTREEITEM(SendMessageA(Tree, TVM_GETNEXTITEM, TVGN_CHILD, LPARAM(parent)));
         item != nullptr; item = HTREEITEM(SendMessageA(Tree, TVM_GETNEXTITEM, TVGN_NEXT, LPARAM(item))))
      if (Text(item).find(part) != std::string::npos) return item;
    return nullptr;
  }
};

// Selects Desktop > My Computer > (C:) > folder in the picker and presses OK.
// The picker returns the selected item: Wine ignores a path typed into its
// edit box.
bool ChooseInPicker(HWND picker, const std::string &folder) {
  RemoteTree tree{FindWindowExA(picker, nullptr, "SysTreeView32", nullptr), nullptr};
  tree.Remote = static_cast<char *>(
      VirtualAllocEx(Setup.hProcess, nullptr, 4096, MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE));
  HTREEITEM desktop = HTREEITEM(SendMessageA(tree.Tree, TVM_GETNEXTITEM, TVGN_ROOT, 0));
  HTREEITEM computer = tree.Child(desktop, "Computer");
  HTREEITEM drive = computer ? tree.Child(computer, "C:") : nullptr;
  HTREEITEM chosen = drive ? tree.Child(drive, folder) : nullptr;
  if (chosen != nullptr) SendMessageA(tree.Tree, TVM_SELECTITEM, TVGN_CARET, LPARAM(chosen));
  VirtualFreeEx(Setup.hProcess, tree.Remote, 0, MEM_RELEASE);
  if (chosen == nullptr) return false;
  PostMessageA(GetDlgItem(picker, IDOK), BM_CLICK, 0, 0);
  return true;
}

// ---- What the installation leaves --------------------------------------------

std::vector<Carried> Manifest() {
  std::vector<Carried> rows = ReadManifest(ManifestPath);
  // The build machine's files, through Wine's drive for the Unix root.
  for (Carried &row : rows) {
    for (char &c : row.Input)
      if (c == '/') c = '\\';
    row.Input = "Z:" + row.Input;
  }
  return rows;
}

// FILETIME ticks of a "YYYY-MM-DDTHH:MM:SS[.fffffff]Z" time.
ULONGLONG TicksOf(const std::string &text) {
  SYSTEMTIME time{};
  char fraction[16] = "";
  std::sscanf(text.c_str(), "%hu-%hu-%huT%hu:%hu:%hu%15[.0-9]", &time.wYear, &time.wMonth, &time.wDay,
              &time.wHour, &time.wMinute, &time.wSecond, fraction);
  FILETIME whole;
  SystemTimeToFileTime(&time, &whole);
  ULONGLONG ticks = ULONGLONG(whole.dwHighDateTime) << 32 | whole.dwLowDateTime;
  ULONGLONG scale = 1000000;
  for (const char *digit = fraction[0] == '.' ? fraction + 1 : fraction; *digit && scale; digit++, scale /= 10)
    ticks += ULONGLONG(*digit - '0') * scale;
  return ticks;
}

ULONGLONG Ticks(const FILETIME &time) { return ULONGLONG(time.dwHighDateTime) << 32 | time.dwLowDateTime; }

std::string ReadWhole(const std::string &path) {
  std::ifstream in(path, std::ios::binary);
  return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

// Installed files: times first (reading moves the last-access time), then
// the bytes against the product files.
void CheckInstalledFiles(const std::string &folder, const std::string &linkTarget) {
  std::vector<Carried> rows = Manifest();
  Check(rows.size() == 9, "the payload manifest lists nine files");
  for (const Carried &row : rows) {
    std::string path = folder + "\\" + row.Name;
    WIN32_FILE_ATTRIBUTE_DATA data{};
    if (!GetFileAttributesExA(path.c_str(), GetFileExInfoStandard, &data)) {
      Check(false, path + " exists");
      continue;
    }
    ULONGLONG recorded = TicksOf(row.Time);
    CheckEqual(Ticks(data.ftCreationTime), recorded, row.Name + " creation time");
    CheckEqual(Ticks(data.ftLastWriteTime), recorded, row.Name + " last-write time");
    // Making a shell link reads its target, which moves that file's
    // last-access time past the recorded one.
    if (row.Name == linkTarget)
      Check(Ticks(data.ftLastAccessTime) >= recorded, row.Name + " last-access time not before the recorded one");
    else
      CheckEqual(Ticks(data.ftLastAccessTime), recorded, row.Name + " last-access time");
    Check((data.dwFileAttributes & FILE_ATTRIBUTE_READONLY) == 0, row.Name + " is not read-only");
    std::string installed = ReadWhole(path), product = ReadWhole(row.Input);
    Check(!product.empty() && installed == product, row.Name + " equals " + row.Input + " byte for byte");
  }
}

struct LinkFacts {
  bool Loaded = false;
  std::string Path, Arguments, Description, WorkingDirectory, IconPath;
  int ShowCommand = 0, IconIndex = 0;
};

// Reads a link file back through the Shell's link object.
LinkFacts ReadLink(const std::string &path) {
  LinkFacts facts;
  IShellLinkA *link = nullptr;
  if (FAILED(CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkA,
                              reinterpret_cast<void **>(&link))))
    return facts;
  IPersistFile *file = nullptr;
  if (SUCCEEDED(link->QueryInterface(IID_IPersistFile, reinterpret_cast<void **>(&file)))) {
    WCHAR wide[MAX_PATH];
    MultiByteToWideChar(CP_ACP, 0, path.c_str(), -1, wide, MAX_PATH);
    if (SUCCEEDED(file->Load(wide, STGM_READ))) {
      char text[1024];
      facts.Loaded = true;
      if (SUCCEEDED(link->GetPath(text, MAX_PATH, nullptr, SLGP_RAWPATH))) facts.Path = text;
      if (SUCCEEDED(link->GetArguments(text, sizeof text))) facts.Arguments = text;
      if (SUCCEEDED(link->GetDescription(text, sizeof text))) facts.Description = text;
      if (SUCCEEDED(link->GetWorkingDirectory(text, sizeof text))) facts.WorkingDirectory = text;
      if (SUCCEEDED(link->GetIconLocation(text, sizeof text, &facts.IconIndex))) facts.IconPath = text;
      link->GetShowCmd(&facts.ShowCommand);
    }
    file->Release();
  }
  link->Release();
  return facts;
}

std::string Profile() {
  char profile[MAX_PATH] = "";
  GetEnvironmentVariableA("USERPROFILE", profile, sizeof profile);
  return profile;
}

std::string DesktopLink() { return Profile() + "\\Desktop\\Gridmark.lnk"; }
std::string MenuLink() { return Profile() + "\\Start Menu\\Programs\\Veltrane\\Gridmark.lnk"; }

void CheckLink(const std::string &path, const std::string &folder) {
  LinkFacts link = ReadLink(path);
  Check(link.Loaded, path + " loads as a shell link");
  CheckEqual(link.Path, folder + "\\Gridmark.EXE", "link target");
  CheckEqual(link.WorkingDirectory, folder, "link working directory");
  CheckEqual(link.Description, std::string("Outline Designer\nby Ilse Varnholt\nBremen"), "link description");
  CheckEqual(link.ShowCommand, 1, "link show command");
  CheckEqual(link.Arguments, std::string(), "link arguments");
  CheckEqual(link.IconPath, std::string(), "link icon location");
}

bool Exists(const std::string &path) { return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

// ---- Fatal error boxes ----------------------------------------------------------

// The setup's error box: caption, text, stop icon on top of everything; then
// OK, and the process ends with 1.
void CheckFatalBox(int code, const std::string &text) {
  std::string caption = "Fatal Error Code " + std::to_string(code);
  HWND box = WaitForWindow(caption.c_str(), 30);
  Check(box != nullptr, "the box captioned \"" + caption + "\" appears");
  if (box == nullptr) return;
  Sleep(300);
  CheckEqual(WindowText(GetDlgItem(box, 0xFFFF)), text, "the box's text");
  Check((GetWindowLongA(box, GWL_EXSTYLE) & WS_EX_TOPMOST) != 0, "the box is system-modal (topmost)");
  Check(GetDlgItem(box, IDOK) != nullptr && GetDlgItem(box, IDCANCEL) == nullptr, "the box has one OK button");
  Screenshot("fatal-" + std::to_string(code));
  PostMessageA(GetDlgItem(box, IDOK), BM_CLICK, 0, 0);
  CheckEqual(WaitForExit(15000), 1L, "exit code after the box is dismissed");
}

// ---- Scenarios --------------------------------------------------------------------

HWND OpenToQuestion(const std::string &stage) {
  HWND dialog = WaitForWindow(WizardTitle, 30);
  Check(dialog != nullptr, "the wizard window appears");
  if (dialog == nullptr) return nullptr;
  CheckStage(dialog, Question(DefaultFolder), 30, "the wizard reaches the folder question");
  Screenshot(stage);
  return dialog;
}

// Opens, reads the wizard's texts, closes it with the close box: exit 0.
void Smoke() {
  if (!StartSetup()) return;
  HWND dialog = OpenToQuestion("question");
  if (dialog == nullptr) return;
  CheckEqual(WindowText(dialog), std::string(WizardTitle), "caption");
  CheckEqual(WindowText(GetDlgItem(dialog, IDC_INTRO)),
             std::string("This program will install\nVersion 1.37 of Gridmark\nOutline Designer\nby Ilse Varnholt\nBremen\n"),
             "introduction");
  CheckEqual(WindowText(GetDlgItem(dialog, IDC_NOTE)),
             std::string("You may need to disable your antivirus before proceeding."), "note");
  CheckEqual(WindowText(GetDlgItem(dialog, IDC_OS)), std::string("Operating System: Windows-7"), "system");
  CheckEqual(WindowText(GetDlgItem(dialog, IDC_ARCH)), std::string("Architecture: 64-bit"), "architecture");
  CloseBox(dialog);
  CheckEqual(WaitForExit(15000), 0L, "exit code after the close box");
  Check(!Exists(DefaultFolder), "nothing was installed");
}

// The plain run a user makes: install in the proposed folder, Exit. Timed.
void Run() {
  double start = Now();
  if (!StartSetup()) return;
  HWND dialog = OpenToQuestion("question");
  if (dialog == nullptr) return;
  double question = StageSince;
  double install = Now();
  Press(dialog, IDC_INSTALL);
  CheckStage(dialog, Finished(DefaultFolder), 60, "installation finishes");
  double finished = StageSince;
  Screenshot("finished");
  // Stages are polled every 5 ms: the figures are that exact.
  std::printf("time %s: start to question %.0f ms, install to finished %.0f ms\n", Scenario.c_str(),
              (question - start) * 1000, (finished - install) * 1000);
  Press(dialog, IDC_EXIT);
  CheckEqual(WaitForExit(15000), 0L, "exit code after Exit");
  CheckInstalledFiles(DefaultFolder, "Gridmark.EXE");
  CheckLink(DesktopLink(), DefaultFolder);
  CheckLink(MenuLink(), DefaultFolder);
}

// Every stage of the state table, including the browse paths.
void Walk(const std::string &otherFolder) {
  if (!StartSetup(true)) return;
  HWND dialog = nullptr;
  std::vector<std::string> opening =
      Step(&dialog, [](const std::string &stage) { return stage == Question(DefaultFolder); },
           {{Opened(), "opened"}, {Extracting(), "extracting"}});
  Check(Contains(opening, Opened()), "Opened is seen while step 1 waits", opening.empty() ? "" : opening.front());
  Check(Contains(opening, Extracting()), "Extracting is seen while the payload is decoded");
  bool barOnlyInExtracting = true;
  for (const std::string &stage : opening)
    if (stage.find("IDC_EXTRACT_PROGRESS shown") != std::string::npos && stage != Extracting())
      barOnlyInExtracting = false;
  Check(barOnlyInExtracting, "while the bar shows, the wizard is exactly in Extracting");
  CheckStage(dialog, Question(DefaultFolder), 30, "Question settles");
  Screenshot("question");

  // Browsing, cancelled: the default comes back, install enabled and focused.
  Press(dialog, IDC_BROWSE);
  HWND picker = WaitForWindow("Browse for Folder", 30);
  Check(picker != nullptr, "the folder picker opens over the wizard");
  if (picker == nullptr) return;
  Sleep(300);
  CheckEqual(Stage(dialog), Browsing(DefaultFolder), "Browsing: install disabled while the picker is open");
  CheckEqual(GetWindow(picker, GW_OWNER), dialog, "the picker is owned by the wizard");
  Screenshot("browsing");
  PostMessageA(GetDlgItem(picker, IDCANCEL), BM_CLICK, 0, 0);
  CheckStage(dialog, Question(DefaultFolder), 30, "after a cancel: the default folder, install enabled and focused");
  Screenshot("question-after-cancel");

  // Browsing, choosing another folder.
  Press(dialog, IDC_BROWSE);
  picker = WaitForWindow("Browse for Folder", 30);
  Check(picker != nullptr && ChooseInPicker(picker, otherFolder.substr(3)), "choose " + otherFolder + " in the picker");
  CheckStage(dialog, Question(otherFolder), 30, "Question with the chosen folder");
  Screenshot("question-other-folder");

  // Installing, watched between slices of the setup's work.
  SuspendThread(Setup.hThread);
  Press(dialog, IDC_INSTALL);
  std::vector<std::string> install =
      Step(&dialog, [&](const std::string &stage) { return stage == Finished(otherFolder); },
           {{Installing(otherFolder), "installing"}});
  Check(Contains(install, Installing(otherFolder)), "Installing is seen while the files are written");
  bool barOnlyInInstalling = true;
  for (const std::string &stage : install)
    if (stage.find("IDC_COPY_PROGRESS shown") != std::string::npos && stage != Installing(otherFolder))
      barOnlyInInstalling = false;
  Check(barOnlyInInstalling, "while the copy bar shows, the wizard is exactly in Installing");
  CheckStage(dialog, Finished(otherFolder), 30, "Finished settles");
  Screenshot("finished");
  Press(dialog, IDC_EXIT);
  CheckEqual(WaitForExit(15000), 0L, "exit code after Exit");

  CheckInstalledFiles(otherFolder, "Gridmark.EXE");
  CheckLink(DesktopLink(), otherFolder);
  CheckLink(MenuLink(), otherFolder);
  Check(!Exists(DefaultFolder), "nothing went to the default folder");
}

// The install folder cannot be created: Question stays, no message.
void FolderRefused() {
  if (!StartSetup()) return;
  HWND dialog = OpenToQuestion("question");
  if (dialog == nullptr) return;
  Press(dialog, IDC_INSTALL);
  Sleep(1500);
  CheckEqual(Stage(dialog), Question(DefaultFolder), "the wizard stays in Question");
  Check(FindSetupWindow(nullptr) == dialog, "no other window appears");
  Screenshot("still-question");
  CloseBox(dialog);
  CheckEqual(WaitForExit(15000), 0L, "exit code after the close box");
}

// A read-only file of the same name: code 205, files before it stay.
void ReadOnly() {
  if (!StartSetup()) return;
  HWND dialog = OpenToQuestion("question");
  if (dialog == nullptr) return;
  Press(dialog, IDC_INSTALL);
  CheckFatalBox(205, "can't delete file Sample1.gmd\nWin Err Code 5");
  for (const char *name : {"Gridmark.EXE", "Gridmark.HLP", "Pagewise.EXE"})
    Check(Exists(std::string(DefaultFolder) + "\\" + name), std::string(name) + " written before it stays");
  Check(!Exists(std::string(DefaultFolder) + "\\Sample2.gmd"), "nothing after it is written");
  Check(!Exists(DesktopLink()), "no shortcut is made");
}

// No Start Menu folder in the profile: code 182, the desktop link stays.
void NoStartMenu() {
  if (!StartSetup()) return;
  HWND dialog = OpenToQuestion("question");
  if (dialog == nullptr) return;
  Press(dialog, IDC_INSTALL);
  CheckFatalBox(182, "can't create folder in start menu\nWin Err Code 3");
  Check(ReadLink(DesktopLink()).Loaded, "the desktop link made before it stays");
  Check(Exists(std::string(DefaultFolder) + "\\Sample6.gmd"), "the installed files stay");
}

// The probe file is missing: code 79 before any window.
void NoProbe() {
  if (!StartSetup()) return;
  CheckFatalBox(79, "can't get architecture\nWin Err Code 2");
  Check(FindSetupWindow(WizardTitle) == nullptr, "the wizard never opened");
}

}  // namespace

int main(int argc, char **argv) {
  if (argc != 5) {
    std::fprintf(stderr, "usage: e2e_driver SCENARIO SETUP_EXE OUT_DIR MANIFEST\n");
    return 2;
  }
  Scenario = argv[1];
  SetupPath = argv[2];
  OutDir = argv[3];
  ManifestPath = argv[4];
  CoInitialize(nullptr);

  if (Scenario == "smoke") Smoke();
  else if (Scenario == "run") Run();
  else if (Scenario == "walk") Walk("C:\\Tools");
  else if (Scenario == "folder-refused") FolderRefused();
  else if (Scenario == "read-only") ReadOnly();
  else if (Scenario == "no-start-menu") NoStartMenu();
  else if (Scenario == "no-probe") NoProbe();
  else {
    std::fprintf(stderr, "unknown scenario %s\n", Scenario.c_str());
    return 2;
  }
  EndSetup();
  CoUninitialize();
  std::printf("%s %s: %d failed\n", Failures ? "FAIL" : "done", Scenario.c_str(), Failures);
  return Failures;
}
