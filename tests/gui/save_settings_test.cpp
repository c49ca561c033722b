// Apply as the service will read it back: every value in its stored form, the selection list
// from the ticked rows in row order, the data file rewritten; and the ending when the settings
// key went away under the running manager.
#include <windows.h>
#include <commctrl.h>

#include <algorithm>
#include <set>

#include <gtest/gtest.h>

#include "common/text.h"
#include "manager/cert_dialog.h"
#include "manager/phone_list_page.h"
#include "manager/resource.h"
#include "common/config_store.h"
#include "phone_test_support.h"
#include "sheet_harness.h"

namespace {

const wchar_t* const kSavedNames[] = {
    kValueHttpServerIP,  kValueHttpServerPort, kValueMulticastUsername, kValueMulticastPassword,
    kValueMulticastTargetIP, kValuePortRangeStart, kValuePortRangeEnd, kValueAlertSound,
    kValueMessageText,   kValueMulticastVolume, kValueMaxDuration,      kValueServerAddress,
    kValueServerPort,    kValueCucmUsername,    kValueCucmPassword,
};

std::wstring DataFilePath() { return TestDirectory() + L"\\phones.dat"; }

void TickRow(HWND list, int row) {
    LVITEMW item{};
    item.stateMask = LVIS_STATEIMAGEMASK;
    item.state = INDEXTOSTATEIMAGEMASK(2);
    SendMessageW(list, LVM_SETITEMSTATE, row, reinterpret_cast<LPARAM>(&item));
    PumpMessages(10);
}

std::wstring Cell(HWND list, int row, int column) { return guitest::ItemText(list, row, column); }

// Three phones in the file's order (the list shows them C, B, A) and in reverse.
constexpr char kPhonesABC[] =
    "1001\tLobby\t10.0.0.1\tSEPA\r\n"
    "1002\tDesk\t10.0.0.2\tSEPB\r\n"
    "1003\tHall\t10.0.0.3\tSEPC\r\n";
constexpr char kPhonesCBA[] =
    "1003\tHall\t10.0.0.3\tSEPC\r\n"
    "1002\tDesk\t10.0.0.2\tSEPB\r\n"
    "1001\tLobby\t10.0.0.1\tSEPA\r\n";

class SaveSettingsTest : public ::testing::Test {
protected:
    void SetUp() override {
        DeleteFileW(DataFilePath().c_str());
        ClearBoxes();
    }
    void TearDown() override {
        RemoveSettingsKey();
        DeleteFileW(DataFilePath().c_str());
    }
};

TEST_F(SaveSettingsTest, WritesExactlyTheFifteenValuesAndTheSelectionListInTheirStoredForm) {
    WriteFileBytes(DataFilePath(), "");  // a site without phones yet
    SeedSettings({{kValueDataFile, DataFilePath()}});
    SheetHarness harness;
    harness.Type(0, IDC_HTTP_SERVER_IP, L"10.20.30.40");  // typed, not chosen
    harness.Type(0, IDC_HTTP_SERVER_PORT, L"8080");
    harness.Type(0, IDC_MULTICAST_USERNAME, L"ab");
    harness.Type(0, IDC_MULTICAST_PASSWORD, L"\u00e9\u20ac");
    harness.Type(0, IDC_MULTICAST_TARGET_IP, L"239.1.1.1");
    harness.Type(0, IDC_PORT_RANGE_START, L" 20480x");  // the range edits keep any text
    harness.Type(0, IDC_PORT_RANGE_END, L"20490");
    harness.Type(0, IDC_ALERT_TEXT, L"Fire drill");
    harness.Type(0, IDC_ALERT_VOLUME, L"60");
    harness.Type(0, IDC_MAX_DURATION, L"5");
    harness.Type(1, IDC_SERVER_ADDRESS, L"127.0.45.9");
    harness.Type(1, IDC_SERVER_PORT, L"8443");
    harness.Type(1, IDC_CUCM_USERNAME, L"axl");
    ClearBoxes();
    harness.Apply();
    EXPECT_TRUE(RecordedBoxes().empty());

    auto stored = ReadAllSettings();
    std::set<std::wstring> names;
    for (const auto& value : stored) {
        names.insert(value.first);
        EXPECT_EQ(static_cast<DWORD>(REG_SZ), value.second.type);
    }
    std::set<std::wstring> expected(std::begin(kSavedNames), std::end(kSavedNames));
    expected.insert(kValueDeviceSelections);
    expected.insert(kValueDataFile);  // seeded, never written by the manager
    EXPECT_EQ(expected, names);

    EXPECT_EQ(Stored(L"10.20.30.40"), stored[kValueHttpServerIP].data);
    EXPECT_EQ(Stored(L"8080"), stored[kValueHttpServerPort].data);
    EXPECT_EQ(Stored(L" 20480x"), stored[kValuePortRangeStart].data);
    EXPECT_EQ(Stored(L"Fire drill"), stored[kValueMessageText].data);
    EXPECT_EQ(Stored(L"127.0.45.9"), stored[kValueServerAddress].data);
    // Credentials: every byte of the UTF-16LE text XOR 0x37, the terminator left as zeros.
    EXPECT_EQ((std::vector<BYTE>{0x56, 0x37, 0x55, 0x37, 0, 0}), stored[kValueMulticastUsername].data);
    EXPECT_EQ((std::vector<BYTE>{0xDE, 0x37, 0x9B, 0x17, 0, 0}), stored[kValueMulticastPassword].data);
    EXPECT_EQ((std::vector<BYTE>{0x56, 0x37, 0x4F, 0x37, 0x5B, 0x37, 0, 0}), stored[kValueCucmUsername].data);
    // Fields left empty, and an empty selection, are values of zero bytes.
    EXPECT_TRUE(stored[kValueAlertSound].data.empty());
    EXPECT_TRUE(stored[kValueCucmPassword].data.empty());
    EXPECT_TRUE(stored[kValueDeviceSelections].data.empty());
}

TEST_F(SaveSettingsTest, SelectionListFollowsTheRowOrderAndTheDataFileIsRewritten) {
    WriteFileBytes(DataFilePath(), kPhonesABC);
    SeedSettings({{kValueDataFile, DataFilePath()}, {kValueDeviceSelections, L""}});
    SheetHarness harness;
    HWND list = harness.control(1, IDC_PHONE_LIST);
    ASSERT_EQ(3, SendMessageW(list, LVM_GETITEMCOUNT, 0, 0));
    ASSERT_EQ(L"SEPC", Cell(list, 0, 3));  // the file's lines stand in reverse order
    TickRow(list, 0);
    TickRow(list, 2);
    WriteFileBytes(DataFilePath(), "stale");
    harness.Apply();

    EXPECT_EQ(Stored(L"SEPC;SEPA;"), ReadAllSettings()[kValueDeviceSelections].data);
    EXPECT_EQ(kPhonesCBA, ReadFileBytes(DataFilePath()));
}

TEST_F(SaveSettingsTest, SortingTheListBeforeTheSaveOrdersTheSelectionAndTheFileAlike) {
    WriteFileBytes(DataFilePath(), kPhonesABC);
    SeedSettings({{kValueDataFile, DataFilePath()}, {kValueDeviceSelections, L"SEPA;SEPC;"}});
    SheetHarness harness;
    HWND list = harness.control(1, IDC_PHONE_LIST);
    // A click on "Device Name" until the rows stand A, B, C (the direction flips per click).
    for (int click = 0; click < 2 && Cell(list, 0, 3) != L"SEPA"; ++click) {
        NMLISTVIEW notice{};
        notice.hdr.hwndFrom = list;
        notice.hdr.idFrom = IDC_PHONE_LIST;
        notice.hdr.code = LVN_COLUMNCLICK;
        notice.iItem = -1;
        notice.iSubItem = 3;
        SendMessageW(harness.page(1), WM_NOTIFY, IDC_PHONE_LIST, reinterpret_cast<LPARAM>(&notice));
        PumpMessages(10);
    }
    ASSERT_EQ(L"SEPA", Cell(list, 0, 3));
    harness.Apply();

    EXPECT_EQ(Stored(L"SEPA;SEPC;"), ReadAllSettings()[kValueDeviceSelections].data);
    EXPECT_EQ(kPhonesABC, ReadFileBytes(DataFilePath()));
}

TEST_F(SaveSettingsTest, ALongestDeviceNameIsStoredWholeSoThatItTicksItsRowAgain) {
    const std::string name(255, 'N');
    WriteFileBytes(DataFilePath(), "1001\tLobby\t10.0.0.1\t" + name + "\r\n");
    SeedSettings({{kValueDataFile, DataFilePath()}, {kValueDeviceSelections, L""}});
    {
        SheetHarness harness;
        TickRow(harness.control(1, IDC_PHONE_LIST), 0);
        harness.Apply();
    }
    EXPECT_EQ(Stored(std::wstring(255, L'N') + L";"), ReadAllSettings()[kValueDeviceSelections].data);
    SheetHarness reopened;
    UINT state = static_cast<UINT>(
        SendMessageW(reopened.control(1, IDC_PHONE_LIST), LVM_GETITEMSTATE, 0, LVIS_STATEIMAGEMASK));
    EXPECT_EQ(static_cast<UINT>(INDEXTOSTATEIMAGEMASK(2)), state);
}

TEST_F(SaveSettingsTest, AnUnreadableDataFileKeepsTheStoredSelectionAndWritesNoDataFile) {
    // The data file is gone (a share not mounted, a disk replaced) and nothing was downloaded.
    SeedSettings({{kValueDataFile, DataFilePath()}, {kValueDeviceSelections, L"SEPA;SEPC;"}});
    SheetHarness harness;
    ASSERT_EQ(0, SendMessageW(harness.control(1, IDC_PHONE_LIST), LVM_GETITEMCOUNT, 0, 0));
    harness.Type(0, IDC_ALERT_TEXT, L"Evacuate now");
    ClearBoxes();  // the boxes of the values that this site lacks

    harness.Apply();
    auto stored = ReadAllSettings();
    EXPECT_EQ(Stored(L"Evacuate now"), stored[kValueMessageText].data);
    EXPECT_EQ(Stored(L"SEPA;SEPC;"), stored[kValueDeviceSelections].data);
    EXPECT_FALSE(guitest::FileExists(DataFilePath()));
    EXPECT_EQ(0u, harness.Text(1, IDC_STATUS_LINE).rfind(L"Could not open data file ", 0))
        << harness.Text(1, IDC_STATUS_LINE);

    harness.Ok();
    EXPECT_TRUE(harness.Closed());
    EXPECT_EQ(Stored(L"SEPA;SEPC;"), ReadAllSettings()[kValueDeviceSelections].data);
    EXPECT_FALSE(guitest::FileExists(DataFilePath()));
    EXPECT_TRUE(RecordedBoxes().empty());
}

// Wine maps Z: to the Unix root, where /dev/full fails every write as a full disk does.
TEST_F(SaveSettingsTest, ADataFileWriteThatFailsIsReportedInTheStatusLineAndOnOkInABox) {
    WriteFileBytes(DataFilePath(), kPhonesABC);
    SeedSettings({{kValueDataFile, DataFilePath()}, {kValueDeviceSelections, L"SEPA;"}});
    SheetHarness harness;
    ASSERT_EQ(3, SendMessageW(harness.control(1, IDC_PHONE_LIST), LVM_GETITEMCOUNT, 0, 0));
    const std::wstring fullDisk = L"Z:\\dev\\full";
    CopyBounded(g_dataFilePath, kPathUnits, fullDisk.c_str());
    ClearBoxes();

    harness.Apply();
    EXPECT_EQ(L"Could not write data file " + fullDisk, harness.Text(1, IDC_STATUS_LINE));
    EXPECT_TRUE(RecordedBoxes().empty()) << "Apply leaves the sheet and its status line open";

    harness.Ok();
    EXPECT_TRUE(harness.Closed());
    ASSERT_EQ(1u, RecordedBoxes().size());
    EXPECT_EQ(L"Could not write data file " + fullDisk + L"\r\n\r\nThe settings were saved; the phone list was not.",
              RecordedBoxes()[0].text);
    EXPECT_EQ(L"Dravik QAX", RecordedBoxes()[0].caption);
    EXPECT_EQ(static_cast<UINT>(MB_ICONERROR), RecordedBoxes()[0].flags);
    EXPECT_EQ(Stored(L"SEPA;"), ReadAllSettings()[kValueDeviceSelections].data);
}

TEST_F(SaveSettingsTest, SettingsKeyGoneBeforeTheSaveEndsTheManagerWithoutWriting) {
    SeedSettings({{kValueHttpServerPort, L"8080"}});
    EXPECT_EXIT(
        {
            SheetHarness harness;
            RemoveSettingsKey();
            harness.Apply();
        },
        ::testing::ExitedWithCode(-1),
        "BOX\\[Dravik Software\\|Error reading program settings from the registry.\\\\r\\\\n\\\\r\\\\nThe program will now exit.\\|0x200010\\|desktop");
    HKEY key = nullptr;
    EXPECT_NE(ERROR_SUCCESS, RegOpenKeyExW(HKEY_LOCAL_MACHINE, kSettingsKeyPath, 0, KEY_READ, &key));
}

TEST_F(SaveSettingsTest, SettingsKeyGoneBeforeThePageOpensEndsTheManager) {
    RemoveSettingsKey();
    EXPECT_EXIT({ SheetHarness harness; }, ::testing::ExitedWithCode(-1),
                "BOX\\[Dravik Software\\|Error reading program settings from the registry.\\\\r\\\\n\\\\r\\\\nThe program will now exit.\\|0x200010\\|desktop");
}

// Needs the fake call manager that tests/e2e/test_risport.py starts; skipped without it.
class SaveSettingsLiveTest : public SaveSettingsTest {
protected:
    void TearDown() override {
        SetCertificateDialogHandler(nullptr);
        SaveSettingsTest::TearDown();
    }

    // Refresh from the fake's three phones (SEP00000000A001 to A003), then OK.
    static void RefreshThenOk(SheetHarness& harness, const std::wstring& server, DWORD port) {
        harness.Type(1, IDC_SERVER_ADDRESS, server);
        harness.Type(1, IDC_SERVER_PORT, std::to_wstring(port));
        harness.Type(1, IDC_CUCM_USERNAME, L"three-phones");
        harness.Type(1, IDC_CUCM_PASSWORD, L"cm-secret");
        harness.Click(1, IDC_REFRESH);
        HWND list = harness.control(1, IDC_PHONE_LIST);
        ASSERT_EQ(3, SendMessageW(list, LVM_GETITEMCOUNT, 0, 0));
        ASSERT_EQ(L"SEP00000000A003", Cell(list, 2, 3));
        harness.Ok();
        ASSERT_TRUE(harness.Closed());
    }
};

// Refresh, then OK: the natural way to update the phones' addresses keeps the paging selection.
TEST_F(SaveSettingsLiveTest, ARefreshKeepsTheTicksOfThePhonesThatAreStillThere) {
    std::wstring server;
    DWORD port = 0;
    if (!phonetest::FakeCucmAddress("QAX_CUCM_SERVER", "QAX_CUCM_PORT", &server, &port)) {
        GTEST_SKIP() << "no fake call manager";
    }
    SetCertificateDialogHandler(phonetest::AcceptCertificateAsUser);
    WriteFileBytes(DataFilePath(),
                   "4001\tLobby\t10.0.0.1\tSEP00000000A001\r\n"
                   "4003\tLoading dock\t10.0.0.3\tSEP00000000A003\r\n"
                   "9999\tRetired\t10.0.0.9\tSEPRETIRED\r\n");
    SeedSettings({{kValueDataFile, DataFilePath()}, {kValueDeviceSelections, L"SEPRETIRED;SEP00000000A003;"}});
    {
        SheetHarness harness;
        RefreshThenOk(harness, server, port);
    }
    // A retired phone is gone with its tick; the other ticked phone stays ticked.
    EXPECT_EQ(Stored(L"SEP00000000A003;"), ReadAllSettings()[kValueDeviceSelections].data);

    // With no data file to show the ticks, the stored selection holds them.
    DeleteFileW(DataFilePath().c_str());
    {
        SheetHarness harness;
        RefreshThenOk(harness, server, port);
    }
    EXPECT_EQ(Stored(L"SEP00000000A003;"), ReadAllSettings()[kValueDeviceSelections].data);
    const std::string written = ReadFileBytes(DataFilePath());
    EXPECT_EQ(3, std::count(written.begin(), written.end(), '\n')) << written;
}

}  // namespace
