// What the Zones and About page tests share: recorded message boxes, the zone tree in the
// registry, a page made from its template under a plain parent window, and phone rows.
#pragma once

#include <windows.h>
#include <commctrl.h>

#include <deque>
#include <string>
#include <vector>

#include "common/message_box.h"
#include "manager/resource.h"
#include "service/config_store.h"

namespace zonetest {

struct RecordedBox {
    HWND owner;
    std::wstring text;
    std::wstring caption;
    bool hasCaption;
    UINT flags;
};

// Records every box shown through the program's message-box function and answers each with
// the next queued button (IDOK when nothing is queued).
class MessageBoxRecorder {
public:
    MessageBoxRecorder() { previous_ = SetMessageBoxHandler(&Record); Boxes().clear(); Answers().clear(); }
    ~MessageBoxRecorder() { SetMessageBoxHandler(previous_); }
    MessageBoxRecorder(const MessageBoxRecorder&) = delete;
    MessageBoxRecorder& operator=(const MessageBoxRecorder&) = delete;

    static std::vector<RecordedBox>& Boxes() {
        static std::vector<RecordedBox> boxes;
        return boxes;
    }
    static void Answer(int button) { Answers().push_back(button); }

private:
    static std::deque<int>& Answers() {
        static std::deque<int> answers;
        return answers;
    }
    static int Record(HWND owner, const wchar_t* text, const wchar_t* caption, UINT flags) {
        Boxes().push_back({owner, text ? text : L"", caption ? caption : L"", caption != nullptr, flags});
        if (Answers().empty()) return IDOK;
        int answer = Answers().front();
        Answers().pop_front();
        return answer;
    }
    MessageBoxHandler previous_;
};

// ---- The zone tree in the registry ----

inline HKEY OpenKey(const std::wstring& path) {
    HKEY key = nullptr;
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, path.c_str(), 0, KEY_ALL_ACCESS, &key) != ERROR_SUCCESS) return nullptr;
    return key;
}

inline bool KeyExists(const std::wstring& path) {
    HKEY key = OpenKey(path);
    if (key == nullptr) return false;
    RegCloseKey(key);
    return true;
}

inline std::wstring ZonePath(const std::wstring& zone) { return std::wstring(kZonesKeyPath) + L"\\" + zone; }

// Subkey names in the registry's enumeration order.
inline std::vector<std::wstring> SubkeyNames(const std::wstring& path) {
    std::vector<std::wstring> names;
    HKEY key = OpenKey(path);
    if (key == nullptr) return names;
    for (DWORD i = 0;; ++i) {
        wchar_t name[256];
        DWORD length = 256;
        if (RegEnumKeyExW(key, i, name, &length, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS) break;
        names.push_back(name);
    }
    RegCloseKey(key);
    return names;
}

inline DWORD ValueCount(const std::wstring& path) {
    DWORD values = 0;
    HKEY key = OpenKey(path);
    if (key == nullptr) return 0;
    RegQueryInfoKeyW(key, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, &values, nullptr, nullptr, nullptr,
                     nullptr);
    RegCloseKey(key);
    return values;
}

// The stored bytes of a value; false when it is absent.
inline bool ReadValueBytes(const std::wstring& path, const wchar_t* name, std::vector<BYTE>* bytes) {
    HKEY key = OpenKey(path);
    if (key == nullptr) return false;
    bool found = ReadStoredValue(key, name, bytes);
    RegCloseKey(key);
    return found;
}

inline void CreateKey(const std::wstring& path) {
    HKEY key = nullptr;
    if (RegCreateKeyExW(HKEY_LOCAL_MACHINE, path.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr) ==
        ERROR_SUCCESS) {
        RegCloseKey(key);
    }
}

inline void DeleteTree(const std::wstring& path) {
    RegDeleteTreeW(HKEY_LOCAL_MACHINE, path.c_str());
    RegDeleteKeyW(HKEY_LOCAL_MACHINE, path.c_str());
}

// A zone as another program (or an earlier run) left it.
inline void SeedZone(const std::wstring& zone, const wchar_t* description, const std::vector<std::wstring>& members) {
    CreateKey(ZonePath(zone));
    if (description != nullptr) {
        HKEY key = OpenKey(ZonePath(zone));
        WriteStoredText(key, kZoneDescriptionValue, description);
        RegCloseKey(key);
    }
    for (const std::wstring& member : members) CreateKey(ZonePath(zone) + L"\\" + member);
}

// An empty Zones key before the test and after it.
class ZoneTreeGuard {
public:
    ZoneTreeGuard() { Reset(); }
    ~ZoneTreeGuard() { Reset(); }
    ZoneTreeGuard(const ZoneTreeGuard&) = delete;
    ZoneTreeGuard& operator=(const ZoneTreeGuard&) = delete;

private:
    static void Reset() {
        DeleteTree(kZonesKeyPath);
        CreateKey(kZonesKeyPath);
    }
};

// ---- Windows ----

inline void InitControls() {
    INITCOMMONCONTROLSEX controls{sizeof(controls), ICC_LISTVIEW_CLASSES | ICC_STANDARD_CLASSES};
    InitCommonControlsEx(&controls);
}

// A plain top-level window that owns a page made from its dialog template.
class PageHost {
public:
    PageHost(int templateId, DLGPROC proc) {
        InitControls();
        host_ = CreateWindowExW(0, L"Static", L"page host", WS_OVERLAPPEDWINDOW, 0, 0, 900, 700, nullptr, nullptr,
                                GetModuleHandleW(nullptr), nullptr);
        page_ = CreateDialogParamW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(templateId), host_, proc, 0);
    }
    ~PageHost() {
        if (page_) DestroyWindow(page_);
        if (host_) DestroyWindow(host_);
    }
    PageHost(const PageHost&) = delete;
    PageHost& operator=(const PageHost&) = delete;

    HWND page() const { return page_; }
    HWND item(int id) const { return GetDlgItem(page_, id); }

private:
    HWND host_ = nullptr;
    HWND page_ = nullptr;
};

// ---- Phone rows ----

struct Phone {
    std::wstring dirNumber, description, ipAddress, name;
};

inline std::vector<std::wstring> Columns(const Phone& p) { return {p.dirNumber, p.description, p.ipAddress, p.name}; }

inline void AddPhoneColumns(HWND list) {
    const wchar_t* titles[] = {L"Directory Number", L"Description", L"IP Address", L"Device Name"};
    for (int i = 0; i < 4; ++i) {
        LVCOLUMNW column{};
        column.mask = LVCF_TEXT | LVCF_WIDTH | LVCF_SUBITEM;
        column.cx = 100;
        column.pszText = const_cast<wchar_t*>(titles[i]);
        column.iSubItem = i;
        SendMessageW(list, LVM_INSERTCOLUMNW, i, reinterpret_cast<LPARAM>(&column));
    }
}

inline void AddPhoneRow(HWND list, const Phone& phone) {
    std::vector<std::wstring> texts = Columns(phone);
    LVITEMW item{};
    item.mask = LVIF_TEXT;
    item.iItem = static_cast<int>(SendMessageW(list, LVM_GETITEMCOUNT, 0, 0));
    item.pszText = const_cast<wchar_t*>(texts[0].c_str());
    int row = static_cast<int>(SendMessageW(list, LVM_INSERTITEMW, 0, reinterpret_cast<LPARAM>(&item)));
    for (int column = 1; column < 4; ++column) {
        LVITEMW sub{};
        sub.iSubItem = column;
        sub.pszText = const_cast<wchar_t*>(texts[column].c_str());
        SendMessageW(list, LVM_SETITEMTEXTW, row, reinterpret_cast<LPARAM>(&sub));
    }
}

inline std::wstring CellText(HWND list, int row, int column) {
    wchar_t text[512] = {};
    LVITEMW item{};
    item.iSubItem = column;
    item.pszText = text;
    item.cchTextMax = 512;
    SendMessageW(list, LVM_GETITEMTEXTW, row, reinterpret_cast<LPARAM>(&item));
    return text;
}

inline int RowCount(HWND list) { return static_cast<int>(SendMessageW(list, LVM_GETITEMCOUNT, 0, 0)); }

// Every row's four columns, in list order.
inline std::vector<std::vector<std::wstring>> Rows(HWND list) {
    std::vector<std::vector<std::wstring>> rows;
    for (int row = 0; row < RowCount(list); ++row) {
        rows.push_back({CellText(list, row, 0), CellText(list, row, 1), CellText(list, row, 2), CellText(list, row, 3)});
    }
    return rows;
}

inline std::vector<std::wstring> DeviceNames(HWND list) {
    std::vector<std::wstring> names;
    for (int row = 0; row < RowCount(list); ++row) names.push_back(CellText(list, row, 3));
    return names;
}

// ---- Typing and selecting, as the administrator does ----

// The zone name field: the edit inside the Zones page's combobox.
inline HWND ZoneNameField(HWND page) {
    return FindWindowExW(GetDlgItem(page, IDC_ZONE_COMBO), nullptr, L"Edit", nullptr);
}

// Keys typed into a field, as the keyboard delivers them.
inline void TypeKeys(HWND field, const std::wstring& text) {
    for (wchar_t c : text) {
        SendMessageW(field, WM_KEYDOWN, static_cast<WPARAM>(VkKeyScanW(c) & 0xFF), 1);
        SendMessageW(field, WM_CHAR, c, 1);
    }
}

// Adds the row showing this device name to the list's selection; false when no row shows it.
inline bool SelectPhoneRow(HWND list, const std::wstring& deviceName) {
    for (int row = 0; row < RowCount(list); ++row) {
        if (CellText(list, row, 3) != deviceName) continue;
        LVITEMW state{};
        state.stateMask = LVIS_SELECTED;
        state.state = LVIS_SELECTED;
        SendMessageW(list, LVM_SETITEMSTATE, row, reinterpret_cast<LPARAM>(&state));
        return true;
    }
    return false;
}

inline std::wstring WindowText(HWND window) {
    wchar_t text[1024] = {};
    GetWindowTextW(window, text, 1024);
    return text;
}

}  // namespace zonetest
