// Recording implementation of the host stand-in. Each Win32 call records
// itself, may be made to fail by a test, and otherwise behaves as Windows
// does in the ways the setup relies on (last-error values measured on Wine).

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <deque>
#include <fstream>
#include <memory>
#include <set>

#include "dialog_template.h"
#include "host.h"

// The stand-in's handle types are its own objects.
struct HWND__ {
  Host::Window Data;
};
struct HINSTANCE__ {
  int Unused;
};
struct HRSRC__ {
  int Type;
  std::string Name;  // upper case
  std::vector<BYTE> Data;
};
struct HDC__ {
  int Unused;
};

namespace {

// ---- State of the fake process and machine -----------------------------

struct Injection {
  DWORD Error;
  int Countdown;  // calls left until the failing one, which is 1
  bool Always;    // every call fails
};

struct OpenFile {
  std::string Key;  // file-system key of the node
};

struct PickerStep {
  Host::Picker Action;
  std::string Path;
};

// An item list handed out by the picker.
struct ItemList {
  bool FileSystem;
  std::string Path;
};

DWORD LastError;
std::vector<Host::Call> CallLog;
std::multimap<std::string, Injection> Injections;
long ShortWriteCount = -1;

HINSTANCE__ TheInstance;
std::vector<std::unique_ptr<HRSRC__>> Resources;

std::map<std::string, Host::FileNode> Files;  // key: upper-case full path
std::string CurrentDir;
std::map<HANDLE, OpenFile> Handles;
uintptr_t NextHandle;
uint64_t Clock;  // FILETIME ticks of the fake clock

std::map<std::string, std::string> Environment;  // key: upper case
DWORD VersionMajor, VersionMinor;
std::map<std::string, DWORD> BinaryTypes;  // key: upper case
int ScreenWidth, ScreenHeight;

std::vector<std::unique_ptr<HWND__>> Windows;
HWND DialogWindow;
DLGPROC DialogProc;
HWND FocusWindow;
bool Ended;
INT_PTR EndResult;
std::deque<Host::Message> Posted;
std::function<bool()> UserScript;
std::vector<Host::Box> Boxes;

std::deque<PickerStep> PickerSteps;
std::vector<Host::PickerCall> PickerLog;
std::set<ItemList *> ItemLists;

int ComCount;
int ShellObjects;
bool RefuseNextPersistFile;

std::vector<Host::StretchCall> StretchLog;

// ---- Small helpers -------------------------------------------------------

std::string Upper(std::string text) {
  for (char &c : text) c = char(std::toupper((unsigned char)c));
  return text;
}

std::string Quote(const char *text) {
  return text == nullptr ? std::string("NULL") : "\"" + std::string(text) + "\"";
}

std::string Num(long long value) { return std::to_string(value); }

std::string Hex(unsigned long long value) {
  char text[32];
  std::snprintf(text, sizeof text, "0x%llX", value);
  return text;
}

std::string ResourceId(LPCSTR id) {
  return IS_INTRESOURCE(id) ? "#" + Num((uintptr_t)id) : Quote(id);
}

std::multimap<std::string, std::function<void()>> CallHooks;
bool InHook;

void Record(const char *name, std::string args = "") {
  CallLog.push_back({name, std::move(args)});
  if (InHook) return;
  InHook = true;
  auto range = CallHooks.equal_range(name);
  for (auto it = range.first; it != range.second; ++it) it->second();
  InHook = false;
}

// Answers true when the test made this call fail. A call that reports
// through the last-error value gets the injected error there; one that
// answers an HRESULT (hresult given) takes it as its result instead.
bool Injected(const char *name, HRESULT *hresult = nullptr) {
  auto range = Injections.equal_range(name);
  for (auto it = range.first; it != range.second; ++it) {
    Injection &injection = it->second;
    if (!injection.Always && --injection.Countdown > 0) continue;
    if (hresult != nullptr)
      *hresult = HRESULT(injection.Error);
    else
      LastError = injection.Error;
    if (!injection.Always) Injections.erase(it);
    return true;
  }
  return false;
}

FILETIME Tick() {
  Clock += 10000000;  // one second per file-system event
  return FILETIME{DWORD(Clock), DWORD(Clock >> 32)};
}

// ---- Paths -----------------------------------------------------------------

// Full path of text as Windows would resolve it against the current
// directory, with '\' separators and no trailing one (the root keeps it).
// Answers false for a name Windows refuses (ERROR_INVALID_NAME).
bool FullPath(const char *text, std::string *full) {
  std::string path(text);
  std::replace(path.begin(), path.end(), '/', '\\');
  for (size_t i = 0; i < path.size(); i++) {
    char c = path[i];
    if (c == '<' || c == '>' || c == '"' || c == '|' || c == '?' || c == '*' ||
        (c == ':' && i != 1))
      return false;
  }
  bool absolute = path.size() >= 3 && std::isalpha((unsigned char)path[0]) && path[1] == ':' &&
                  path[2] == '\\';
  if (!absolute) {
    if (path.size() >= 2 && path[1] == ':') return false;  // drive-relative: not used here
    if (!path.empty() && path[0] == '\\') {
      if (path.size() > 1 && path[1] == '\\') return false;  // network paths: no network here
      path = CurrentDir.substr(0, 2) + path;
    } else {
      path = CurrentDir + (CurrentDir.back() == '\\' ? "" : "\\") + path;
    }
  }
  std::string clean;
  for (char c : path) {
    if (c == '\\' && !clean.empty() && clean.back() == '\\') continue;
    clean += c;
  }
  if (clean.size() > 3 && clean.back() == '\\') clean.pop_back();
  *full = clean;
  return true;
}

std::string Key(const std::string &full) { return Upper(full); }

std::string Parent(const std::string &full) {
  size_t slash = full.rfind('\\');
  if (slash == std::string::npos || full.size() <= 3) return "";
  return slash == 2 ? full.substr(0, 3) : full.substr(0, slash);
}

Host::FileNode *Node(const std::string &full) {
  auto it = Files.find(Key(full));
  return it == Files.end() ? nullptr : &it->second;
}

bool IsFolder(const std::string &full) {
  Host::FileNode *node = Node(full);
  return node != nullptr && node->IsFolder;
}

Host::FileNode &MakeNode(const std::string &full, bool folder) {
  Host::FileNode &node = Files[Key(full)];
  node = Host::FileNode();
  node.Path = full;
  node.IsFolder = folder;
  node.Attributes = folder ? FILE_ATTRIBUTE_DIRECTORY : FILE_ATTRIBUTE_NORMAL;
  node.Creation = node.Access = node.Write = Tick();
  return node;
}

void MakeFolders(const std::string &full) {
  std::string parent = Parent(full);
  if (!parent.empty() && !IsFolder(parent)) MakeFolders(parent);
  if (!IsFolder(full)) MakeNode(full, true);
}

bool HasOpenHandle(const std::string &key) {
  for (auto &entry : Handles)
    if (entry.second.Key == key) return true;
  return false;
}

std::string Narrow(LPCWSTR wide) {
  std::string text;
  for (; *wide; wide++) text += char(*wide);
  return text;
}

// ---- Windows -------------------------------------------------------------

HWND NewWindow(HWND parent, int id, const std::string &windowClass, const std::string &text,
               LONG style, RECT rect) {
  Windows.push_back(std::make_unique<HWND__>());
  HWND handle = Windows.back().get();
  Host::Window &window = handle->Data;
  window.Handle = handle;
  window.Parent = parent;
  window.Id = id;
  window.Class = windowClass;
  window.Text = text;
  window.Style = style;
  window.Rect = rect;
  return handle;
}

Host::Window *WindowOf(HWND handle) {
  for (auto &window : Windows)
    if (window.get() == handle) return &window->Data;
  return nullptr;
}

// Dialog units to pixels, with the base units of a 10-point System font.
LONG DialogX(int units) { return units * 7 / 4; }
LONG DialogY(int units) { return units * 16 / 8; }

INT_PTR CallDialog(UINT message, WPARAM wParam, LPARAM lParam) {
  return DialogProc(DialogWindow, message, wParam, lParam);
}

// Where the dialog manager puts the focus after WM_INITDIALOG answers 1.
void SetDefaultFocus() {
  for (auto &window : Windows) {
    Host::Window &w = window->Data;
    if (w.Parent == DialogWindow && w.Visible() && w.Enabled() && (w.Style & WS_TABSTOP)) {
      FocusWindow = w.Handle;
      return;
    }
  }
}

std::string ClassFromAtom(uint16_t atom) {
  switch (atom) {
    case 0x80: return "Button";
    case 0x81: return "Edit";
    case 0x82: return "Static";
  }
  return "#" + Num(atom);
}

// ---- The shell's link object ---------------------------------------------

class ShellLink;

class PersistFile : public IPersistFile {
 public:
  explicit PersistFile(ShellLink *owner) : Owner(owner) {}
  HRESULT QueryInterface(REFIID iid, void **object) override;
  ULONG AddRef() override;
  ULONG Release() override;
  HRESULT GetClassID(CLSID *) override { return E_FAIL; }
  HRESULT IsDirty() override { return S_OK; }
  HRESULT Load(LPCOLESTR, DWORD) override { return E_FAIL; }
  HRESULT Save(LPCOLESTR file, BOOL remember) override;
  HRESULT SaveCompleted(LPCOLESTR) override { return S_OK; }
  HRESULT GetCurFile(LPWSTR *) override { return E_FAIL; }

 private:
  ShellLink *Owner;
};

class ShellLink : public IShellLinkA {
 public:
  ShellLink() : Persist(this) { ShellObjects++; }
  virtual ~ShellLink() = default;
  HRESULT QueryInterface(REFIID iid, void **object) override {
    Record("IShellLinkA::QueryInterface", iid.Data1 == IID_IPersistFile.Data1 ? "IID_IPersistFile" : Hex(iid.Data1));
    if (memcmp(&iid, &IID_IPersistFile, sizeof(GUID)) == 0 && !RefusePersist) {
      References++;
      *object = static_cast<IPersistFile *>(&Persist);
      return S_OK;
    }
    *object = nullptr;
    return E_NOINTERFACE;
  }
  ULONG AddRef() override { return ++References; }
  ULONG Release() override {
    Record("IShellLinkA::Release");
    ULONG left = --References;
    if (left == 0) {
      ShellObjects--;
      delete this;
    }
    return left;
  }
  HRESULT GetPath(LPSTR, int, void *, DWORD) override { return E_FAIL; }
  HRESULT GetIDList(void **) override { return E_FAIL; }
  HRESULT SetIDList(const void *) override { return E_FAIL; }
  HRESULT GetDescription(LPSTR, int) override { return E_FAIL; }
  HRESULT SetDescription(LPCSTR name) override {
    Record("IShellLinkA::SetDescription", Quote(name));
    Data.Description = name;
    Data.HasDescription = true;
    return S_OK;
  }
  HRESULT GetWorkingDirectory(LPSTR, int) override { return E_FAIL; }
  HRESULT SetWorkingDirectory(LPCSTR dir) override {
    Record("IShellLinkA::SetWorkingDirectory", Quote(dir));
    Data.WorkingDirectory = dir;
    Data.HasWorkingDirectory = true;
    return S_OK;
  }
  HRESULT GetArguments(LPSTR, int) override { return E_FAIL; }
  HRESULT SetArguments(LPCSTR args) override {
    Record("IShellLinkA::SetArguments", Quote(args));
    Data.Arguments = args;
    return S_OK;
  }
  HRESULT GetHotkey(WORD *) override { return E_FAIL; }
  HRESULT SetHotkey(WORD) override { return E_FAIL; }
  HRESULT GetShowCmd(int *) override { return E_FAIL; }
  HRESULT SetShowCmd(int show) override {
    Record("IShellLinkA::SetShowCmd", Num(show));
    Data.ShowCommand = show;
    Data.HasShowCommand = true;
    return S_OK;
  }
  HRESULT GetIconLocation(LPSTR, int, int *) override { return E_FAIL; }
  HRESULT SetIconLocation(LPCSTR path, int index) override {
    Record("IShellLinkA::SetIconLocation", Quote(path) + ", " + Num(index));
    Data.IconPath = path;
    Data.IconIndex = index;
    Data.HasIconLocation = true;
    return S_OK;
  }
  HRESULT SetRelativePath(LPCSTR, DWORD) override { return E_FAIL; }
  HRESULT Resolve(HWND, DWORD) override { return E_FAIL; }
  HRESULT SetPath(LPCSTR file) override {
    Record("IShellLinkA::SetPath", Quote(file));
    Data.Path = file;
    return S_OK;
  }

  ULONG References = 1;
  bool RefusePersist = false;
  Host::ShellLinkData Data;
  PersistFile Persist;
};

HRESULT PersistFile::QueryInterface(REFIID iid, void **object) {
  return Owner->QueryInterface(iid, object);
}
ULONG PersistFile::AddRef() { return Owner->AddRef(); }
ULONG PersistFile::Release() {
  Record("IPersistFile::Release");
  ULONG left = --Owner->References;
  if (left == 0) {
    ShellObjects--;
    delete Owner;
  }
  return left;
}

HRESULT PersistFile::Save(LPCOLESTR file, BOOL remember) {
  std::string path = Narrow(file);
  Record("IPersistFile::Save", Quote(path.c_str()) + ", " + Num(remember));
  HRESULT failure;
  if (Injected("IPersistFile::Save", &failure)) return failure;
  std::string full;
  if (!FullPath(path.c_str(), &full)) {
    LastError = ERROR_INVALID_NAME;
    return HRESULT(0x80070000u | ERROR_INVALID_NAME);
  }
  if (!IsFolder(Parent(full))) {
    LastError = ERROR_PATH_NOT_FOUND;
    return HRESULT(0x80070000u | ERROR_PATH_NOT_FOUND);
  }
  Host::FileNode *existing = Node(full);
  if (existing != nullptr && (existing->IsFolder || existing->ReadOnly)) {
    LastError = ERROR_ACCESS_DENIED;
    return HRESULT(0x80070000u | ERROR_ACCESS_DENIED);
  }
  Host::FileNode &node = MakeNode(full, false);
  node.IsLink = true;
  node.Link = Owner->Data;
  return S_OK;
}

}  // namespace

// ---- Identifiers the program takes from the system's libraries ----------

const CLSID CLSID_ShellLink = {0x00021401, 0, 0, {0xC0, 0, 0, 0, 0, 0, 0, 0x46}};
const IID IID_IShellLinkA = {0x000214EE, 0, 0, {0xC0, 0, 0, 0, 0, 0, 0, 0x46}};
const IID IID_IPersistFile = {0x0000010B, 0, 0, {0xC0, 0, 0, 0, 0, 0, 0, 0x46}};

// ---- kernel32 --------------------------------------------------------------

DWORD GetLastError() { return LastError; }
void SetLastError(DWORD error) { LastError = error; }

HRSRC FindResourceA(HMODULE module, LPCSTR name, LPCSTR type) {
  Record("FindResourceA", ResourceId(name) + ", " + ResourceId(type));
  if (Injected("FindResourceA")) return nullptr;
  if (module != &TheInstance || !IS_INTRESOURCE(type)) {
    LastError = ERROR_RESOURCE_TYPE_NOT_FOUND;
    return nullptr;
  }
  int wantedType = int((uintptr_t)type);
  std::string wantedName = IS_INTRESOURCE(name) ? "#" + Num((uintptr_t)name) : Upper(name);
  bool typeFound = false;
  for (auto &resource : Resources) {
    if (resource->Type != wantedType) continue;
    typeFound = true;
    if (resource->Name == wantedName) return resource.get();
  }
  LastError = typeFound ? ERROR_RESOURCE_NAME_NOT_FOUND : ERROR_RESOURCE_TYPE_NOT_FOUND;
  return nullptr;
}

DWORD SizeofResource(HMODULE, HRSRC resource) {
  Record("SizeofResource", resource ? Quote(resource->Name.c_str()) : "NULL");
  if (Injected("SizeofResource") || resource == nullptr) return 0;
  return DWORD(resource->Data.size());
}

HGLOBAL LoadResource(HMODULE, HRSRC resource) {
  Record("LoadResource", resource ? Quote(resource->Name.c_str()) : "NULL");
  if (Injected("LoadResource") || resource == nullptr) return nullptr;
  return resource;
}

LPVOID LockResource(HGLOBAL data) {
  Record("LockResource");
  if (Injected("LockResource") || data == nullptr) return nullptr;
  static BYTE Empty[1];
  auto *resource = static_cast<HRSRC__ *>(data);
  // An empty resource still has an address inside the image.
  return resource->Data.empty() ? Empty : resource->Data.data();
}

BOOL DeleteFileA(LPCSTR name) {
  Record("DeleteFileA", Quote(name));
  if (Injected("DeleteFileA")) return FALSE;
  std::string full;
  if (!FullPath(name, &full)) {
    LastError = ERROR_INVALID_NAME;
    return FALSE;
  }
  Host::FileNode *node = Node(full);
  if (node == nullptr) {
    LastError = IsFolder(Parent(full)) ? ERROR_FILE_NOT_FOUND : ERROR_PATH_NOT_FOUND;
    return FALSE;
  }
  if (node->IsFolder || node->ReadOnly) {
    LastError = ERROR_ACCESS_DENIED;
    return FALSE;
  }
  if (HasOpenHandle(Key(full))) {
    LastError = 32;  // ERROR_SHARING_VIOLATION
    return FALSE;
  }
  Files.erase(Key(full));
  return TRUE;
}

HANDLE CreateFileA(LPCSTR name, DWORD access, DWORD share, LPSECURITY_ATTRIBUTES security,
                   DWORD disposition, DWORD flags, HANDLE templateFile) {
  Record("CreateFileA", Quote(name) + ", " + Hex(access) + ", " + Num(share) + ", " +
                            (security ? "security" : "NULL") + ", " + Num(disposition) + ", " +
                            Hex(flags) + ", " + (templateFile ? "template" : "NULL"));
  if (Injected("CreateFileA")) return INVALID_HANDLE_VALUE;
  std::string full;
  if (!FullPath(name, &full)) {
    LastError = ERROR_INVALID_NAME;
    return INVALID_HANDLE_VALUE;
  }
  if (!IsFolder(Parent(full))) {
    LastError = ERROR_PATH_NOT_FOUND;
    return INVALID_HANDLE_VALUE;
  }
  Host::FileNode *existing = Node(full);
  if (existing != nullptr && (existing->IsFolder || existing->ReadOnly)) {
    LastError = ERROR_ACCESS_DENIED;
    return INVALID_HANDLE_VALUE;
  }
  if (existing != nullptr && HasOpenHandle(Key(full))) {
    LastError = 32;
    return INVALID_HANDLE_VALUE;
  }
  if (Node(Parent(full))->DenyCreate) {
    LastError = ERROR_ACCESS_DENIED;
    return INVALID_HANDLE_VALUE;
  }
  Host::FileNode &node = MakeNode(full, false);
  node.Attributes = flags;
  HANDLE handle = (HANDLE)(NextHandle += 4);
  Handles[handle] = OpenFile{Key(full)};
  LastError = existing ? ERROR_ALREADY_EXISTS : ERROR_SUCCESS;
  return handle;
}

BOOL WriteFile(HANDLE file, LPCVOID data, DWORD size, LPDWORD written, LPOVERLAPPED overlapped) {
  Record("WriteFile", Num(size) + ", " + (overlapped ? "overlapped" : "NULL"));
  if (written) *written = 0;
  if (Injected("WriteFile")) return FALSE;
  auto it = Handles.find(file);
  if (it == Handles.end()) {
    LastError = ERROR_INVALID_HANDLE;
    return FALSE;
  }
  DWORD count = size;
  if (ShortWriteCount >= 0) {
    count = std::min<DWORD>(size, DWORD(ShortWriteCount));
    ShortWriteCount = -1;
  }
  Host::FileNode &node = Files[it->second.Key];
  const BYTE *bytes = static_cast<const BYTE *>(data);
  if (count > 0) node.Data.insert(node.Data.end(), bytes, bytes + count);
  node.Write = node.Access = Tick();
  if (written) *written = count;
  return TRUE;
}

BOOL SetFileTime(HANDLE file, const FILETIME *creation, const FILETIME *access,
                 const FILETIME *write) {
  auto show = [](const FILETIME *t) {
    return t ? Hex((uint64_t(t->dwHighDateTime) << 32) | t->dwLowDateTime) : std::string("NULL");
  };
  Record("SetFileTime", show(creation) + ", " + show(access) + ", " + show(write));
  if (Injected("SetFileTime")) return FALSE;
  auto it = Handles.find(file);
  if (it == Handles.end()) {
    LastError = ERROR_INVALID_HANDLE;
    return FALSE;
  }
  Host::FileNode &node = Files[it->second.Key];
  if (creation) node.Creation = *creation;
  if (access) node.Access = *access;
  if (write) node.Write = *write;
  return TRUE;
}

BOOL CloseHandle(HANDLE object) {
  Record("CloseHandle");
  if (Injected("CloseHandle")) return FALSE;
  if (Handles.erase(object) == 0) {
    LastError = ERROR_INVALID_HANDLE;
    return FALSE;
  }
  return TRUE;
}

BOOL CreateDirectoryA(LPCSTR path, LPSECURITY_ATTRIBUTES security) {
  Record("CreateDirectoryA", Quote(path) + ", " + (security ? "security" : "NULL"));
  if (Injected("CreateDirectoryA")) return FALSE;
  std::string full;
  if (!FullPath(path, &full)) {
    LastError = ERROR_INVALID_NAME;
    return FALSE;
  }
  if (Node(full) != nullptr || full.size() <= 3) {
    LastError = full.size() <= 3 && Node(full) == nullptr ? ERROR_PATH_NOT_FOUND
                                                           : ERROR_ALREADY_EXISTS;
    return FALSE;
  }
  Host::FileNode *parent = Node(Parent(full));
  if (parent == nullptr || !parent->IsFolder) {
    LastError = ERROR_PATH_NOT_FOUND;
    return FALSE;
  }
  if (parent->DenyCreate) {
    LastError = ERROR_ACCESS_DENIED;
    return FALSE;
  }
  MakeNode(full, true);
  return TRUE;
}

BOOL SetCurrentDirectoryA(LPCSTR path) {
  Record("SetCurrentDirectoryA", Quote(path));
  if (Injected("SetCurrentDirectoryA")) return FALSE;
  std::string full;
  if (!FullPath(path, &full)) {
    LastError = ERROR_INVALID_NAME;
    return FALSE;
  }
  Host::FileNode *node = Node(full);
  if (node == nullptr) {
    LastError = ERROR_FILE_NOT_FOUND;
    return FALSE;
  }
  if (!node->IsFolder) {
    LastError = 267;  // ERROR_DIRECTORY
    return FALSE;
  }
  CurrentDir = node->Path;
  return TRUE;
}

BOOL GetVersionExA(LPOSVERSIONINFOA info) {
  Record("GetVersionExA", Num(info->dwOSVersionInfoSize));
  if (Injected("GetVersionExA")) return FALSE;
  if (info->dwOSVersionInfoSize != sizeof(OSVERSIONINFOA) && info->dwOSVersionInfoSize != 156) {
    LastError = ERROR_INSUFFICIENT_BUFFER;
    return FALSE;
  }
  info->dwMajorVersion = VersionMajor;
  info->dwMinorVersion = VersionMinor;
  info->dwBuildNumber = 7601;
  info->dwPlatformId = 2;
  std::strcpy(info->szCSDVersion, "Service Pack 1");
  return TRUE;
}

BOOL GetBinaryTypeA(LPCSTR path, LPDWORD type) {
  Record("GetBinaryTypeA", Quote(path));
  if (Injected("GetBinaryTypeA")) return FALSE;
  auto it = BinaryTypes.find(Upper(path));
  if (it == BinaryTypes.end()) {
    LastError = ERROR_FILE_NOT_FOUND;
    return FALSE;
  }
  *type = it->second;
  return TRUE;
}

DWORD GetEnvironmentVariableA(LPCSTR name, LPSTR buffer, DWORD size) {
  Record("GetEnvironmentVariableA", Quote(name) + ", " + Num(size));
  if (Injected("GetEnvironmentVariableA")) return 0;
  auto it = Environment.find(Upper(name));
  if (it == Environment.end()) {
    LastError = ERROR_ENVVAR_NOT_FOUND;
    return 0;
  }
  const std::string &value = it->second;
  // Too small a buffer is left alone; the answer is the size it needs.
  if (value.size() + 1 > size) return DWORD(value.size() + 1);
  std::memcpy(buffer, value.c_str(), value.size() + 1);
  return DWORD(value.size());
}

int MultiByteToWideChar(UINT codePage, DWORD flags, LPCSTR text, int length, LPWSTR wide,
                        int wideSize) {
  Record("MultiByteToWideChar", Num(codePage) + ", " + Num(flags) + ", " + Quote(text) + ", " +
                                    Num(length) + ", " + Num(wideSize));
  if (Injected("MultiByteToWideChar")) return 0;
  int count = length < 0 ? int(std::strlen(text)) + 1 : length;
  if (count > wideSize) {
    LastError = ERROR_INSUFFICIENT_BUFFER;
    return 0;
  }
  for (int i = 0; i < count; i++) wide[i] = WCHAR((unsigned char)text[i]);
  return count;
}

void FatalAppExitA(UINT action, LPCSTR message) {
  Record("FatalAppExitA", Num(action) + ", " + Quote(message));
  throw Host::ProcessExit{0xC0000409u, true, message};
}

void ExitProcess(UINT exitCode) {
  Record("ExitProcess", Num(exitCode));
  throw Host::ProcessExit{exitCode, false, ""};
}

int _vsnprintf(char *buffer, size_t count, const char *format, va_list args) {
  va_list copy;
  va_copy(copy, args);
  int needed = std::vsnprintf(nullptr, 0, format, copy);
  va_end(copy);
  if (needed < 0) return -1;
  // Everything that fits, and a terminator only when there is room for it.
  std::vector<char> whole(size_t(needed) + 1);
  std::vsnprintf(whole.data(), whole.size(), format, args);
  size_t copied = std::min(size_t(needed), count);
  std::memcpy(buffer, whole.data(), copied);
  if (size_t(needed) < count) buffer[needed] = '\0';
  return size_t(needed) <= count ? needed : -1;
}

// ---- user32 ----------------------------------------------------------------

INT_PTR DialogBoxParamA(HINSTANCE instance, LPCSTR templateName, HWND owner, DLGPROC proc,
                        LPARAM param) {
  Record("DialogBoxParamA", ResourceId(templateName) + ", " + (owner ? "owner" : "NULL") + ", " +
                                Num(param) + (instance == &TheInstance ? "" : ", foreign module"));
  if (Injected("DialogBoxParamA")) return -1;
  if (Host::OpenDialog(templateName, proc, param) == nullptr) return -1;
  while (!Ended) {
    if (Host::DispatchPosted()) continue;
    // The user acts only when the program waits; a user with nothing
    // more to do leaves a dialog that would otherwise wait for ever.
    if (!UserScript || !UserScript()) break;
  }
  return Ended ? EndResult : -1;
}

BOOL EndDialog(HWND dialog, INT_PTR result) {
  Record("EndDialog", Num(result));
  if (Injected("EndDialog")) return FALSE;
  if (dialog != DialogWindow || DialogWindow == nullptr) {
    LastError = 1400;  // ERROR_INVALID_WINDOW_HANDLE
    return FALSE;
  }
  Ended = true;
  EndResult = result;
  return TRUE;
}

HWND GetDlgItem(HWND dialog, int id) {
  Record("GetDlgItem", Num(id));
  if (Injected("GetDlgItem")) return nullptr;
  for (auto &window : Windows)
    if (window->Data.Parent == dialog && dialog != nullptr && window->Data.Id == id)
      return window.get();
  LastError = 1421;  // ERROR_CONTROL_ID_NOT_FOUND
  return nullptr;
}

BOOL SetDlgItemTextA(HWND dialog, int id, LPCSTR text) {
  Record("SetDlgItemTextA", Num(id) + ", " + Quote(text));
  if (Injected("SetDlgItemTextA")) return FALSE;
  for (auto &window : Windows)
    if (window->Data.Parent == dialog && dialog != nullptr && window->Data.Id == id) {
      window->Data.Text = text;
      return TRUE;
    }
  LastError = 1421;
  return FALSE;
}

BOOL ShowWindow(HWND window, int command) {
  Host::Window *w = WindowOf(window);
  Record("ShowWindow", Num(w ? w->Id : -1) + ", " + Num(command));
  if (Injected("ShowWindow") || w == nullptr) return FALSE;
  bool wasVisible = w->Visible();
  if (command == SW_HIDE) {
    w->Style &= ~WS_VISIBLE;
    // Hiding the focus moves it to the parent, as the window manager does.
    if (FocusWindow == window) FocusWindow = w->Parent;
  } else {
    w->Style |= WS_VISIBLE;
  }
  return wasVisible;
}

BOOL EnableWindow(HWND window, BOOL enable) {
  Host::Window *w = WindowOf(window);
  Record("EnableWindow", Num(w ? w->Id : -1) + ", " + Num(enable));
  if (Injected("EnableWindow") || w == nullptr) return FALSE;
  bool wasDisabled = !w->Enabled();
  if (enable) {
    w->Style &= ~WS_DISABLED;
  } else {
    w->Style |= WS_DISABLED;
    if (FocusWindow == window) FocusWindow = nullptr;
  }
  return wasDisabled;
}

HWND SetFocus(HWND window) {
  Host::Window *w = WindowOf(window);
  Record("SetFocus", Num(w ? w->Id : -1));
  if (Injected("SetFocus")) return nullptr;
  if (window != nullptr && w == nullptr) {
    LastError = 1400;
    return nullptr;
  }
  HWND previous = FocusWindow;
  FocusWindow = window;
  return previous;
}

LONG SetWindowLongA(HWND window, int index, LONG value) {
  Host::Window *w = WindowOf(window);
  Record("SetWindowLongA", Num(w ? w->Id : -1) + ", " + Num(index) + ", " + Hex(uint32_t(value)));
  if (Injected("SetWindowLongA") || w == nullptr || index != GWL_STYLE) return 0;
  LONG previous = w->Style;
  w->Style = value;
  return previous;
}

BOOL PostMessageA(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  Record("PostMessageA", Hex(message) + ", " + Num(wParam) + ", " + Num(lParam));
  if (Injected("PostMessageA")) return FALSE;
  if (window != DialogWindow || window == nullptr) {
    LastError = 1400;
    return FALSE;
  }
  Posted.push_back({message, wParam, lParam});
  return TRUE;
}

LRESULT SendDlgItemMessageA(HWND dialog, int id, UINT message, WPARAM wParam, LPARAM lParam) {
  Record("SendDlgItemMessageA", Num(id) + ", " + Hex(message) + ", " + Num(wParam) + ", " +
                                    Hex(uint64_t(lParam)));
  if (Injected("SendDlgItemMessageA")) return 0;
  for (auto &window : Windows)
    if (window->Data.Parent == dialog && dialog != nullptr && window->Data.Id == id) {
      window->Data.Sent.push_back({message, wParam, lParam});
      return 0;
    }
  LastError = 1421;
  return 0;
}

int MessageBoxA(HWND owner, LPCSTR text, LPCSTR caption, UINT type) {
  Record("MessageBoxA", Quote(text) + ", " + Quote(caption) + ", " + Hex(type));
  Boxes.push_back({owner, text ? text : "", caption ? caption : "", type,
                   DialogWindow != nullptr && !Ended});
  return IDOK;
}

BOOL GetWindowRect(HWND window, LPRECT rect) {
  Record("GetWindowRect");
  Host::Window *w = WindowOf(window);
  if (Injected("GetWindowRect") || w == nullptr) return FALSE;
  *rect = w->Rect;
  return TRUE;
}

int GetSystemMetrics(int index) {
  Record("GetSystemMetrics", Num(index));
  if (index == SM_CXSCREEN) return ScreenWidth;
  if (index == SM_CYSCREEN) return ScreenHeight;
  return 0;
}

BOOL MoveWindow(HWND window, int x, int y, int width, int height, BOOL repaint) {
  Record("MoveWindow", Num(x) + ", " + Num(y) + ", " + Num(width) + ", " + Num(height) + ", " +
                           Num(repaint));
  Host::Window *w = WindowOf(window);
  if (Injected("MoveWindow") || w == nullptr) return FALSE;
  w->Rect = RECT{x, y, x + width, y + height};
  return TRUE;
}

DWORD GetSysColor(int index) {
  Record("GetSysColor", Num(index));
  return Host::SysColor(index);
}

// ---- gdi32 and comctl32 ----------------------------------------------------

COLORREF SetTextColor(HDC, COLORREF color) {
  Record("SetTextColor", Hex(color));
  return 0;
}

COLORREF SetBkColor(HDC, COLORREF color) {
  Record("SetBkColor", Hex(color));
  return 0xFFFFFF;
}

int StretchDIBits(HDC dc, int xDest, int yDest, int destWidth, int destHeight, int xSrc, int ySrc,
                  int srcWidth, int srcHeight, const void *bits, const BITMAPINFO *info, UINT usage,
                  DWORD rop) {
  Record("StretchDIBits", Num(xDest) + ", " + Num(yDest) + ", " + Num(destWidth) + ", " +
                              Num(destHeight) + ", " + Num(xSrc) + ", " + Num(ySrc) + ", " +
                              Num(srcWidth) + ", " + Num(srcHeight) + ", " + Num(usage) + ", " +
                              Hex(rop));
  StretchLog.push_back(
      {dc, xDest, yDest, destWidth, destHeight, xSrc, ySrc, srcWidth, srcHeight, bits, info, usage, rop});
  return srcHeight;
}

void InitCommonControls() { Record("InitCommonControls"); }

// ---- shell32 and ole32 -------------------------------------------------------

PIDLIST_ABSOLUTE SHBrowseForFolderA(LPBROWSEINFOA info) {
  Record("SHBrowseForFolderA", Quote(info->lpszTitle) + ", " + Hex(info->ulFlags));
  PickerLog.push_back({info->hwndOwner, info->pidlRoot == nullptr,
                       info->pszDisplayName != nullptr, info->lpszTitle ? info->lpszTitle : "",
                       info->ulFlags, info->lpfn != nullptr, info->lParam, ComCount > 0});
  PickerStep step{Host::Picker::Cancel, ""};
  if (!PickerSteps.empty()) {
    step = PickerSteps.front();
    PickerSteps.pop_front();
  }
  if (step.Action == Host::Picker::Cancel) return nullptr;
  // The display name is the last part of the path, or the item's own name.
  std::string display = step.Path;
  size_t slash = display.find_last_of('\\', display.size() > 3 ? display.size() - 2 : 0);
  if (slash != std::string::npos && display.size() > 3) display = display.substr(slash + 1);
  if (info->pszDisplayName) {
    std::strncpy(info->pszDisplayName, display.c_str(), MAX_PATH - 1);
    info->pszDisplayName[MAX_PATH - 1] = '\0';
  }
  auto *list = new ItemList{step.Action == Host::Picker::Choose, step.Path};
  ItemLists.insert(list);
  return reinterpret_cast<PIDLIST_ABSOLUTE>(list);
}

BOOL SHGetPathFromIDListA(PCIDLIST_ABSOLUTE pidl, LPSTR path) {
  Record("SHGetPathFromIDListA");
  auto *list = reinterpret_cast<ItemList *>(const_cast<ITEMIDLIST *>(pidl));
  if (Injected("SHGetPathFromIDListA") || ItemLists.count(list) == 0 || !list->FileSystem ||
      list->Path.size() >= MAX_PATH) {
    path[0] = '\0';
    return FALSE;
  }
  std::memcpy(path, list->Path.c_str(), list->Path.size() + 1);
  return TRUE;
}

void CoTaskMemFree(LPVOID memory) {
  Record("CoTaskMemFree");
  auto *list = static_cast<ItemList *>(memory);
  if (ItemLists.erase(list)) delete list;
}

HRESULT CoInitialize(LPVOID reserved) {
  Record("CoInitialize", reserved ? "reserved" : "NULL");
  HRESULT failure;
  if (Injected("CoInitialize", &failure)) return failure;
  return ComCount++ == 0 ? S_OK : S_FALSE;
}

void CoUninitialize() {
  Record("CoUninitialize");
  if (ComCount > 0) ComCount--;
}

HRESULT CoCreateInstance(REFCLSID clsid, LPUNKNOWN outer, DWORD context, REFIID iid,
                         LPVOID *object) {
  bool isShellLink = std::memcmp(&clsid, &CLSID_ShellLink, sizeof(GUID)) == 0;
  bool isLinkInterface = std::memcmp(&iid, &IID_IShellLinkA, sizeof(GUID)) == 0;
  Record("CoCreateInstance", std::string(isShellLink ? "CLSID_ShellLink" : "other class") + ", " +
                                 (outer ? "outer" : "NULL") + ", " + Num(context) + ", " +
                                 (isLinkInterface ? "IID_IShellLinkA" : "other interface"));
  *object = nullptr;
  HRESULT failure;
  if (Injected("CoCreateInstance", &failure)) return failure;
  if (ComCount == 0) return HRESULT(0x800401F0);  // CO_E_NOTINITIALIZED
  if (!isShellLink) return REGDB_E_CLASSNOTREG;
  if (!isLinkInterface) return E_NOINTERFACE;
  auto *link = new ShellLink();
  link->RefusePersist = RefuseNextPersistFile;
  RefuseNextPersistFile = false;
  *object = static_cast<IShellLinkA *>(link);
  return S_OK;
}

// ---- The test-facing side ----------------------------------------------------

namespace Host {

void Reset() {
  LastError = 0;
  CallLog.clear();
  CallHooks.clear();
  InHook = false;
  Injections.clear();
  ShortWriteCount = -1;
  Resources.clear();
  Files.clear();
  Handles.clear();
  NextHandle = 0x1000;
  Clock = 133000000000000000ull;
  CurrentDir = "C:\\";
  MakeNode("C:\\", true);
  MakeFolders("C:\\Windows");
  MakeNode("C:\\Windows\\notepad.exe", false);
  MakeFolders("C:\\users\\setup\\Desktop");
  MakeFolders("C:\\users\\setup\\Start Menu\\Programs");
  Environment.clear();
  Environment["USERPROFILE"] = "C:\\users\\setup";
  VersionMajor = 6;
  VersionMinor = 1;
  BinaryTypes.clear();
  BinaryTypes[Upper("C:\\Windows\\notepad.exe")] = SCS_64BIT_BINARY;
  ScreenWidth = 1024;
  ScreenHeight = 768;
  Windows.clear();
  DialogWindow = nullptr;
  DialogProc = nullptr;
  FocusWindow = nullptr;
  Ended = false;
  EndResult = 0;
  Posted.clear();
  UserScript = nullptr;
  Boxes.clear();
  PickerSteps.clear();
  PickerLog.clear();
  for (ItemList *list : ItemLists) delete list;
  ItemLists.clear();
  ComCount = 0;
  ShellObjects = 0;
  RefuseNextPersistFile = false;
  StretchLog.clear();
}

const std::vector<Call> &Calls() { return CallLog; }
void ClearCalls() { CallLog.clear(); }

std::vector<std::string> Trace(const std::vector<std::string> &names) {
  std::vector<std::string> trace;
  for (const Call &call : CallLog)
    if (names.empty() || std::find(names.begin(), names.end(), call.Name) != names.end())
      trace.push_back(call.Text());
  return trace;
}

void OnCall(const std::string &name, std::function<void()> hook) {
  CallHooks.insert({name, std::move(hook)});
}

int CountCalls(const std::string &name) {
  return int(std::count_if(CallLog.begin(), CallLog.end(),
                           [&](const Call &call) { return call.Name == name; }));
}

void FailCall(const std::string &name, DWORD error, int nth) {
  Injections.insert({name, Injection{error, nth, false}});
}
void FailAlways(const std::string &name, DWORD error) {
  Injections.insert({name, Injection{error, 0, true}});
}
void ShortWrite(DWORD count) { ShortWriteCount = count; }

void AddResource(int type, const std::string &name, const std::vector<BYTE> &data) {
  RemoveResource(type, name);
  Resources.push_back(std::make_unique<HRSRC__>(HRSRC__{type, Upper(name), data}));
}

void RemoveResource(int type, const std::string &name) {
  std::string key = Upper(name);
  Resources.erase(std::remove_if(Resources.begin(), Resources.end(),
                                 [&](const std::unique_ptr<HRSRC__> &r) {
                                   return r->Type == type && r->Name == key;
                                 }),
                  Resources.end());
}

bool LoadResourceFile(const std::string &path) {
  std::ifstream in(path, std::ios::binary);
  std::vector<BYTE> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  if (!in.good() && !in.eof()) return false;
  auto dword = [&](size_t at) {
    return uint32_t(bytes[at] | bytes[at + 1] << 8 | bytes[at + 2] << 16 | uint32_t(bytes[at + 3]) << 24);
  };
  auto word = [&](size_t at) { return uint16_t(bytes[at] | bytes[at + 1] << 8); };
  // A name or type field: 0xFFFF and a number, or UTF-16 text.
  auto field = [&](size_t *at, std::string *text, int *number) {
    if (word(*at) == 0xFFFF) {
      *number = word(*at + 2);
      *at += 4;
      return;
    }
    *number = -1;
    for (uint16_t c = word(*at); c != 0; c = word(*at)) {
      *text += char(c);
      *at += 2;
    }
    *at += 2;
  };
  size_t pos = 0;
  while (pos + 32 <= bytes.size()) {
    uint32_t dataSize = dword(pos);
    uint32_t headerSize = dword(pos + 4);
    if (pos + headerSize + dataSize > bytes.size()) return false;
    size_t at = pos + 8;
    std::string typeName, name;
    int type, id;
    field(&at, &typeName, &type);
    field(&at, &name, &id);
    if (dataSize > 0 && type >= 0) {
      const BYTE *data = bytes.data() + pos + headerSize;
      AddResource(type, id >= 0 ? "#" + std::to_string(id) : name,
                  std::vector<BYTE>(data, data + dataSize));
    }
    pos = (pos + headerSize + dataSize + 3) & ~size_t(3);
  }
  return true;
}

HINSTANCE Instance() { return &TheInstance; }

void AddFolder(const std::string &path) {
  std::string full;
  if (FullPath(path.c_str(), &full)) MakeFolders(full);
}

void AddFile(const std::string &path, const std::vector<BYTE> &data, bool readOnly) {
  std::string full;
  if (!FullPath(path.c_str(), &full)) return;
  MakeFolders(Parent(full));
  FileNode &node = MakeNode(full, false);
  node.Data = data;
  node.ReadOnly = readOnly;
  if (readOnly) node.Attributes = FILE_ATTRIBUTE_READONLY;
}

void RemoveNode(const std::string &path) {
  std::string full;
  if (FullPath(path.c_str(), &full)) Files.erase(Key(full));
}

void DenyCreateIn(const std::string &folder) {
  std::string full;
  if (FullPath(folder.c_str(), &full) && Node(full)) Node(full)->DenyCreate = true;
}

const FileNode *FindNode(const std::string &path) {
  std::string full;
  return FullPath(path.c_str(), &full) ? Node(full) : nullptr;
}

std::vector<std::string> ListPaths() {
  std::vector<std::string> paths;
  for (auto &entry : Files) paths.push_back(entry.second.Path);
  std::sort(paths.begin(), paths.end());
  return paths;
}

std::string CurrentDirectory() { return CurrentDir; }
int OpenHandles() { return int(Handles.size()); }

void SetEnvironment(const std::string &name, const std::string &value) {
  Environment[Upper(name)] = value;
}
void UnsetEnvironment(const std::string &name) { Environment.erase(Upper(name)); }
void SetWindowsVersion(DWORD major, DWORD minor) {
  VersionMajor = major;
  VersionMinor = minor;
}
void SetBinaryType(const std::string &path, DWORD type) { BinaryTypes[Upper(path)] = type; }
void RemoveBinaryType(const std::string &path) { BinaryTypes.erase(Upper(path)); }
void SetScreenSize(int width, int height) {
  ScreenWidth = width;
  ScreenHeight = height;
}

HWND Dialog() { return DialogWindow; }
Window *FindWindow(HWND handle) { return WindowOf(handle); }

Window *Control(int id) {
  for (auto &window : Windows)
    if (window->Data.Parent == DialogWindow && DialogWindow != nullptr && window->Data.Id == id)
      return &window->Data;
  return nullptr;
}

HWND Focus() { return FocusWindow; }
int FocusedId() {
  Window *w = WindowOf(FocusWindow);
  return w != nullptr && w->Parent != nullptr ? w->Id : 0;
}
bool DialogEnded() { return Ended; }
INT_PTR DialogResult() { return EndResult; }
int PostedCount() { return int(Posted.size()); }

HWND OpenDialog(const char *templateName, DLGPROC proc, LPARAM param) {
  HRSRC__ *found = nullptr;
  for (auto &resource : Resources)
    if (resource->Type == 5 && resource->Name == Upper(templateName)) found = resource.get();
  DialogTemplate dialog;
  if (found == nullptr || !ParseDialogTemplate(found->Data.data(), found->Data.size(), &dialog))
    return nullptr;

  RECT frame{DialogX(dialog.X), DialogY(dialog.Y), DialogX(dialog.X + dialog.Width) + 6,
             DialogY(dialog.Y + dialog.Height) + 25};
  DialogWindow = NewWindow(nullptr, 0, "#32770", dialog.Caption, LONG(dialog.Style), frame);
  for (const DialogItemTemplate &item : dialog.Items) {
    RECT rect{frame.left + DialogX(item.X), frame.top + DialogY(item.Y),
              frame.left + DialogX(item.X + item.Width), frame.top + DialogY(item.Y + item.Height)};
    std::string itemClass = item.ClassAtom ? ClassFromAtom(item.ClassAtom) : item.ClassName;
    NewWindow(DialogWindow, item.Id, itemClass, item.Text, LONG(item.Style), rect);
  }
  DialogProc = proc;
  Ended = false;
  FocusWindow = nullptr;
  if (CallDialog(WM_INITDIALOG, 0, param)) SetDefaultFocus();
  return DialogWindow;
}

bool DispatchPosted() {
  if (Posted.empty() || Ended) return false;
  Message message = Posted.front();
  Posted.pop_front();
  CallDialog(message.Msg, message.WParam, message.LParam);
  return true;
}

void DispatchAllPosted() {
  while (DispatchPosted()) {
  }
}

INT_PTR Click(int id) { return CallDialog(WM_COMMAND, WPARAM(id) | (BN_CLICKED << 16), 0); }

INT_PTR SendToDialog(UINT message, WPARAM wParam, LPARAM lParam) {
  return CallDialog(message, wParam, lParam);
}

INT_PTR PressEscape() { return CallDialog(WM_COMMAND, IDCANCEL, 0); }

INT_PTR PressEnter() {
  Window *focus = WindowOf(FocusWindow);
  int id = focus != nullptr && focus->Class == "Button" ? focus->Id : IDOK;
  return CallDialog(WM_COMMAND, WPARAM(id), 0);
}

INT_PTR CloseBox() { return CallDialog(WM_CLOSE, 0, 0); }

void SetUserScript(std::function<bool()> script) { UserScript = std::move(script); }

const std::vector<Box> &MessageBoxes() { return Boxes; }

void QueuePicker(Picker action, const std::string &path) { PickerSteps.push_back({action, path}); }
const std::vector<PickerCall> &PickerCalls() { return PickerLog; }
int OutstandingItemLists() { return int(ItemLists.size()); }

int ComOpenCount() { return ComCount; }
int LiveShellObjects() { return ShellObjects; }
void RefusePersistFile() { RefuseNextPersistFile = true; }

const std::vector<StretchCall> &StretchCalls() { return StretchLog; }

COLORREF SysColor(int index) {
  // Distinct, recognisable values for the two colours the wizard asks for.
  if (index == COLOR_BTNFACE) return 0xF0F0F0;
  if (index == COLOR_BTNTEXT) return 0x101010;
  return 0x808080;
}

}  // namespace Host
