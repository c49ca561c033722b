// The Settings page: fills its controls from the settings key, offers the host's addresses
// for the HTTP endpoint, marks the sheet changed on edits and saves everything on Apply.
#include <winsock2.h>
#include <windows.h>
#include <commctrl.h>

#include <array>
#include <cstdio>
#include <cstring>
#include <cwchar>
#include <string>
#include <vector>

#include "common/text.h"
#include "manager/password_field.h"
#include "manager/registry_read.h"
#include "manager/resource.h"
#include "manager/save_settings.h"
#include "manager/settings_key.h"
#include "manager/settings_page.h"
#include "manager/sheet.h"

wchar_t (*g_localIps)[kAddressUnits] = nullptr;
int g_localIpCount = 0;

namespace {

std::vector<std::array<wchar_t, kAddressUnits>> g_localIpStore;

// Set while the page fills its controls, whose EN_CHANGE must not mark the sheet changed.
bool g_loadingSettingsPage = false;

struct PageValue {
    int controlId;
    const wchar_t* name;
    bool scrambled;
    int limit;  // the most characters the value can hold
};

// Read in this order. Limits: addresses 15, texts and credentials 255, ports 5 digits, the
// volume 3, the duration 5; a longer stored value is still shown and saved whole.
const PageValue kPageValues[] = {
    {IDC_HTTP_SERVER_PORT, kValueHttpServerPort, false, 5},
    {IDC_MULTICAST_USERNAME, kValueMulticastUsername, true, 255},
    {IDC_MULTICAST_PASSWORD, kValueMulticastPassword, true, 255},
    {IDC_MULTICAST_TARGET_IP, kValueMulticastTargetIP, false, 15},
    {IDC_PORT_RANGE_START, kValuePortRangeStart, false, 5},
    {IDC_PORT_RANGE_END, kValuePortRangeEnd, false, 5},
    {IDC_ALERT_SOUND, kValueAlertSound, false, 255},
    {IDC_ALERT_TEXT, kValueMessageText, false, 255},
    {IDC_ALERT_VOLUME, kValueMulticastVolume, false, 3},
    {IDC_MAX_DURATION, kValueMaxDuration, false, 5},
};

void MarkSheetChanged(HWND page) {
    SendMessageW(GetParent(page), PSM_CHANGED, reinterpret_cast<WPARAM>(page), 0);
}

std::wstring ComboEntryText(HWND box, LRESULT index) {
    LRESULT length = SendMessageW(box, CB_GETLBTEXTLEN, index, 0);
    if (length == CB_ERR) return std::wstring();
    std::wstring text(static_cast<size_t>(length) + 1, L'\0');
    SendMessageW(box, CB_GETLBTEXT, index, reinterpret_cast<LPARAM>(&text[0]));
    text.resize(wcslen(text.c_str()));
    return text;
}

bool IsLocalAddress(const std::wstring& address) {
    for (int i = 0; i < g_localIpCount; ++i) {
        if (address == g_localIps[i]) return true;
    }
    return false;
}

void OnAddressChosen(HWND page) {
    HWND box = GetDlgItem(page, IDC_HTTP_SERVER_IP);
    std::wstring chosen = ComboEntryText(box, SendMessageW(box, CB_GETCURSEL, 0, 0));
    SetDlgItemTextW(page, IDC_IP_WARNING, IsLocalAddress(chosen) ? L"" : kAddressNotBoundWarning);
    MarkSheetChanged(page);
}

void LoadSettingsPage(HWND page) {
    g_loadingSettingsPage = true;
    SendDlgItemMessageW(page, IDC_HTTP_SERVER_IP, CB_LIMITTEXT, kAddressUnits - 1, 0);
    for (const PageValue& value : kPageValues) SendDlgItemMessageW(page, value.controlId, EM_LIMITTEXT, value.limit, 0);

    InitHttpServerIpCombo(page);
    MaskPasswordField(page, IDC_MULTICAST_PASSWORD);

    UniqueRegKey key = OpenSettingsKeyOrExit();
    for (const PageValue& value : kPageValues) {
        ReadSettingIntoControl(page, value.controlId, key.get(), value.name, value.scrambled);
    }
    g_loadingSettingsPage = false;
}

}  // namespace

int EnumLocalIpAddresses() {
    g_localIpStore.clear();
    g_localIps = nullptr;
    g_localIpCount = 0;

    char hostName[80] = {};
    if (gethostname(hostName, sizeof hostName) == SOCKET_ERROR) {
        std::printf("Error %d in gethostname()\r\n", WSAGetLastError());
        return -1;
    }
    hostent* host = gethostbyname(hostName);
    if (host == nullptr || host->h_addrtype != AF_INET) {
        std::printf("Error in gethostbyname()\r\n");
        return -1;
    }
    std::printf("Host name is %s \r\n", hostName);
    for (int i = 0; host->h_addr_list[i] != nullptr; ++i) {
        in_addr address;
        std::memcpy(&address, host->h_addr_list[i], sizeof address);
        const char* dotted = inet_ntoa(address);
        std::printf("IP Address %d: %s\r\n", i, dotted);
        g_localIpStore.emplace_back();
        WidenLatin1Into(g_localIpStore.back().data(), kAddressUnits, dotted);
    }
    g_localIps = g_localIpStore.empty() ? nullptr : reinterpret_cast<wchar_t (*)[kAddressUnits]>(g_localIpStore.data());
    g_localIpCount = static_cast<int>(g_localIpStore.size());
    return 0;
}

int InitHttpServerIpCombo(HWND page) {
    HWND box = GetDlgItem(page, IDC_HTTP_SERVER_IP);
    EnumLocalIpAddresses();
    SendMessageW(box, CB_RESETCONTENT, 0, 0);
    for (int i = 0; i < g_localIpCount; ++i) SendMessageW(box, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(g_localIps[i]));

    // An absent address is passed over without a box: a fresh site has none yet.
    UniqueRegKey key = OpenSettingsKeyOrExit();
    std::wstring stored;
    if (ReadSettingText(key.get(), kValueHttpServerIP, false, &stored) != kValuePresent || stored.empty()) return 1;

    LRESULT entry = SendMessageW(box, CB_FINDSTRINGEXACT, static_cast<WPARAM>(-1), reinterpret_cast<LPARAM>(stored.c_str()));
    if (entry == CB_ERR) {
        entry = SendMessageW(box, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(stored.c_str()));
        SetDlgItemTextW(page, IDC_IP_WARNING, kAddressNotBoundWarning);
    }
    SendMessageW(box, CB_SETCURSEL, entry, 0);
    return 1;
}

INT_PTR CALLBACK SettingsPageProc(HWND page, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_INITDIALOG:
        LoadSettingsPage(page);
        return TRUE;
    case WM_COMMAND: {
        int control = LOWORD(wParam);
        int code = HIWORD(wParam);
        if (control == IDC_HTTP_SERVER_IP && code == CBN_SELCHANGE) {
            OnAddressChosen(page);
        } else if (control == IDC_SHOW_PASSWORD && code == BN_CLICKED) {
            FollowShowPasswordBox(page, IDC_MULTICAST_PASSWORD, IDC_SHOW_PASSWORD);
        } else if (code == EN_CHANGE && !g_loadingSettingsPage) {
            MarkSheetChanged(page);
        }
        return 0;
    }
    case WM_NOTIFY:
        // Whatever the save meets, the sheet takes the apply as done (PSNRET_NOERROR). The
        // notice's lParam tells OK, which closes the sheet, from Apply.
        if (reinterpret_cast<NMHDR*>(lParam)->code == static_cast<UINT>(PSN_APPLY)) {
            SaveAllSettings(GetParent(page), reinterpret_cast<const PSHNOTIFY*>(lParam)->lParam != 0);
        }
        return 0;
    default:
        return 0;
    }
}
