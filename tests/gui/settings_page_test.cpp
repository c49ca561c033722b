// The Settings page as it opens on a stored configuration and as the administrator edits it.
#include <windows.h>
#include <commctrl.h>

#include <gtest/gtest.h>

#include "manager/resource.h"
#include "manager/settings_page.h"
#include "common/config_store.h"
#include "sheet_harness.h"

namespace {

const wchar_t kAbsentText[] =
    L"Error reading program settings from the registry.\r\n\r\nThe program may not work correctly and exit.";
// Not one of the host's addresses: the host-name lookup never returns a loopback address.
const wchar_t kForeignAddress[] = L"127.0.45.77";

std::map<std::wstring, std::wstring> WithAddress(const std::wstring& address) {
    auto texts = guitest::SiteTexts(TestDirectory() + L"\\settings_phones.dat");
    texts[kValueHttpServerIP] = address;
    return texts;
}

std::map<std::wstring, std::wstring> WithoutAddress() {
    auto texts = WithAddress(L"");
    texts.erase(kValueHttpServerIP);
    return texts;
}

StoredValues Credentials() { return guitest::SiteCredentials(); }

// Stores a value's bytes exactly, without a terminator. The registry adds one itself when
// the unit after the data is zero, so the data is handed over followed by one that is not.
void StoreWithoutTerminator(const std::wstring& name, std::vector<BYTE> bytes) {
    const DWORD size = static_cast<DWORD>(bytes.size());
    bytes.insert(bytes.end(), {0x41, 0x00});
    HKEY key = nullptr;
    ASSERT_EQ(ERROR_SUCCESS, RegOpenKeyExW(HKEY_LOCAL_MACHINE, kSettingsKeyPath, 0, KEY_SET_VALUE, &key));
    EXPECT_EQ(ERROR_SUCCESS, RegSetValueExW(key, name.c_str(), 0, REG_SZ, bytes.data(), size));
    RegCloseKey(key);
}

HWND AddressBox(const SheetHarness& harness) { return harness.control(0, IDC_HTTP_SERVER_IP); }

std::wstring Entry(HWND box, LRESULT index) {
    wchar_t text[256] = {};
    SendMessageW(box, CB_GETLBTEXT, index, reinterpret_cast<LPARAM>(text));
    return text;
}

std::wstring HostAddress() {
    EXPECT_EQ(0, EnumLocalIpAddresses());
    EXPECT_GT(g_localIpCount, 0) << "the host has no IPv4 address to offer";
    return g_localIpCount > 0 ? g_localIps[0] : L"";
}

void Choose(const SheetHarness& harness, LRESULT index) {
    SendMessageW(AddressBox(harness), CB_SETCURSEL, index, 0);
    SendMessageW(harness.page(0), WM_COMMAND, MAKEWPARAM(IDC_HTTP_SERVER_IP, CBN_SELCHANGE),
                 reinterpret_cast<LPARAM>(AddressBox(harness)));
    PumpMessages(10);
}

class SettingsPageTest : public ::testing::Test {
protected:
    void SetUp() override { ClearBoxes(); }
    void TearDown() override { RemoveSettingsKey(); }
};

TEST_F(SettingsPageTest, StoredHostAddressIsSelectedWithoutWarning) {
    std::wstring host = HostAddress();
    SeedSettings(WithAddress(host), Credentials());
    SheetHarness harness;
    HWND box = AddressBox(harness);
    EXPECT_EQ(g_localIpCount, SendMessageW(box, CB_GETCOUNT, 0, 0));
    EXPECT_EQ(host, Entry(box, SendMessageW(box, CB_GETCURSEL, 0, 0)));
    EXPECT_EQ(host, harness.Text(0, IDC_HTTP_SERVER_IP));
    EXPECT_EQ(L"", harness.Text(0, IDC_IP_WARNING));
    EXPECT_TRUE(RecordedBoxes().empty());
}

TEST_F(SettingsPageTest, StoredForeignAddressIsAddedSelectedAndFlagged) {
    std::wstring host = HostAddress();
    SeedSettings(WithAddress(kForeignAddress), Credentials());
    SheetHarness harness;
    HWND box = AddressBox(harness);
    ASSERT_EQ(g_localIpCount + 1, SendMessageW(box, CB_GETCOUNT, 0, 0));
    // Entries stay sorted, the stored one among them.
    for (LRESULT i = 1; i < SendMessageW(box, CB_GETCOUNT, 0, 0); ++i) {
        EXPECT_LT(_wcsicmp(Entry(box, i - 1).c_str(), Entry(box, i).c_str()), 0);
    }
    LRESULT stored = SendMessageW(box, CB_GETCURSEL, 0, 0);
    EXPECT_EQ(kForeignAddress, Entry(box, stored));
    EXPECT_EQ(L"Error: IP Address not bound to any network interface!", harness.Text(0, IDC_IP_WARNING));
    EXPECT_FALSE(harness.ApplyEnabled());

    // Picking a host address clears the warning and marks the sheet changed; picking the
    // stored entry again brings the warning back.
    Choose(harness, SendMessageW(box, CB_FINDSTRINGEXACT, static_cast<WPARAM>(-1), reinterpret_cast<LPARAM>(host.c_str())));
    EXPECT_EQ(L"", harness.Text(0, IDC_IP_WARNING));
    EXPECT_TRUE(harness.ApplyEnabled());
    Choose(harness, SendMessageW(box, CB_FINDSTRINGEXACT, static_cast<WPARAM>(-1), reinterpret_cast<LPARAM>(kForeignAddress)));
    EXPECT_EQ(L"Error: IP Address not bound to any network interface!", harness.Text(0, IDC_IP_WARNING));
    EXPECT_TRUE(RecordedBoxes().empty());
}

TEST_F(SettingsPageTest, NoStoredAddressSelectsNothingAndShowsNoBox) {
    for (bool absent : {true, false}) {
        SCOPED_TRACE(absent ? "absent" : "empty");
        ClearBoxes();
        SeedSettings(absent ? WithoutAddress() : WithAddress(L""), Credentials());
        SheetHarness harness;
        EXPECT_EQ(CB_ERR, SendMessageW(AddressBox(harness), CB_GETCURSEL, 0, 0));
        EXPECT_EQ(L"", harness.Text(0, IDC_HTTP_SERVER_IP));
        EXPECT_EQ(L"", harness.Text(0, IDC_IP_WARNING));
        EXPECT_TRUE(RecordedBoxes().empty());
    }
}

TEST_F(SettingsPageTest, ControlsShowTheStoredValuesCredentialsInClear) {
    SeedSettings(WithAddress(kForeignAddress), Credentials());
    SheetHarness harness;
    EXPECT_EQ(L"8080", harness.Text(0, IDC_HTTP_SERVER_PORT));
    EXPECT_EQ(L"pager", harness.Text(0, IDC_MULTICAST_USERNAME));
    EXPECT_EQ(L"s3cret", harness.Text(0, IDC_MULTICAST_PASSWORD));
    EXPECT_EQ(L"239.1.1.1", harness.Text(0, IDC_MULTICAST_TARGET_IP));
    EXPECT_EQ(L"20480", harness.Text(0, IDC_PORT_RANGE_START));
    EXPECT_EQ(L"20490", harness.Text(0, IDC_PORT_RANGE_END));
    EXPECT_EQ(L"Chime.raw", harness.Text(0, IDC_ALERT_SOUND));
    EXPECT_EQ(L"Fire drill", harness.Text(0, IDC_ALERT_TEXT));
    EXPECT_EQ(L"60", harness.Text(0, IDC_ALERT_VOLUME));
    EXPECT_EQ(L"5", harness.Text(0, IDC_MAX_DURATION));
    EXPECT_TRUE(RecordedBoxes().empty());
}

TEST_F(SettingsPageTest, CredentialsStoredWithoutTerminatorSurviveOkAsTheServiceReadsThem) {
    SeedSettings(WithAddress(kForeignAddress));
    // As another program may store them: the scrambled text without its terminator unit.
    std::map<std::wstring, std::wstring> serviceReading;
    for (const auto& value : Credentials()) {
        const std::vector<BYTE> text(value.second.begin(), value.second.end() - 2);
        StoreWithoutTerminator(value.first, text);
        ASSERT_EQ(text, ReadAllSettings()[value.first].data);
        serviceReading[value.first] = UnscrambleStoredCredential(text);
    }
    ASSERT_EQ(L"s3cre", serviceReading[kValueMulticastPassword]);
    {
        SheetHarness harness;
        EXPECT_EQ(L"s3cre", harness.Text(0, IDC_MULTICAST_PASSWORD));
        EXPECT_EQ(L"page", harness.Text(0, IDC_MULTICAST_USERNAME));
        harness.Ok();
        EXPECT_TRUE(harness.Closed());
    }
    // The OK without edits stores what the service read, so that it goes on reading the same.
    auto stored = ReadAllSettings();
    for (const auto& value : serviceReading) {
        EXPECT_EQ(ScrambleCredential(value.second), stored[value.first].data) << value.first;
        EXPECT_EQ(value.second, UnscrambleStoredCredential(stored[value.first].data)) << value.first;
    }
    EXPECT_TRUE(RecordedBoxes().empty());
    DeleteFileW(WithAddress(kForeignAddress)[kValueDataFile].c_str());
}

TEST_F(SettingsPageTest, OneAbsentValueShowsExactlyOneBoxAndFillsTheRest) {
    auto texts = WithAddress(kForeignAddress);
    texts.erase(kValueMulticastVolume);
    SeedSettings(texts, Credentials());
    SheetHarness harness;
    ASSERT_EQ(1u, RecordedBoxes().size());
    const RecordedBox& box = RecordedBoxes()[0];
    EXPECT_EQ(kAbsentText, box.text);
    EXPECT_EQ(L"Dravik Software", box.caption);
    EXPECT_EQ(static_cast<UINT>(MB_SERVICE_NOTIFICATION | MB_ICONERROR), box.flags);
    EXPECT_EQ(GetDesktopWindow(), box.owner);
    EXPECT_EQ(L"", harness.Text(0, IDC_ALERT_VOLUME));
    EXPECT_EQ(L"Fire drill", harness.Text(0, IDC_ALERT_TEXT));
    EXPECT_EQ(L"5", harness.Text(0, IDC_MAX_DURATION));
    EXPECT_EQ(L"s3cret", harness.Text(0, IDC_MULTICAST_PASSWORD));
}

TEST_F(SettingsPageTest, EmptyValuesLeaveTheirControlsEmptyWithoutBoxes) {
    auto texts = WithAddress(kForeignAddress);
    texts[kValueMessageText] = L"";
    texts[kValueMulticastVolume] = L"";
    StoredValues credentials = Credentials();
    credentials[kValueMulticastUsername].clear();
    credentials[kValueMulticastPassword].clear();
    SeedSettings(texts, credentials);
    SheetHarness harness;
    EXPECT_TRUE(RecordedBoxes().empty());
    EXPECT_EQ(L"", harness.Text(0, IDC_ALERT_TEXT));
    EXPECT_EQ(L"", harness.Text(0, IDC_ALERT_VOLUME));
    EXPECT_EQ(L"", harness.Text(0, IDC_MULTICAST_USERNAME));
    EXPECT_EQ(L"", harness.Text(0, IDC_MULTICAST_PASSWORD));
    EXPECT_EQ(L"Chime.raw", harness.Text(0, IDC_ALERT_SOUND));
}

TEST_F(SettingsPageTest, ShowPasswordTogglesTheMask) {
    SeedSettings(WithAddress(kForeignAddress), Credentials());
    SheetHarness harness;
    HWND password = harness.control(0, IDC_MULTICAST_PASSWORD);
    EXPECT_EQ(0x25CF, SendMessageW(password, EM_GETPASSWORDCHAR, 0, 0));
    EXPECT_EQ(0, SendMessageW(harness.control(0, IDC_MULTICAST_USERNAME), EM_GETPASSWORDCHAR, 0, 0));
    EXPECT_NE(BST_CHECKED, IsDlgButtonChecked(harness.page(0), IDC_SHOW_PASSWORD));
    harness.Click(0, IDC_SHOW_PASSWORD);
    EXPECT_EQ(0, SendMessageW(password, EM_GETPASSWORDCHAR, 0, 0));
    harness.Click(0, IDC_SHOW_PASSWORD);
    EXPECT_EQ(0x25CF, SendMessageW(password, EM_GETPASSWORDCHAR, 0, 0));
    EXPECT_FALSE(harness.ApplyEnabled());
}

TEST_F(SettingsPageTest, NumberEditsTakeDigitsOnlyAndPortRangeEditsTakeAnyText) {
    SeedSettings(WithAddress(kForeignAddress), Credentials());
    SheetHarness harness;
    for (int id : {IDC_HTTP_SERVER_PORT, IDC_ALERT_VOLUME, IDC_MAX_DURATION, IDC_PORT_RANGE_START, IDC_PORT_RANGE_END}) {
        harness.Type(0, id, L"");
        for (wchar_t c : {L'1', L'x', L'2', L' ', L'-'}) SendMessageW(harness.control(0, id), WM_CHAR, c, 0);
        bool digitsOnly = id != IDC_PORT_RANGE_START && id != IDC_PORT_RANGE_END;
        EXPECT_EQ(digitsOnly ? L"12" : L"1x2 -", harness.Text(0, id)) << "control " << id;
    }
}

TEST_F(SettingsPageTest, EditsHoldNoMoreThanTheirValuesCanStore) {
    SeedSettings(WithAddress(kForeignAddress), Credentials());
    SheetHarness harness;
    HWND addressEdit = GetWindow(AddressBox(harness), GW_CHILD);
    ASSERT_NE(nullptr, addressEdit);
    EXPECT_EQ(15, SendMessageW(addressEdit, EM_GETLIMITTEXT, 0, 0));
    EXPECT_EQ(15, SendMessageW(harness.control(0, IDC_MULTICAST_TARGET_IP), EM_GETLIMITTEXT, 0, 0));
    for (int id : {IDC_MULTICAST_USERNAME, IDC_MULTICAST_PASSWORD, IDC_ALERT_SOUND, IDC_ALERT_TEXT}) {
        EXPECT_EQ(255, SendMessageW(harness.control(0, id), EM_GETLIMITTEXT, 0, 0)) << "control " << id;
    }
    for (int id : {IDC_HTTP_SERVER_PORT, IDC_PORT_RANGE_START, IDC_PORT_RANGE_END, IDC_ALERT_VOLUME, IDC_MAX_DURATION}) {
        LRESULT limit = SendMessageW(harness.control(0, id), EM_GETLIMITTEXT, 0, 0);
        EXPECT_GE(limit, 3) << "control " << id;
        EXPECT_LE(limit, 9) << "control " << id;
    }
}

TEST_F(SettingsPageTest, TypingIntoTheAddressFieldNeitherMarksTheSheetNorTouchesTheWarning) {
    SeedSettings(WithAddress(kForeignAddress), Credentials());
    SheetHarness harness;
    HWND addressEdit = GetWindow(AddressBox(harness), GW_CHILD);
    SendMessageW(addressEdit, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(L"10.1.2.3"));
    PumpMessages(10);
    EXPECT_EQ(L"10.1.2.3", harness.Text(0, IDC_HTTP_SERVER_IP));
    EXPECT_EQ(L"Error: IP Address not bound to any network interface!", harness.Text(0, IDC_IP_WARNING));
    EXPECT_FALSE(harness.ApplyEnabled());
}

TEST_F(SettingsPageTest, EveryEditMarksTheSheetChanged) {
    SeedSettings(WithAddress(kForeignAddress), Credentials());
    SheetHarness harness;
    for (int id : {IDC_HTTP_SERVER_PORT, IDC_MULTICAST_USERNAME, IDC_MULTICAST_PASSWORD, IDC_MULTICAST_TARGET_IP,
                   IDC_PORT_RANGE_START, IDC_PORT_RANGE_END, IDC_ALERT_SOUND, IDC_ALERT_TEXT, IDC_ALERT_VOLUME,
                   IDC_MAX_DURATION}) {
        // The sheet forgets the previous edit, so that each control must mark it anew.
        SendMessageW(harness.sheet(), PSM_UNCHANGED, reinterpret_cast<WPARAM>(harness.page(0)), 0);
        PumpMessages(10);
        ASSERT_FALSE(harness.ApplyEnabled());
        harness.Type(0, id, L"7");
        EXPECT_TRUE(harness.ApplyEnabled()) << "control " << id;
    }
}

}  // namespace
