// Pagewise: shows a help file page by page. Lines starting with "# " are
// headings (they also fill the Topics menu), "## " subheadings, four spaces
// an example in a fixed-pitch face; tabs align columns.
#include <windows.h>
#include <stdarg.h>
#include <stdio.h>

#include "program_text.h"
#include "resource.h"

#define MAX_HELP 65536   // bytes of one help file
#define MAX_LINES 4096   // lines shown of it
#define MAX_TOPICS 64    // entries of the Topics menu
#define MARGIN 12        // pixels around the text

enum { KIND_BODY, KIND_HEADING, KIND_SUBHEADING, KIND_EXAMPLE };

static const char ClassName[] = "PagewiseViewer";
static const char AppTitle[] = "Pagewise";
static const char Signature[] = "GRIDMARK HELP 1";
static const COLORREF HeadingColour = RGB(0x1F, 0x3A, 0x5F);
static const COLORREF RuleColour = RGB(0xE8, 0x7A, 0x1E);

static HINSTANCE AppInstance;
static HWND MainWindow;
static char HelpPath[MAX_PATH];
static char HelpText[MAX_HELP + 1];
static char* LineText[MAX_LINES];
static unsigned char LineKind[MAX_LINES];
static int LineTop[MAX_LINES + 1];  // in document pixels; the last is the end
static int LineCount;
static int TopicLine[MAX_TOPICS];
static int TopicCount;
static int DocumentHeight;
static HFONT BodyFont, HeadingFont, SubheadingFont, ExampleFont, StatusFont;
static int BodyHeight, HeadingHeight, SubheadingHeight, ExampleHeight;
static int TabStops[3];  // an indent and two columns, from the body's average character
static int ViewWidth, ViewHeight, StatusHeight;
static int ScrollY;

static int LoadHelp(const char* path)
{
    HANDLE file = CreateFileA(path, GENERIC_READ, FILE_SHARE_READ, NULL, OPEN_EXISTING,
                              FILE_ATTRIBUTE_NORMAL, NULL);
    if (file == INVALID_HANDLE_VALUE)
        return 0;
    DWORD size = GetFileSize(file, NULL);
    if (size > MAX_HELP)
        size = MAX_HELP;  // show what fits
    DWORD read = 0;
    BOOL done = ReadFile(file, HelpText, size, &read, NULL);
    CloseHandle(file);
    if (!done)
        return 0;
    HelpText[read] = 0;

    // Cut the text into lines in place; CR LF or LF endings.
    LineCount = 0;
    TopicCount = 0;
    char* cursor = HelpText;
    while (*cursor && LineCount < MAX_LINES) {
        char* line = cursor;
        while (*cursor && *cursor != '\n')
            cursor++;
        if (*cursor)
            *cursor++ = 0;
        int length = lstrlenA(line);
        if (length > 0 && line[length - 1] == '\r')
            line[--length] = 0;
        if (LineCount == 0 && lstrcmpA(line, Signature) == 0)
            continue;
        unsigned char kind = KIND_BODY;
        if (line[0] == '#' && line[1] == ' ') {
            kind = KIND_HEADING;
            line += 2;
            if (TopicCount < MAX_TOPICS)
                TopicLine[TopicCount++] = LineCount;
        } else if (line[0] == '#' && line[1] == '#' && line[2] == ' ') {
            kind = KIND_SUBHEADING;
            line += 3;
        } else if (line[0] == ' ' && line[1] == ' ' && line[2] == ' ' && line[3] == ' ') {
            kind = KIND_EXAMPLE;
            line += 4;
        }
        LineText[LineCount] = line;
        LineKind[LineCount] = (unsigned char)kind;
        LineCount++;
    }
    return 1;
}

// The pitch and family let the font mapper find a stand-in for a missing face.
static HFONT MakeFont(HDC dc, const char* face, BYTE pitchAndFamily, int points, int weight,
                      int* lineHeight, int* averageWidth)
{
    HFONT font = CreateFontA(-MulDiv(points, GetDeviceCaps(dc, LOGPIXELSY), 72), 0, 0, 0, weight,
                             FALSE, FALSE, FALSE, DEFAULT_CHARSET, OUT_DEFAULT_PRECIS,
                             CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY, pitchAndFamily, face);
    HGDIOBJ old = SelectObject(dc, font);
    TEXTMETRICA metrics;
    GetTextMetricsA(dc, &metrics);
    *lineHeight = metrics.tmHeight + metrics.tmExternalLeading;
    *averageWidth = metrics.tmAveCharWidth;
    SelectObject(dc, old);
    return font;
}

static void CreateFonts()
{
    HDC dc = GetDC(MainWindow);
    const BYTE Swiss = VARIABLE_PITCH | FF_SWISS;
    int average, unused, statusLine;
    BodyFont = MakeFont(dc, "Tahoma", Swiss, 10, FW_NORMAL, &BodyHeight, &average);
    HeadingFont = MakeFont(dc, "Tahoma", Swiss, 15, FW_BOLD, &HeadingHeight, &unused);
    SubheadingFont = MakeFont(dc, "Tahoma", Swiss, 11, FW_BOLD, &SubheadingHeight, &unused);
    ExampleFont = MakeFont(dc, "Courier New", FIXED_PITCH | FF_MODERN, 10, FW_NORMAL,
                           &ExampleHeight, &unused);
    StatusFont = MakeFont(dc, "Tahoma", Swiss, 9, FW_BOLD, &statusLine, &unused);
    StatusHeight = statusLine + 8;
    TabStops[0] = 3 * average;
    TabStops[1] = 18 * average;
    TabStops[2] = 28 * average;
    ReleaseDC(MainWindow, dc);
}

// Headings get room above them and, level one, a rule below.
static void LayOut()
{
    int y = MARGIN;
    for (int i = 0; i < LineCount; i++) {
        if (LineKind[i] == KIND_HEADING) {
            if (i > 0)
                y += BodyHeight;
            LineTop[i] = y;
            y += HeadingHeight + 6;
        } else if (LineKind[i] == KIND_SUBHEADING) {
            if (i > 0)
                y += BodyHeight / 2;
            LineTop[i] = y;
            y += SubheadingHeight + 2;
        } else {
            LineTop[i] = y;
            y += LineKind[i] == KIND_EXAMPLE ? ExampleHeight : BodyHeight;
        }
    }
    LineTop[LineCount] = y;
    DocumentHeight = y + MARGIN;
}

// One page is the view less one line, which stays in sight when turning.
static int PageStep()
{
    int step = ViewHeight - BodyHeight;
    return step > BodyHeight ? step : BodyHeight;
}

static int LastScroll()
{
    return DocumentHeight > ViewHeight ? DocumentHeight - ViewHeight : 0;
}

static int PageCount()
{
    int last = LastScroll();
    return last ? (last + PageStep() - 1) / PageStep() + 1 : 1;
}

static int CurrentPage()
{
    if (ScrollY >= LastScroll())
        return PageCount();
    return ScrollY / PageStep() + 1;
}

static void ScrollTo(int y)
{
    if (y > LastScroll())
        y = LastScroll();
    if (y < 0)
        y = 0;
    ScrollY = y;
    SCROLLINFO info;
    info.cbSize = sizeof info;
    info.fMask = SIF_RANGE | SIF_PAGE | SIF_POS | SIF_DISABLENOSCROLL;
    info.nMin = 0;
    info.nMax = DocumentHeight > 0 ? DocumentHeight - 1 : 0;
    info.nPage = ViewHeight > 0 ? ViewHeight : 0;
    info.nPos = ScrollY;
    SetScrollInfo(MainWindow, SB_VERT, &info, TRUE);
    InvalidateRect(MainWindow, NULL, FALSE);
}

static void TurnPage(int pages)
{
    int step = PageStep();
    int page = pages > 0 ? ScrollY / step + pages : (ScrollY + step - 1) / step + pages;
    ScrollTo(page * step);
}

static void FillTopicsMenu()
{
    HMENU topics = GetSubMenu(GetMenu(MainWindow), 2);
    if (!topics || TopicCount == 0)
        return;
    while (GetMenuItemCount(topics) > 0)
        DeleteMenu(topics, 0, MF_BYPOSITION);
    for (int i = 0; i < TopicCount; i++)
        AppendMenuA(topics, MF_STRING, IDM_TOPIC_FIRST + i, LineText[TopicLine[i]]);
    DrawMenuBar(MainWindow);
}

static void Paint(HDC dc)
{
    RECT view = { 0, 0, ViewWidth, ViewHeight };
    FillRect(dc, &view, (HBRUSH)(COLOR_WINDOW + 1));
    SetBkMode(dc, TRANSPARENT);
    HGDIOBJ oldFont = SelectObject(dc, BodyFont);
    HBRUSH rule = CreateSolidBrush(RuleColour);
    IntersectClipRect(dc, 0, 0, ViewWidth, ViewHeight);
    for (int i = 0; i < LineCount; i++) {
        if (LineTop[i + 1] <= ScrollY)
            continue;
        int y = LineTop[i] - ScrollY;
        if (y >= ViewHeight)
            break;
        switch (LineKind[i]) {
        case KIND_HEADING:
            SelectObject(dc, HeadingFont);
            SetTextColor(dc, HeadingColour);
            break;
        case KIND_SUBHEADING:
            SelectObject(dc, SubheadingFont);
            SetTextColor(dc, HeadingColour);
            break;
        case KIND_EXAMPLE:
            SelectObject(dc, ExampleFont);
            SetTextColor(dc, HeadingColour);
            break;
        default:
            SelectObject(dc, BodyFont);
            SetTextColor(dc, GetSysColor(COLOR_WINDOWTEXT));
            break;
        }
        int x = LineKind[i] == KIND_EXAMPLE ? MARGIN + TabStops[0] : MARGIN;
        TabbedTextOutA(dc, x, y, LineText[i], lstrlenA(LineText[i]), 3, TabStops, MARGIN);
        if (LineKind[i] == KIND_HEADING) {
            RECT line = { MARGIN, y + HeadingHeight + 2, ViewWidth - MARGIN, y + HeadingHeight + 4 };
            FillRect(dc, &line, rule);
        }
    }
    SelectClipRgn(dc, NULL);
    DeleteObject(rule);

    RECT status = { 0, ViewHeight, ViewWidth, ViewHeight + StatusHeight };
    FillRect(dc, &status, (HBRUSH)(COLOR_BTNFACE + 1));
    RECT edge = { 0, ViewHeight, ViewWidth, ViewHeight + 1 };
    FillRect(dc, &edge, (HBRUSH)(COLOR_BTNSHADOW + 1));
    SelectObject(dc, StatusFont);
    SetTextColor(dc, GetSysColor(COLOR_BTNTEXT));
    char text[64];
    FormatText(text, sizeof text, "Page %d of %d", CurrentPage(), PageCount());
    status.left += MARGIN;
    status.right -= MARGIN;
    DrawTextA(dc, text, -1, &status, DT_LEFT | DT_VCENTER | DT_SINGLELINE | DT_NOPREFIX);
    DrawTextA(dc, "PgUp, PgDn: turn the page", -1, &status,
              DT_RIGHT | DT_VCENTER | DT_SINGLELINE | DT_NOPREFIX);
    SelectObject(dc, oldFont);
}

static LRESULT CALLBACK MainWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_CREATE:
        MainWindow = window;  // WM_SIZE comes before CreateWindowExA returns
        return 0;

    case WM_SIZE:
        ViewWidth = LOWORD(lParam);
        ViewHeight = HIWORD(lParam) - StatusHeight;
        if (ViewHeight < 0)
            ViewHeight = 0;
        ScrollTo(ScrollY);
        return 0;

    case WM_PAINT: {
        PAINTSTRUCT paint;
        HDC dc = BeginPaint(window, &paint);
        Paint(dc);
        EndPaint(window, &paint);
        return 0;
    }

    case WM_ERASEBKGND:
        return 1;  // Paint covers the whole client area

    case WM_KEYDOWN:
        switch (wParam) {
        case VK_NEXT:
        case VK_SPACE:
            TurnPage(1);
            return 0;
        case VK_PRIOR:
        case VK_BACK:
            TurnPage(-1);
            return 0;
        case VK_DOWN:
            ScrollTo(ScrollY + BodyHeight);
            return 0;
        case VK_UP:
            ScrollTo(ScrollY - BodyHeight);
            return 0;
        case VK_HOME:
            ScrollTo(0);
            return 0;
        case VK_END:
            ScrollTo(LastScroll());
            return 0;
        case VK_ESCAPE:
            DestroyWindow(window);
            return 0;
        }
        break;

    case WM_MOUSEWHEEL:
        ScrollTo(ScrollY - (short)HIWORD(wParam) * 3 * BodyHeight / WHEEL_DELTA);
        return 0;

    case WM_VSCROLL:
        switch (LOWORD(wParam)) {
        case SB_LINEDOWN:
            ScrollTo(ScrollY + BodyHeight);
            break;
        case SB_LINEUP:
            ScrollTo(ScrollY - BodyHeight);
            break;
        case SB_PAGEDOWN:
            TurnPage(1);
            break;
        case SB_PAGEUP:
            TurnPage(-1);
            break;
        case SB_TOP:
            ScrollTo(0);
            break;
        case SB_BOTTOM:
            ScrollTo(LastScroll());
            break;
        case SB_THUMBTRACK:
        case SB_THUMBPOSITION: {
            SCROLLINFO info;
            info.cbSize = sizeof info;
            info.fMask = SIF_TRACKPOS;
            GetScrollInfo(window, SB_VERT, &info);
            ScrollTo(info.nTrackPos);
            break;
        }
        }
        return 0;

    case WM_COMMAND: {
        int command = LOWORD(wParam);
        if (command >= IDM_TOPIC_FIRST && command < IDM_TOPIC_FIRST + TopicCount) {
            ScrollTo(LineTop[TopicLine[command - IDM_TOPIC_FIRST]] - MARGIN);
            return 0;
        }
        switch (command) {
        case IDM_EXIT:
            DestroyWindow(window);
            return 0;
        case IDM_NEXT_PAGE:
            TurnPage(1);
            return 0;
        case IDM_PREVIOUS_PAGE:
            TurnPage(-1);
            return 0;
        case IDM_FIRST_PAGE:
            ScrollTo(0);
            return 0;
        case IDM_LAST_PAGE:
            ScrollTo(LastScroll());
            return 0;
        }
        break;
    }

    case WM_DESTROY:
        PostQuitMessage(0);
        return 0;
    }
    return DefWindowProcA(window, message, wParam, lParam);
}

// The help file named on the command line, else Gridmark.HLP beside the program.
static void ChooseHelpPath(const char* commandLine)
{
    TakeArgument(commandLine, HelpPath, MAX_PATH);
    if (HelpPath[0] == 0)
        FileBesideProgram("Gridmark.HLP", HelpPath);
}

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR commandLine, int showCommand)
{
    AppInstance = instance;
    ChooseHelpPath(commandLine);
    if (!LoadHelp(HelpPath)) {
        char text[MAX_PATH + 64];
        FormatText(text, sizeof text, "Cannot read the help file\n%s\n\nWindows error %lu.",
                   HelpPath, GetLastError());
        MessageBoxA(NULL, text, AppTitle, MB_OK | MB_ICONEXCLAMATION);
        return 1;
    }

    WNDCLASSA windowClass;
    ZeroMemory(&windowClass, sizeof windowClass);
    windowClass.style = CS_HREDRAW | CS_VREDRAW;
    windowClass.lpfnWndProc = MainWindowProc;
    windowClass.hInstance = instance;
    windowClass.hIcon = LoadIconA(instance, MAKEINTRESOURCEA(IDI_PAGEWISE));
    windowClass.hCursor = LoadCursorA(NULL, IDC_ARROW);
    windowClass.lpszMenuName = MAKEINTRESOURCEA(IDR_MAINMENU);
    windowClass.lpszClassName = ClassName;
    if (!RegisterClassA(&windowClass))
        return 1;

    char caption[MAX_PATH + 16];
    FormatText(caption, sizeof caption, "%s - %s", FileNamePart(HelpPath), AppTitle);
    MainWindow = CreateWindowExA(0, ClassName, caption, WS_OVERLAPPEDWINDOW | WS_VSCROLL,
                                 CW_USEDEFAULT, CW_USEDEFAULT, 540, 640, NULL, NULL, instance, NULL);
    if (!MainWindow)
        return 1;
    CreateFonts();
    LayOut();
    FillTopicsMenu();
    RECT client;
    GetClientRect(MainWindow, &client);
    SendMessageA(MainWindow, WM_SIZE, SIZE_RESTORED, MAKELPARAM(client.right, client.bottom));
    ShowWindow(MainWindow, showCommand);
    UpdateWindow(MainWindow);

    MSG message;
    while (GetMessageA(&message, NULL, 0, 0) > 0) {
        TranslateMessage(&message);
        DispatchMessageA(&message);
    }
    return (int)message.wParam;
}
