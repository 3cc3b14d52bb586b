// Gridmark, the Outline Designer: shows a .gmd outline document as a tree.
// The format is described to the user in Gridmark.HLP ("The outline format").
#include <windows.h>
#include <commctrl.h>
#include <commdlg.h>
#include <stdarg.h>
#include <stdio.h>

#include "program_text.h"
#include "resource.h"

// An outline is read whole into one buffer; the samples are under 20 KB.
#define MAX_DOCUMENT 262144
// Nesting deeper than this hangs at the deepest level.
#define MAX_LEVELS 32

static const char ClassName[] = "GridmarkOutline";
static const char AppTitle[] = "Outline Designer";
static const char Signature[] = "GRIDMARK OUTLINE 1";

static HINSTANCE AppInstance;
static HWND MainWindow;
static HWND TreeWindow;
static HWND StatusWindow;
static char ProgramFolder[MAX_PATH];  // ends with a backslash
static char DocumentPath[MAX_PATH];   // empty while no outline is open
static char DocumentTitle[128];
static char DocumentAuthor[128];
static char DocumentText[MAX_DOCUMENT + 1];
static int ItemCount;
static int LevelCount;

static void ShowError(const char* format, ...)
{
    char text[768];
    va_list args;
    va_start(args, format);
    _vsnprintf(text, sizeof text - 1, format, args);
    text[sizeof text - 1] = 0;
    va_end(args);
    MessageBoxA(MainWindow, text, AppTitle, MB_OK | MB_ICONEXCLAMATION);
}

static void SetProgramFolder()
{
    FileBesideProgram("", ProgramFolder);
}

static void UpdateTitles()
{
    char caption[MAX_PATH + 32];
    char status[320];
    if (DocumentPath[0]) {
        FormatText(caption, sizeof caption, "%s - %s", AppTitle, FileNamePart(DocumentPath));
        const char* title = DocumentTitle[0] ? DocumentTitle : FileNamePart(DocumentPath);
        if (DocumentAuthor[0])
            FormatText(status, sizeof status, "%s, by %s: %d items in %d levels", title,
                       DocumentAuthor, ItemCount, LevelCount);
        else
            FormatText(status, sizeof status, "%s: %d items in %d levels", title, ItemCount,
                       LevelCount);
    } else {
        lstrcpynA(caption, AppTitle, sizeof caption);
        lstrcpynA(status, "No outline open: choose File, Open.", sizeof status);
    }
    SetWindowTextA(MainWindow, caption);
    SendMessageA(StatusWindow, SB_SETTEXTA, 0, (LPARAM)status);
}

// Cuts the next line out of the text in place (CR LF or LF endings);
// null at the end of the text.
static char* CutLine(char** cursor)
{
    char* line = *cursor;
    if (!*line)
        return NULL;
    char* end = line;
    while (*end && *end != '\n')
        end++;
    *cursor = *end ? end + 1 : end;
    *end = 0;
    if (end > line && end[-1] == '\r')
        end[-1] = 0;
    return line;
}

static void TrimRight(char* text)
{
    int length = lstrlenA(text);
    while (length > 0 && (text[length - 1] == ' ' || text[length - 1] == '\t'))
        text[--length] = 0;
}

// "Title: text" and the like; only before the first item.
static int TakeHeaderField(const char* line, const char* name, char* value, int capacity)
{
    for (; *name; line++, name++) {
        char a = *line, b = *name;
        if (a >= 'a' && a <= 'z')
            a -= 'a' - 'A';
        if (b >= 'a' && b <= 'z')
            b -= 'a' - 'A';
        if (a != b)
            return 0;
    }
    while (*line == ' ' || *line == '\t')
        line++;
    lstrcpynA(value, line, capacity);
    return 1;
}

static void AddItems(char* cursor)
{
    HTREEITEM parents[MAX_LEVELS] = {};
    int lastLevel = -1;
    char* line;
    while ((line = CutLine(&cursor)) != NULL) {
        TrimRight(line);
        if (ItemCount == 0 && (TakeHeaderField(line, "Title:", DocumentTitle, sizeof DocumentTitle) ||
                               TakeHeaderField(line, "Author:", DocumentAuthor, sizeof DocumentAuthor)))
            continue;
        // One level per tab or per pair of spaces.
        int level = 0;
        char* text = line;
        for (;;) {
            if (text[0] == '\t')
                text++;
            else if (text[0] == ' ' && text[1] == ' ')
                text += 2;
            else
                break;
            level++;
        }
        while (*text == ' ')
            text++;
        if (!*text || *text == ';')
            continue;
        // A child may not skip a level: it hangs under the item above it.
        if (level > lastLevel + 1)
            level = lastLevel + 1;
        if (level >= MAX_LEVELS)
            level = MAX_LEVELS - 1;

        TVINSERTSTRUCTA insert;
        ZeroMemory(&insert, sizeof insert);
        insert.hParent = level ? parents[level - 1] : TVI_ROOT;
        insert.hInsertAfter = TVI_LAST;
        insert.item.mask = TVIF_TEXT | TVIF_STATE;
        insert.item.state = TVIS_EXPANDED;
        insert.item.stateMask = TVIS_EXPANDED;
        insert.item.pszText = text;
        parents[level] = (HTREEITEM)SendMessageA(TreeWindow, TVM_INSERTITEMA, 0, (LPARAM)&insert);
        lastLevel = level;
        ItemCount++;
        if (level + 1 > LevelCount)
            LevelCount = level + 1;
    }
}

static int LoadOutline(const char* path)
{
    char fullPath[MAX_PATH];
    char* namePart;
    DWORD length = GetFullPathNameA(path, MAX_PATH, fullPath, &namePart);
    if (length == 0 || length >= MAX_PATH)
        lstrcpynA(fullPath, path, MAX_PATH);

    HANDLE file = CreateFileA(fullPath, GENERIC_READ, FILE_SHARE_READ, NULL, OPEN_EXISTING,
                              FILE_ATTRIBUTE_NORMAL, NULL);
    if (file == INVALID_HANDLE_VALUE) {
        ShowError("Cannot open the outline\n%s\n\nWindows error %lu.", fullPath, GetLastError());
        return 0;
    }
    DWORD size = GetFileSize(file, NULL);
    if (size > MAX_DOCUMENT) {
        CloseHandle(file);
        ShowError("The outline\n%s\nis larger than %d KB.", fullPath, MAX_DOCUMENT / 1024);
        return 0;
    }
    DWORD read = 0;
    BOOL done = ReadFile(file, DocumentText, size, &read, NULL);
    DWORD error = GetLastError();
    CloseHandle(file);
    if (!done || read != size) {
        ShowError("Cannot read the outline\n%s\n\nWindows error %lu.", fullPath, error);
        return 0;
    }
    DocumentText[size] = 0;

    char* cursor = DocumentText;
    char* first = CutLine(&cursor);
    if (first)
        TrimRight(first);
    if (!first || lstrcmpA(first, Signature) != 0) {
        ShowError("%s\nis not a Gridmark outline: its first line must be \"%s\".", fullPath,
                  Signature);
        return 0;
    }

    lstrcpynA(DocumentPath, fullPath, MAX_PATH);
    DocumentTitle[0] = 0;
    DocumentAuthor[0] = 0;
    ItemCount = 0;
    LevelCount = 0;
    SendMessageA(TreeWindow, WM_SETREDRAW, FALSE, 0);
    TreeView_DeleteAllItems(TreeWindow);
    AddItems(cursor);
    SendMessageA(TreeWindow, WM_SETREDRAW, TRUE, 0);
    HTREEITEM top = TreeView_GetRoot(TreeWindow);
    if (top) {
        TreeView_SelectItem(TreeWindow, top);
        TreeView_EnsureVisible(TreeWindow, top);
    }
    InvalidateRect(TreeWindow, NULL, TRUE);
    UpdateTitles();
    return 1;
}

static void ExpandBranch(HTREEITEM item, UINT action)
{
    while (item) {
        HTREEITEM child = TreeView_GetChild(TreeWindow, item);
        if (child) {
            ExpandBranch(child, action);
            TreeView_Expand(TreeWindow, item, action);
        }
        item = TreeView_GetNextSibling(TreeWindow, item);
    }
}

static void ExpandAll(UINT action)
{
    SendMessageA(TreeWindow, WM_SETREDRAW, FALSE, 0);
    ExpandBranch(TreeView_GetRoot(TreeWindow), action);
    SendMessageA(TreeWindow, WM_SETREDRAW, TRUE, 0);
    HTREEITEM selected = TreeView_GetSelection(TreeWindow);
    if (selected)
        TreeView_EnsureVisible(TreeWindow, selected);
    InvalidateRect(TreeWindow, NULL, TRUE);
}

static void OnOpen()
{
    char path[MAX_PATH];
    char folder[MAX_PATH];
    path[0] = 0;
    lstrcpynA(folder, DocumentPath[0] ? DocumentPath : ProgramFolder, MAX_PATH);
    *(char*)FileNamePart(folder) = 0;

    OPENFILENAMEA dialog;
    ZeroMemory(&dialog, sizeof dialog);
    dialog.lStructSize = sizeof dialog;
    dialog.hwndOwner = MainWindow;
    dialog.lpstrFilter = "Gridmark outlines (*.gmd)\0*.gmd\0All files (*.*)\0*.*\0";
    dialog.lpstrFile = path;
    dialog.nMaxFile = MAX_PATH;
    dialog.lpstrInitialDir = folder;
    dialog.lpstrTitle = "Open Outline";
    dialog.lpstrDefExt = "gmd";
    dialog.Flags = OFN_FILEMUSTEXIST | OFN_PATHMUSTEXIST | OFN_HIDEREADONLY;
    if (GetOpenFileNameA(&dialog))
        LoadOutline(path);
}

// The help viewer and the help file are installed beside the program.
static void OnHelpContents()
{
    char commandLine[2 * MAX_PATH + 8];
    FormatText(commandLine, sizeof commandLine, "\"%sPagewise.EXE\" \"%sGridmark.HLP\"",
               ProgramFolder, ProgramFolder);
    STARTUPINFOA startup;
    ZeroMemory(&startup, sizeof startup);
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process;
    if (!CreateProcessA(NULL, commandLine, NULL, NULL, FALSE, 0, NULL, NULL, &startup, &process)) {
        ShowError("Cannot start the help viewer\n%sPagewise.EXE\n\nWindows error %lu.",
                  ProgramFolder, GetLastError());
        return;
    }
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
}

static void OnAbout()
{
    MSGBOXPARAMSA box;
    ZeroMemory(&box, sizeof box);
    box.cbSize = sizeof box;
    box.hwndOwner = MainWindow;
    box.hInstance = AppInstance;
    box.lpszText = "Gridmark 1.37\nOutline Designer\n\nCopyright (c) 2026 Veltrane";
    box.lpszCaption = "About Gridmark";
    box.dwStyle = MB_OK | MB_USERICON;
    box.lpszIcon = MAKEINTRESOURCEA(IDI_GRIDMARK);
    MessageBoxIndirectA(&box);
}

static LRESULT CALLBACK MainWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_CREATE:
        TreeWindow = CreateWindowExA(WS_EX_CLIENTEDGE, WC_TREEVIEWA, "",
                                     WS_CHILD | WS_VISIBLE | WS_TABSTOP | TVS_HASLINES |
                                         TVS_HASBUTTONS | TVS_LINESATROOT | TVS_SHOWSELALWAYS,
                                     0, 0, 0, 0, window, (HMENU)IDC_TREE, AppInstance, NULL);
        StatusWindow = CreateWindowExA(0, STATUSCLASSNAMEA, "", WS_CHILD | WS_VISIBLE | SBARS_SIZEGRIP,
                                       0, 0, 0, 0, window, (HMENU)IDC_STATUS, AppInstance, NULL);
        if (!TreeWindow || !StatusWindow)
            return -1;
        SendMessageA(TreeWindow, WM_SETFONT, (WPARAM)GetStockObject(DEFAULT_GUI_FONT), FALSE);
        return 0;

    case WM_SIZE: {
        SendMessageA(StatusWindow, WM_SIZE, 0, 0);
        RECT status;
        GetWindowRect(StatusWindow, &status);
        int height = HIWORD(lParam) - (status.bottom - status.top);
        MoveWindow(TreeWindow, 0, 0, LOWORD(lParam), height > 0 ? height : 0, TRUE);
        return 0;
    }

    case WM_SETFOCUS:
        SetFocus(TreeWindow);
        return 0;

    case WM_COMMAND:
        switch (LOWORD(wParam)) {
        case IDM_OPEN:
            OnOpen();
            return 0;
        case IDM_RELOAD:
            if (DocumentPath[0]) {
                char path[MAX_PATH];
                lstrcpynA(path, DocumentPath, MAX_PATH);
                LoadOutline(path);
            }
            return 0;
        case IDM_EXIT:
            DestroyWindow(window);
            return 0;
        case IDM_EXPAND_ALL:
            ExpandAll(TVE_EXPAND);
            return 0;
        case IDM_COLLAPSE_ALL:
            ExpandAll(TVE_COLLAPSE);
            return 0;
        case IDM_HELP_CONTENTS:
            OnHelpContents();
            return 0;
        case IDM_ABOUT:
            OnAbout();
            return 0;
        }
        break;

    case WM_DESTROY:
        PostQuitMessage(0);
        return 0;
    }
    return DefWindowProcA(window, message, wParam, lParam);
}

static void OpenFirstSample()
{
    char path[MAX_PATH];
    for (int number = 1; number <= 9; number++) {
        FormatText(path, sizeof path, "%sSample%d.gmd", ProgramFolder, number);
        if (GetFileAttributesA(path) != INVALID_FILE_ATTRIBUTES) {
            LoadOutline(path);
            return;
        }
    }
}

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR commandLine, int showCommand)
{
    AppInstance = instance;
    INITCOMMONCONTROLSEX controls;
    controls.dwSize = sizeof controls;
    controls.dwICC = ICC_TREEVIEW_CLASSES | ICC_BAR_CLASSES;
    InitCommonControlsEx(&controls);
    SetProgramFolder();

    WNDCLASSA windowClass;
    ZeroMemory(&windowClass, sizeof windowClass);
    windowClass.lpfnWndProc = MainWindowProc;
    windowClass.hInstance = instance;
    windowClass.hIcon = LoadIconA(instance, MAKEINTRESOURCEA(IDI_GRIDMARK));
    windowClass.hCursor = LoadCursorA(NULL, IDC_ARROW);
    windowClass.hbrBackground = (HBRUSH)(COLOR_BTNFACE + 1);
    windowClass.lpszMenuName = MAKEINTRESOURCEA(IDR_MAINMENU);
    windowClass.lpszClassName = ClassName;
    if (!RegisterClassA(&windowClass))
        return 1;
    MainWindow = CreateWindowExA(0, ClassName, AppTitle, WS_OVERLAPPEDWINDOW, CW_USEDEFAULT,
                                 CW_USEDEFAULT, 520, 600, NULL, NULL, instance, NULL);
    if (!MainWindow)
        return 1;
    ShowWindow(MainWindow, showCommand);
    UpdateWindow(MainWindow);

    char path[MAX_PATH];
    TakeArgument(commandLine, path, MAX_PATH);
    if (path[0])
        LoadOutline(path);
    else
        OpenFirstSample();
    if (!DocumentPath[0])
        UpdateTitles();

    HACCEL accelerators = LoadAcceleratorsA(instance, MAKEINTRESOURCEA(IDR_ACCELERATORS));
    MSG message;
    while (GetMessageA(&message, NULL, 0, 0) > 0) {
        if (!TranslateAcceleratorA(MainWindow, accelerators, &message)) {
            TranslateMessage(&message);
            DispatchMessageA(&message);
        }
    }
    return (int)message.wParam;
}
