// What the Zones and About page tests share: recorded message boxes, the zone tree in the
// registry, a page made from its template under a plain parent window, and phone rows.
#pragma once

#include <windows.h>
#include <commctrl.h>

#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "common/message_box.h"
#include "gui_test_support.h"
#include "manager/resource.h"
#include "common/config_store.h"

namespace zonetest {

using ::RecordedBox;

// Records every box shown through the program's message-box function and answers each with
// the next queued button (IDOK when nothing is queued).
class MessageBoxRecorder {
public:
    MessageBoxRecorder() : previous_(SetMessageBoxHandler(nullptr)) {
        guitest::StopRecordingBoxes();
        guitest::Boxes().clear();
        guitest::RecordBoxes();
    }
    ~MessageBoxRecorder() { SetMessageBoxHandler(previous_); }
    MessageBoxRecorder(const MessageBoxRecorder&) = delete;
    MessageBoxRecorder& operator=(const MessageBoxRecorder&) = delete;

    static std::vector<RecordedBox>& Boxes() { return guitest::Boxes(); }
    static void Answer(int button) { guitest::QueueBoxAnswer(button); }

private:
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
    PageHost(int templateId, DLGPROC proc) : page_(guitest::CreatePageFromTemplate(templateId, host_.window(), proc)) {}
    ~PageHost() {
        if (page_) DestroyWindow(page_);
    }
    PageHost(const PageHost&) = delete;
    PageHost& operator=(const PageHost&) = delete;

    HWND page() const { return page_; }
    HWND item(int id) const { return GetDlgItem(page_, id); }
    // How often the page told its parent, the sheet, that it changed.
    int changedCount() const { return host_.changedCount(); }

private:
    guitest::SheetStandIn host_;
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

inline void AddPhoneRow(HWND list, const Phone& phone) { guitest::AppendRow(list, Columns(phone)); }

inline std::wstring CellText(HWND list, int row, int column) { return guitest::ItemText(list, row, column); }

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

// What the combobox tells the page when the user drops its list and picks a zone.
inline void ChooseZone(HWND page, const wchar_t* name) {
    HWND combo = GetDlgItem(page, IDC_ZONE_COMBO);
    SendMessageW(page, WM_COMMAND, MAKEWPARAM(IDC_ZONE_COMBO, CBN_DROPDOWN), reinterpret_cast<LPARAM>(combo));
    const LRESULT index = SendMessageW(combo, CB_FINDSTRINGEXACT, static_cast<WPARAM>(-1), reinterpret_cast<LPARAM>(name));
    ASSERT_NE(index, CB_ERR) << "the zone is listed";
    SendMessageW(combo, CB_SETCURSEL, index, 0);
    SendMessageW(page, WM_COMMAND, MAKEWPARAM(IDC_ZONE_COMBO, CBN_SELCHANGE), reinterpret_cast<LPARAM>(combo));
    SendMessageW(page, WM_COMMAND, MAKEWPARAM(IDC_ZONE_COMBO, CBN_SELENDOK), reinterpret_cast<LPARAM>(combo));
}

using guitest::WindowText;

}  // namespace zonetest
