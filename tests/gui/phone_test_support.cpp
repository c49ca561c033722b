#include "phone_test_support.h"

#include <wininet.h>

#include <cstdio>
#include <cstdlib>
#include <cwchar>

#include "common/message_box.h"

namespace {

constexpr wchar_t kStandInClass[] = L"QaxPhoneListSheetStandIn";
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

std::vector<RecordedBox> g_boxes;
int g_boxAnswer = IDOK;

int RecordBox(HWND owner, const wchar_t* text, const wchar_t* caption, UINT flags) {
    g_boxes.push_back({owner, text ? text : L"", caption ? caption : L"", flags});
    return g_boxAnswer;
}

}  // namespace

SheetStandIn::SheetStandIn() {
    RegisterStandInClass();
    window_ = CreateWindowExW(0, kStandInClass, L"IP Phone List test", WS_OVERLAPPEDWINDOW, 0, 0, 900, 900, nullptr,
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

AnsweringBoxRecorder::AnsweringBoxRecorder(int answer) {
    g_boxes.clear();
    g_boxAnswer = answer;
    SetMessageBoxHandler(RecordBox);
}

AnsweringBoxRecorder::~AnsweringBoxRecorder() { SetMessageBoxHandler(nullptr); }

const std::vector<RecordedBox>& AnsweringBoxRecorder::boxes() const { return g_boxes; }
void AnsweringBoxRecorder::setAnswer(int answer) { g_boxAnswer = answer; }

ScratchDirectory::ScratchDirectory() {
    wchar_t temp[MAX_PATH] = {};
    GetTempPathW(MAX_PATH, temp);
    wchar_t name[MAX_PATH] = {};
    std::swprintf(name, MAX_PATH, L"%lsqax-phones-%lu-%lu", temp, GetCurrentProcessId(), GetTickCount());
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

bool IsTicked(HWND listView, int row) {
    return (ListView_GetItemState(listView, row, LVIS_STATEIMAGEMASK) & LVIS_STATEIMAGEMASK) == INDEXTOSTATEIMAGEMASK(2);
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


DWORD AcceptCertificateAsUser(HWND, void* request, DWORD error, DWORD) {
    if (error != ERROR_INTERNET_INVALID_CA) return ERROR_CANCELLED;
    DWORD flags = 0;
    DWORD length = sizeof flags;
    InternetQueryOptionW(request, INTERNET_OPTION_SECURITY_FLAGS, &flags, &length);
    flags |= SECURITY_FLAG_IGNORE_UNKNOWN_CA;
    InternetSetOptionW(request, INTERNET_OPTION_SECURITY_FLAGS, &flags, sizeof flags);
    return ERROR_SUCCESS;
}

bool FakeCucmAddress(const char* serverVariable, const char* portVariable, std::wstring* server, DWORD* port) {
    const char* serverText = std::getenv(serverVariable);
    const char* portText = std::getenv(portVariable);
    if (serverText == nullptr || portText == nullptr) return false;
    server->clear();
    for (const char* c = serverText; *c != 0; ++c) server->push_back(static_cast<unsigned char>(*c));
    *port = static_cast<DWORD>(std::strtoul(portText, nullptr, 10));
    return !server->empty() && *port != 0;
}
