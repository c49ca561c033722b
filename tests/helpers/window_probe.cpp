// window_probe: looks at another program's windows from the same Wine session.
//   window_probe boxes N SECONDS   answers N message boxes in turn (OK, else Yes, Cancel, No)
//                                  and prints "BOX caption|text" for each (CR and LF as \r \n)
//   window_probe sheet SECONDS     waits for the configuration sheet; prints "SHEET x y w h"
//   window_probe page INDEX        shows page INDEX of the sheet; prints "CURRENT n", the tab
//                                  that the sheet then shows
//   window_probe cancel            presses the sheet's Cancel
//   window_probe windows           prints "WINDOW visible class|title" for each top-level window
// Exit status 0 when everything asked for was found, 1 otherwise.
#include <windows.h>
#include <commctrl.h>

#include <cstdio>
#include <cwchar>
#include <string>

namespace {

constexpr wchar_t kSheetCaption[] = L"Dravik Software - Halvenor (QAX) - Configuration";
constexpr int kMessageBoxTextId = 0xFFFF;

std::wstring WindowText(HWND window) {
    wchar_t text[4096] = {};
    GetWindowTextW(window, text, 4096);
    return text;
}

std::wstring ClassName(HWND window) {
    wchar_t name[256] = {};
    GetClassNameW(window, name, 256);
    return name;
}

void PrintEscaped(const std::wstring& text) {
    for (wchar_t c : text) {
        if (c == L'\r') std::fputs("\\r", stdout);
        else if (c == L'\n') std::fputs("\\n", stdout);
        else std::fputwc(c, stdout);
    }
}

HWND FindMessageBox() {
    struct Search {
        HWND found = nullptr;
    } search;
    EnumWindows(
        [](HWND window, LPARAM data) -> BOOL {
            if (IsWindowVisible(window) && ClassName(window) == L"#32770" && GetDlgItem(window, kMessageBoxTextId)) {
                reinterpret_cast<Search*>(data)->found = window;
                return FALSE;
            }
            return TRUE;
        },
        reinterpret_cast<LPARAM>(&search));
    return search.found;
}

HWND FindSheet() {
    HWND sheet = FindWindowW(L"#32770", kSheetCaption);
    return sheet && IsWindowVisible(sheet) ? sheet : nullptr;
}

template <typename Find>
HWND WaitFor(Find find, double seconds) {
    DWORD start = GetTickCount();
    for (;;) {
        if (HWND window = find()) return window;
        if (GetTickCount() - start > seconds * 1000) return nullptr;
        Sleep(50);
    }
}

// The button that lets the program go on: OK where the box has one, else Yes, Cancel or No.
int AnswerButton(HWND box) {
    for (int id : {IDOK, IDYES, IDCANCEL, IDNO}) {
        if (GetDlgItem(box, id)) return id;
    }
    return IDOK;
}

int AnswerBoxes(int count, double seconds) {
    for (int i = 0; i < count; ++i) {
        HWND box = WaitFor(FindMessageBox, seconds);
        if (box == nullptr) {
            std::printf("NO BOX %d\n", i + 1);
            return 1;
        }
        std::fputs("BOX ", stdout);
        PrintEscaped(WindowText(box));
        std::fputs("|", stdout);
        PrintEscaped(WindowText(GetDlgItem(box, kMessageBoxTextId)));
        std::fputs("\n", stdout);
        std::fflush(stdout);
        PostMessageW(box, WM_COMMAND, AnswerButton(box), 0);
        WaitFor([box]() { return IsWindow(box) ? nullptr : box; }, 10);
    }
    return 0;
}

int ShowSheet(double seconds) {
    HWND sheet = WaitFor(FindSheet, seconds);
    if (sheet == nullptr) return 1;
    RECT rect;
    GetWindowRect(sheet, &rect);
    std::printf("SHEET %ld %ld %ld %ld\n", rect.left, rect.top, rect.right - rect.left, rect.bottom - rect.top);
    return 0;
}

int ShowPage(int index) {
    HWND sheet = FindSheet();
    if (sheet == nullptr) return 1;
    SendMessageW(sheet, PSM_SETCURSEL, index, 0);
    HWND tabs = reinterpret_cast<HWND>(SendMessageW(sheet, PSM_GETTABCONTROL, 0, 0));
    std::printf("CURRENT %d\n", static_cast<int>(SendMessageW(tabs, TCM_GETCURSEL, 0, 0)));
    return 0;
}

int PressCancel() {
    HWND sheet = FindSheet();
    if (sheet == nullptr) return 1;
    PostMessageW(sheet, PSM_PRESSBUTTON, PSBTN_CANCEL, 0);
    return 0;
}

int ListWindows() {
    EnumWindows(
        [](HWND window, LPARAM) -> BOOL {
            std::printf("WINDOW %d ", IsWindowVisible(window) ? 1 : 0);
            PrintEscaped(ClassName(window) + L"|" + WindowText(window));
            std::fputs("\n", stdout);
            return TRUE;
        },
        0);
    return 0;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    std::wstring command = argc > 1 ? argv[1] : L"";
    int result = 2;
    if (command == L"boxes" && argc > 3) result = AnswerBoxes(_wtoi(argv[2]), _wtof(argv[3]));
    else if (command == L"sheet" && argc > 2) result = ShowSheet(_wtof(argv[2]));
    else if (command == L"page" && argc > 2) result = ShowPage(_wtoi(argv[2]));
    else if (command == L"cancel") result = PressCancel();
    else if (command == L"windows") result = ListWindows();
    else std::fputs("usage: window_probe boxes N SECONDS | sheet SECONDS | page INDEX | cancel | windows\n", stderr);
    std::fflush(stdout);
    return result;
}
