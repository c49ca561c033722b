// Apply: every value of the Settings and IP Phone List pages, in their fixed order, then, once
// the phone list has been filled, the device selection list from the ticked rows and the
// phone data file.
#include "manager/save_settings.h"

#include <commctrl.h>

#include <string>

#include "common/message_box.h"
#include "manager/data_file.h"
#include "manager/phone_list_page.h"
#include "manager/resource.h"
#include "manager/settings_key.h"
#include "manager/sheet.h"
#include "common/config_store.h"

namespace {

constexpr int kSettingsPage = 0;
constexpr int kPhoneListPage = 1;

struct SavedControl {
    int pageIndex;
    int controlId;
    const wchar_t* name;
    bool scrambled;
};

// Written in this order on every save, changed or not.
const SavedControl kSavedControls[] = {
    {kSettingsPage, IDC_HTTP_SERVER_IP, kValueHttpServerIP, false},
    {kSettingsPage, IDC_HTTP_SERVER_PORT, kValueHttpServerPort, false},
    {kSettingsPage, IDC_MULTICAST_USERNAME, kValueMulticastUsername, true},
    {kSettingsPage, IDC_MULTICAST_PASSWORD, kValueMulticastPassword, true},
    {kSettingsPage, IDC_MULTICAST_TARGET_IP, kValueMulticastTargetIP, false},
    {kSettingsPage, IDC_PORT_RANGE_START, kValuePortRangeStart, false},
    {kSettingsPage, IDC_PORT_RANGE_END, kValuePortRangeEnd, false},
    {kSettingsPage, IDC_ALERT_SOUND, kValueAlertSound, false},
    {kSettingsPage, IDC_ALERT_TEXT, kValueMessageText, false},
    {kSettingsPage, IDC_ALERT_VOLUME, kValueMulticastVolume, false},
    {kSettingsPage, IDC_MAX_DURATION, kValueMaxDuration, false},
    {kPhoneListPage, IDC_SERVER_ADDRESS, kValueServerAddress, false},
    {kPhoneListPage, IDC_SERVER_PORT, kValueServerPort, false},
    {kPhoneListPage, IDC_CUCM_USERNAME, kValueCucmUsername, true},
    {kPhoneListPage, IDC_CUCM_PASSWORD, kValueCucmPassword, true},
};

// The control's whole text: nothing typed is cut on its way to the registry.
std::wstring ControlText(HWND page, int controlId) {
    HWND control = GetDlgItem(page, controlId);
    int length = GetWindowTextLengthW(control);
    if (length <= 0) return std::wstring();
    std::wstring text(static_cast<size_t>(length) + 1, L'\0');
    int taken = GetWindowTextW(control, &text[0], length + 1);
    text.resize(taken > 0 ? static_cast<size_t>(taken) : 0);
    return text;
}

// Each ticked row's device name followed by ";", in row order (the order shown).
std::wstring DeviceSelectionList(HWND phoneListPage) {
    std::wstring selections;
    for (const std::wstring& name : TickedDeviceNames(GetDlgItem(phoneListPage, IDC_PHONE_LIST))) {
        selections += name;
        selections += L';';
    }
    return selections;
}

void WriteControlValue(HKEY key, HWND page, const SavedControl& saved) {
    std::wstring text = ControlText(page, saved.controlId);
    if (saved.scrambled) {
        WriteStoredBytes(key, saved.name, ScrambleCredential(text));
    } else {
        WriteStoredText(key, saved.name, text);
    }
}

// The key was opened when the sheet started; each save opens it afresh in its place.
void ReopenSettingsKey() {
    UniqueRegKey key = OpenSettingsKeyOrExit();
    if (g_hSettingsKey != nullptr) RegCloseKey(g_hSettingsKey);
    g_hSettingsKey = key.release();
}

// Reported in the status line already; on OK the sheet closes, so a box tells it too.
void ShowDataFileNotWritten(HWND sheet) {
    const std::wstring text = L"Could not write data file " + ExpandDataFilePath(g_dataFilePath) +
                              L"\r\n\r\nThe settings were saved; the phone list was not.";
    ShowMessageBox(sheet, text.c_str(), L"Dravik QAX", MB_ICONERROR);
}

}  // namespace

void SaveAllSettings(HWND sheet, bool closing) {
    HWND pages[2] = {
        reinterpret_cast<HWND>(SendMessageW(sheet, PSM_INDEXTOHWND, kSettingsPage, 0)),
        reinterpret_cast<HWND>(SendMessageW(sheet, PSM_INDEXTOHWND, kPhoneListPage, 0)),
    };
    // Without its pages a save would empty every value: it writes nothing instead.
    if (pages[kSettingsPage] == nullptr || pages[kPhoneListPage] == nullptr) return;

    ReopenSettingsKey();
    // Write failures are passed over: the save goes on with the next value.
    for (const SavedControl& saved : kSavedControls) WriteControlValue(g_hSettingsKey, pages[saved.pageIndex], saved);
    // A list that was never filled (no data file could be read, nothing downloaded) holds no
    // one's ticks and no phones: the stored selection and the data file stay as they are.
    if (!g_phoneListFilled) return;
    WriteStoredText(g_hSettingsKey, kValueDeviceSelections, DeviceSelectionList(pages[kPhoneListPage]));
    if (!CUCMwriteFile(pages[kPhoneListPage], g_dataFilePath) && closing) ShowDataFileNotWritten(sheet);
}
