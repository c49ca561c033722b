#include "gui_test_support.h"

#include <commctrl.h>

#include <cstdio>
#include <cwchar>
#include <deque>

#include <gtest/gtest.h>

#include "common/message_box.h"

namespace guitest {
namespace {

std::vector<RecordedBox> g_boxes;
std::deque<int> g_queuedAnswers;
int g_defaultAnswer = IDOK;

void PrintBox(const RecordedBox& box) {
    std::wstring line = L"BOX[" + box.caption + L"|" + box.text;
    for (wchar_t c : line) {
        if (c == L'\r') std::fputs("\\r", stderr);
        else if (c == L'\n') std::fputs("\\n", stderr);
        else std::fputc(c < 0x80 ? static_cast<char>(c) : '?', stderr);
    }
    const char* owner = box.owner == nullptr ? "none" : box.owner == GetDesktopWindow() ? "desktop" : "window";
    std::fprintf(stderr, "|0x%X|%s\n", box.flags, owner);
    std::fflush(stderr);
}

int RecordBox(HWND owner, const wchar_t* text, const wchar_t* caption, UINT flags) {
    g_boxes.push_back({owner, text ? text : L"", caption ? caption : L"", flags, caption != nullptr});
    PrintBox(g_boxes.back());
    if (g_queuedAnswers.empty()) return g_defaultAnswer;
    const int answer = g_queuedAnswers.front();
    g_queuedAnswers.pop_front();
    return answer;
}

constexpr wchar_t kStandInClass[] = L"QaxSheetStandIn";
int g_changedCount = 0;

LRESULT CALLBACK StandInProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == PSM_CHANGED) {
        ++g_changedCount;
        return 0;
    }
    return DefWindowProcW(window, message, wParam, lParam);
}

void RegisterStandInClass() {
    static bool registered = false;
    if (registered) return;
    INITCOMMONCONTROLSEX controls = {sizeof controls, ICC_LISTVIEW_CLASSES | ICC_STANDARD_CLASSES};
    InitCommonControlsEx(&controls);
    WNDCLASSW windowClass = {};
    windowClass.lpfnWndProc = StandInProc;
    windowClass.hInstance = GetModuleHandleW(nullptr);
    windowClass.lpszClassName = kStandInClass;
    RegisterClassW(&windowClass);
    registered = true;
}

}  // namespace

void RecordBoxes() { SetMessageBoxHandler(RecordBox); }

void StopRecordingBoxes() {
    SetMessageBoxHandler(nullptr);
    g_queuedAnswers.clear();
    g_defaultAnswer = IDOK;
}

std::vector<RecordedBox>& Boxes() { return g_boxes; }
void QueueBoxAnswer(int button) { g_queuedAnswers.push_back(button); }
void SetDefaultBoxAnswer(int button) { g_defaultAnswer = button; }

ScratchDirectory::ScratchDirectory() {
    wchar_t temp[MAX_PATH] = {};
    GetTempPathW(MAX_PATH, temp);
    wchar_t name[MAX_PATH] = {};
    std::swprintf(name, MAX_PATH, L"%lsqax-gui-%lu-%lu", temp, GetCurrentProcessId(), GetTickCount());
    path_ = name;
    CreateDirectoryW(path_.c_str(), nullptr);
}

ScratchDirectory::~ScratchDirectory() {
    WIN32_FIND_DATAW found;
    HANDLE search = FindFirstFileW((path_ + L"\\*").c_str(), &found);
    if (search != INVALID_HANDLE_VALUE) {
        do {
            if (!(found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) DeleteFileW(file(found.cFileName).c_str());
        } while (FindNextFileW(search, &found));
        FindClose(search);
    }
    RemoveDirectoryW(path_.c_str());
}

bool FileExists(const std::wstring& path) { return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

SheetStandIn::SheetStandIn() {
    RegisterStandInClass();
    window_ = CreateWindowExW(0, kStandInClass, L"sheet stand-in", WS_OVERLAPPEDWINDOW, 0, 0, 900, 900, nullptr,
                              nullptr, GetModuleHandleW(nullptr), nullptr);
    g_changedCount = 0;
}

SheetStandIn::~SheetStandIn() {
    if (window_ != nullptr) DestroyWindow(window_);
}

int SheetStandIn::changedCount() const { return g_changedCount; }
void SheetStandIn::resetChanged() { g_changedCount = 0; }

HWND CreatePageFromTemplate(int templateId, HWND parent, DLGPROC proc) {
    return CreateDialogParamW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(templateId), parent, proc, 0);
}

std::wstring ItemText(HWND listView, int row, int column) {
    std::vector<wchar_t> text(8192);
    ListView_GetItemText(listView, row, column, text.data(), static_cast<int>(text.size()));
    return text.data();
}

std::vector<std::wstring> ColumnTexts(HWND listView, int column) {
    std::vector<std::wstring> texts;
    for (int row = 0; row < ListView_GetItemCount(listView); ++row) texts.push_back(ItemText(listView, row, column));
    return texts;
}

void AppendRow(HWND listView, const std::vector<std::wstring>& columns) {
    LVITEMW item = {};
    item.mask = LVIF_TEXT;
    item.iItem = ListView_GetItemCount(listView);
    item.pszText = const_cast<wchar_t*>(columns[0].c_str());
    const int index = ListView_InsertItem(listView, &item);
    for (size_t column = 1; column < columns.size(); ++column) {
        ListView_SetItemText(listView, index, static_cast<int>(column), const_cast<wchar_t*>(columns[column].c_str()));
    }
}

std::wstring WindowText(HWND window) {
    std::vector<wchar_t> text(GetWindowTextLengthW(window) + 1);
    GetWindowTextW(window, text.data(), static_cast<int>(text.size()));
    return text.data();
}

}  // namespace guitest

std::string ReadFileBytes(const std::wstring& path) {
    std::string bytes;
    FILE* file = _wfopen(path.c_str(), L"rb");
    if (file == nullptr) return bytes;
    char chunk[4096];
    size_t n;
    while ((n = std::fread(chunk, 1, sizeof chunk, file)) > 0) bytes.append(chunk, n);
    std::fclose(file);
    return bytes;
}

void WriteFileBytes(const std::wstring& path, const std::string& bytes) {
    FILE* file = _wfopen(path.c_str(), L"wb");
    ASSERT_NE(nullptr, file) << "cannot write the test's file";
    std::fwrite(bytes.data(), 1, bytes.size(), file);
    std::fclose(file);
}
