#include "sheet_harness.h"

#include <winsock2.h>

#include <commctrl.h>

#include <gtest/gtest.h>

#include "manager/config_sheet.h"
#include "manager/sheet.h"
#include "common/config_store.h"

namespace {

constexpr int kApplyButton = 0x3021;

// What the program's wWinMain sets up before any page exists.
class ManagerEnvironment : public ::testing::Environment {
public:
    void SetUp() override {
        WSADATA wsaData;
        WSAStartup(0x0202, &wsaData);
        InitCommonControls();
    }
};
::testing::Environment* const g_managerEnvironment = ::testing::AddGlobalTestEnvironment(new ManagerEnvironment);

}  // namespace

const std::vector<RecordedBox>& RecordedBoxes() { return guitest::Boxes(); }
void ClearBoxes() { guitest::Boxes().clear(); }
void RecordMessageBoxes() { guitest::RecordBoxes(); }

std::vector<BYTE> Stored(const std::wstring& text) {
    if (text.empty()) return {};
    const BYTE* bytes = reinterpret_cast<const BYTE*>(text.c_str());
    return std::vector<BYTE>(bytes, bytes + (text.size() + 1) * sizeof(wchar_t));
}

void RemoveSettingsKey() {
    RegDeleteTreeW(HKEY_LOCAL_MACHINE, kSettingsKeyPath);
    RegDeleteKeyW(HKEY_LOCAL_MACHINE, kSettingsKeyPath);
}

void SeedSettings(const std::map<std::wstring, std::wstring>& texts, const StoredValues& raw) {
    RemoveSettingsKey();
    HKEY key = nullptr;
    ASSERT_EQ(ERROR_SUCCESS, RegCreateKeyExW(HKEY_LOCAL_MACHINE, kSettingsKeyPath, 0, nullptr, 0, KEY_ALL_ACCESS,
                                             nullptr, &key, nullptr));
    HKEY zones = nullptr;
    RegCreateKeyExW(key, L"Zones", 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &zones, nullptr);
    RegCloseKey(zones);
    auto write = [key](const std::wstring& name, const std::vector<BYTE>& data) {
        static const BYTE nothing = 0;
        ASSERT_EQ(ERROR_SUCCESS, RegSetValueExW(key, name.c_str(), 0, REG_SZ, data.empty() ? &nothing : data.data(),
                                                static_cast<DWORD>(data.size())));
    };
    for (const auto& value : texts) write(value.first, Stored(value.second));
    for (const auto& value : raw) write(value.first, value.second);
    RegCloseKey(key);
}

std::map<std::wstring, RawValue> ReadAllSettings() {
    std::map<std::wstring, RawValue> values;
    HKEY key = nullptr;
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, kSettingsKeyPath, 0, KEY_READ, &key) != ERROR_SUCCESS) return values;
    for (DWORD i = 0;; ++i) {
        wchar_t name[256];
        DWORD nameLength = 256;
        DWORD type = 0;
        DWORD size = 0;
        if (RegEnumValueW(key, i, name, &nameLength, nullptr, &type, nullptr, &size) != ERROR_SUCCESS) break;
        RawValue value{type, std::vector<BYTE>(size)};
        DWORD read = size;
        RegQueryValueExW(key, name, nullptr, nullptr, size ? value.data.data() : nullptr, &read);
        value.data.resize(read);
        values[name] = value;
    }
    RegCloseKey(key);
    return values;
}

namespace guitest {

std::map<std::wstring, std::wstring> SiteTexts(const std::wstring& dataFile) {
    return {
        {kValueHttpServerIP, L"127.0.45.1"},
        {kValueHttpServerPort, L"8080"},
        {kValueMulticastTargetIP, L"239.1.1.1"},
        {kValuePortRangeStart, L"20480"},
        {kValuePortRangeEnd, L"20490"},
        {kValueMulticastVolume, L"60"},
        {kValueMessageText, L"Fire drill"},
        {kValueAlertSound, L"Chime.raw"},
        {kValueMaxDuration, L"5"},
        {kValueServerAddress, L"127.0.45.9"},
        {kValueServerPort, L"8443"},
        {kValueDeviceSelections, L""},
        {kValueDataFile, dataFile},
    };
}

StoredValues SiteCredentials() {
    return {
        {kValueMulticastUsername, {0x47, 0x37, 0x56, 0x37, 0x50, 0x37, 0x52, 0x37, 0x45, 0x37, 0, 0}},
        {kValueMulticastPassword, {0x44, 0x37, 0x04, 0x37, 0x54, 0x37, 0x45, 0x37, 0x52, 0x37, 0x43, 0x37, 0, 0}},
        {kValueCucmUsername, {0x56, 0x37, 0x4F, 0x37, 0x5B, 0x37, 0, 0}},
        {kValueCucmPassword,
         {0x54, 0x37, 0x5A, 0x37, 0x1A, 0x37, 0x47, 0x37, 0x56, 0x37, 0x44, 0x37, 0x44, 0x37, 0, 0}},
    };
}

}  // namespace guitest

std::wstring TestDirectory() {
    wchar_t temp[MAX_PATH];
    GetTempPathW(MAX_PATH, temp);
    std::wstring directory = std::wstring(temp) + L"qax_gui_tests";
    CreateDirectoryW(directory.c_str(), nullptr);
    return directory;
}

void PumpMessages(DWORD milliseconds) {
    DWORD start = GetTickCount();
    do {
        MSG message;
        while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
            TranslateMessage(&message);
            DispatchMessageW(&message);
        }
        Sleep(1);
    } while (GetTickCount() - start < milliseconds);
}

SheetHarness::SheetHarness() {
    RecordMessageBoxes();
    g_hInstance = GetModuleHandleW(nullptr);
    if (g_hSettingsKey != nullptr) RegCloseKey(g_hSettingsKey);
    g_hSettingsKey = nullptr;
    RegOpenKeyExW(HKEY_LOCAL_MACHINE, kSettingsKeyPath, 0, KEY_ALL_ACCESS, &g_hSettingsKey);
    sheet_ = reinterpret_cast<HWND>(RunConfigurationSheet(nullptr, PSH_MODELESS));
    PumpMessages();
}

SheetHarness::~SheetHarness() {
    if (sheet_ != nullptr && IsWindow(sheet_)) DestroyWindow(sheet_);
    PumpMessages(10);
    if (g_hSettingsKey != nullptr) RegCloseKey(g_hSettingsKey);
    g_hSettingsKey = nullptr;
}

HWND SheetHarness::page(int index) const {
    return reinterpret_cast<HWND>(SendMessageW(sheet_, PSM_INDEXTOHWND, index, 0));
}

std::wstring SheetHarness::Text(int pageIndex, int id) const {
    HWND window = control(pageIndex, id);
    std::wstring text(static_cast<size_t>(GetWindowTextLengthW(window)) + 1, L'\0');
    text.resize(static_cast<size_t>(GetWindowTextW(window, &text[0], static_cast<int>(text.size()))));
    return text;
}

void SheetHarness::Type(int pageIndex, int id, const std::wstring& text) {
    SendMessageW(control(pageIndex, id), WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text.c_str()));
    PumpMessages(10);
}

void SheetHarness::Click(int pageIndex, int id) {
    SendMessageW(control(pageIndex, id), BM_CLICK, 0, 0);
    PumpMessages(10);
}

void SheetHarness::Apply() {
    SendMessageW(sheet_, PSM_PRESSBUTTON, PSBTN_APPLYNOW, 0);
    PumpMessages();
}

void SheetHarness::Ok() {
    SendMessageW(sheet_, PSM_PRESSBUTTON, PSBTN_OK, 0);
    PumpMessages();
}

void SheetHarness::Cancel() {
    SendMessageW(sheet_, PSM_PRESSBUTTON, PSBTN_CANCEL, 0);
    PumpMessages();
}

bool SheetHarness::ApplyEnabled() const {
    return IsWindowEnabled(GetDlgItem(sheet_, kApplyButton)) != FALSE;
}

bool SheetHarness::Closed() const {
    return !IsWindow(sheet_) || SendMessageW(sheet_, PSM_GETCURRENTPAGEHWND, 0, 0) == 0;
}
