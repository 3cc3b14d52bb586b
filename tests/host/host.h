// Test-facing side of the host stand-in: what the program's Win32 calls did,
// and the knobs that set up the machine they run on (resources, files,
// environment, system answers, the user at the dialog) or make a call fail.
#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "win32_api.h"

namespace Host {

// ExitProcess and FatalAppExitA end "the process" by throwing this; a test
// catches it where the real program would be gone.
struct ProcessExit {
  UINT Code;
  bool ViaFatalAppExit;  // FatalAppExitA rather than ExitProcess
  std::string Text;      // FatalAppExitA's message
};

// Starts a fresh "process" on a fresh machine: no recorded calls, no
// injected failures, an empty heap of windows, a file system holding C:\,
// C:\Windows\notepad.exe (a 64-bit program), the profile folder
// C:\users\setup with Desktop and "Start Menu\Programs", USERPROFILE pointing
// there, Windows 6.1, a 1024 x 768 screen, and no resources.
void Reset();

// ---- Recorded calls ----------------------------------------------------
struct Call {
  std::string Name;  // the Win32 name, e.g. "CreateFileA"
  std::string Args;  // the arguments as text, separated by ", "
  std::string Text() const { return Name + "(" + Args + ")"; }
};
const std::vector<Call> &Calls();
void ClearCalls();
// "Name(args)" of every call whose name is in names (all calls when empty).
std::vector<std::string> Trace(const std::vector<std::string> &names = {});
int CountCalls(const std::string &name);
// Runs hook each time name is called, once the call is recorded: a view of
// the machine in the middle of a pass. Calls made by the hook run no hooks.
void OnCall(const std::string &name, std::function<void()> hook);

// ---- Failure injection -------------------------------------------------
// The nth next call of name (1: the very next) fails; the call sets error
// as its last-error value (for calls answering an HRESULT, error is it).
void FailCall(const std::string &name, DWORD error, int nth = 1);
// Every following call of name fails with error.
void FailAlways(const std::string &name, DWORD error);
// The next WriteFile succeeds but reports only count bytes written.
void ShortWrite(DWORD count);

// ---- Resources ---------------------------------------------------------
// type is an integer type such as 10 (RT_RCDATA); names match without
// regard to case, as in a real module.
void AddResource(int type, const std::string &name, const std::vector<BYTE> &data);
void RemoveResource(int type, const std::string &name);
// Loads every resource of a compiled resource file (.res).
bool LoadResourceFile(const std::string &path);
HINSTANCE Instance();

// ---- File system -------------------------------------------------------
struct ShellLinkData {
  std::string Path, Arguments, Description, WorkingDirectory, IconPath;
  int ShowCommand = 0;
  int IconIndex = 0;
  bool HasDescription = false, HasShowCommand = false, HasWorkingDirectory = false,
       HasIconLocation = false;
};
struct FileNode {
  std::string Path;  // as created
  bool IsFolder = false;
  bool ReadOnly = false;   // the read-only attribute
  bool DenyCreate = false; // folder where nothing may be created (no rights)
  std::vector<BYTE> Data;
  DWORD Attributes = 0;
  FILETIME Creation{}, Access{}, Write{};
  bool IsLink = false;     // written by IPersistFile::Save
  ShellLinkData Link;
};
void AddFolder(const std::string &path);
void AddFile(const std::string &path, const std::vector<BYTE> &data, bool readOnly = false);
void RemoveNode(const std::string &path);
void DenyCreateIn(const std::string &folder);
const FileNode *FindNode(const std::string &path);  // null when absent
std::vector<std::string> ListPaths();               // every node, sorted
std::string CurrentDirectory();
int OpenHandles();

// ---- Environment and system answers -----------------------------------
void SetEnvironment(const std::string &name, const std::string &value);
void UnsetEnvironment(const std::string &name);
void SetWindowsVersion(DWORD major, DWORD minor);
void SetBinaryType(const std::string &path, DWORD type);  // GetBinaryTypeA's answer
void RemoveBinaryType(const std::string &path);
void SetScreenSize(int width, int height);

// ---- Windows and the dialog -------------------------------------------
struct Message {
  UINT Msg;
  WPARAM WParam;
  LPARAM LParam;
};
struct Window {
  HWND Handle;
  HWND Parent;             // null for the dialog
  int Id = 0;
  std::string Class;       // "Static", "Button", or the template's text
  std::string Text;
  LONG Style = 0;          // WS_VISIBLE and WS_DISABLED mirror the state
  RECT Rect{};             // screen pixels
  std::vector<Message> Sent;  // messages sent to the control
  bool Visible() const { return (Style & WS_VISIBLE) != 0; }
  bool Enabled() const { return (Style & WS_DISABLED) == 0; }
};

// The dialog that DialogBoxParamA (or OpenDialog) made, and its controls.
HWND Dialog();
Window *FindWindow(HWND handle);
Window *Control(int id);  // of the dialog; null when absent
HWND Focus();
int FocusedId();          // control id of the focus, 0 for none or the dialog
bool DialogEnded();
INT_PTR DialogResult();
int PostedCount();        // messages waiting in the dialog's queue

// What the user does, while the dialog is open. Each is handled at once by
// the dialog procedure, as Windows would after the message loop takes it.
// Creates the dialog from the named template in the resources and sends
// WM_INITDIALOG, without running a message loop.
HWND OpenDialog(const char *templateName, DLGPROC proc, LPARAM param = 0);
bool DispatchPosted();  // one posted message; false when the queue is empty
void DispatchAllPosted();
INT_PTR Click(int id);  // a button click: WM_COMMAND with BN_CLICKED
INT_PTR SendToDialog(UINT message, WPARAM wParam, LPARAM lParam);
INT_PTR PressEscape();  // the dialog manager's IDCANCEL
INT_PTR PressEnter();   // the focused button, or IDOK without one
INT_PTR CloseBox();     // WM_CLOSE

// DialogBoxParamA runs a message loop: posted messages first; when the queue
// is empty it calls the user script, which answers whether it did anything.
// A script that answers false (or none) while the dialog is open ends the
// loop, and DialogBoxParamA answers -1.
void SetUserScript(std::function<bool()> script);

struct Box {
  HWND Owner;
  std::string Text, Caption;
  UINT Type;
  bool DialogOpen;  // a wizard dialog was open behind it
};
const std::vector<Box> &MessageBoxes();

// ---- Folder picker -----------------------------------------------------
enum class Picker { Cancel, Choose, NoFileSystemPath };
// What the user does in the next pickers, in order; once used up, Cancel.
void QueuePicker(Picker action, const std::string &path = "");
struct PickerCall {
  HWND Owner;
  bool RootIsDesktop;
  bool HasDisplayBuffer;
  std::string Title;
  UINT Flags;
  bool HasCallback;
  LPARAM Param;
  bool ComOpen;  // the COM library was open on the thread
};
const std::vector<PickerCall> &PickerCalls();
int OutstandingItemLists();  // picker results not yet freed

// ---- COM -----------------------------------------------------------------
int ComOpenCount();       // CoInitialize calls not yet balanced
int LiveShellObjects();   // link objects with references left
// The next link object refuses the IPersistFile query.
void RefusePersistFile();

// ---- Graphics ------------------------------------------------------------
struct StretchCall {
  HDC Dc;
  int XDest, YDest, DestWidth, DestHeight, XSrc, YSrc, SrcWidth, SrcHeight;
  const void *Bits;
  const BITMAPINFO *Info;
  UINT Usage;
  DWORD Rop;
};
const std::vector<StretchCall> &StretchCalls();
COLORREF SysColor(int index);

}  // namespace Host
