// The Zones and About pages inside the manager's own sheet: the Zones page reads the data
// file that the IP Phone List page names, saves zones by its own button only, and leaves the
// sheet's Apply, OK and Cancel to the other pages.
#include <windows.h>
#include <commctrl.h>

#include <gtest/gtest.h>

#include <algorithm>

#include "manager/resource.h"
#include "manager/zone_store.h"
#include "common/config_store.h"
#include "sheet_harness.h"
#include "zone_test_support.h"

namespace {

constexpr int kZonesPage = 2;
constexpr int kAboutPage = 3;

std::vector<std::wstring> Sorted(std::vector<std::wstring> names) {
    std::sort(names.begin(), names.end());
    return names;
}

// The row whose "Directory Number" is this text; -1 when none.
int RowOf(HWND list, const wchar_t* dirNumber) {
    for (int row = 0; row < zonetest::RowCount(list); ++row) {
        if (zonetest::CellText(list, row, 0) == dirNumber) return row;
    }
    return -1;
}

void SetRowState(HWND list, int row, UINT state, UINT mask) {
    LVITEMW item{};
    item.stateMask = mask;
    item.state = state;
    SendMessageW(list, LVM_SETITEMSTATE, row, reinterpret_cast<LPARAM>(&item));
    PumpMessages(10);
}

class ZonesInTheSheet : public ::testing::Test {
protected:
    void SetUp() override {
        dataFile_ = TestDirectory() + L"\\zones_sheet_phones.dat";
        WriteDataFile(dataFile_, {{{L"2001", L"Reception", L"127.0.50.21", L"SEP0000000000A1"}},
                                  {{L"2002", L"Workshop", L"127.0.50.22", L"SEP0000000000A2"}},
                                  {{L"2003", L"Canteen", L"127.0.50.23", L"SEP0000000000A3"}}});
        std::map<std::wstring, std::wstring> values = {{kValueDataFile, dataFile_}, {kValueDeviceSelections, L""}};
        for (const wchar_t* name : {kValueHttpServerIP, kValueHttpServerPort, kValueMulticastTargetIP,
                                    kValuePortRangeStart, kValuePortRangeEnd, kValueMulticastVolume, kValueMessageText,
                                    kValueAlertSound, kValueMaxDuration, kValueServerAddress, kValueServerPort}) {
            values[name] = L"";
        }
        SeedSettings(values, {{kValueMulticastUsername, {}}, {kValueMulticastPassword, {}},
                              {kValueCucmUsername, {}}, {kValueCucmPassword, {}}});
        zonetest::SeedZone(L"Workshop", L"Ground floor", {L"SEP0000000000A2"});
        ClearBoxes();
    }
    void TearDown() override {
        RemoveSettingsKey();
        DeleteFileW(dataFile_.c_str());
    }

    std::wstring dataFile_;
};

TEST_F(ZonesInTheSheet, ZoneEditsAreSavedByTheirOwnButtonAndLeaveApplyAlone) {
    SheetHarness harness;
    HWND page = harness.page(kZonesPage);
    ASSERT_NE(page, nullptr);
    HWND combo = GetDlgItem(page, IDC_ZONE_COMBO);
    HWND unassigned = GetDlgItem(page, IDC_UNASSIGNED_LIST);
    HWND assigned = GetDlgItem(page, IDC_ASSIGNED_LIST);
    EXPECT_EQ(zonetest::DeviceNames(unassigned),
              (std::vector<std::wstring>{L"SEP0000000000A1", L"SEP0000000000A2", L"SEP0000000000A3"}));
    ASSERT_EQ(SendMessageW(combo, CB_GETCOUNT, 0, 0), 1);

    SendMessageW(combo, CB_SETCURSEL, 0, 0);
    SendMessageW(page, WM_COMMAND, MAKEWPARAM(IDC_ZONE_COMBO, CBN_SELCHANGE), reinterpret_cast<LPARAM>(combo));
    SendMessageW(page, WM_COMMAND, MAKEWPARAM(IDC_ZONE_COMBO, CBN_SELENDOK), reinterpret_cast<LPARAM>(combo));
    EXPECT_EQ(harness.Text(kZonesPage, IDC_ZONE_DESCRIPTION), L"Ground floor");
    EXPECT_EQ(zonetest::DeviceNames(assigned), (std::vector<std::wstring>{L"SEP0000000000A2"}));

    LVITEMW selected{};
    selected.stateMask = LVIS_SELECTED;
    selected.state = LVIS_SELECTED;
    SendMessageW(unassigned, LVM_SETITEMSTATE, 0, reinterpret_cast<LPARAM>(&selected));
    harness.Click(kZonesPage, IDC_ASSIGN);
    harness.Click(kZonesPage, IDC_ZONE_SAVE);
    EXPECT_EQ(Sorted(zonetest::SubkeyNames(zonetest::ZonePath(L"Workshop"))),
              (std::vector<std::wstring>{L"SEP0000000000A1", L"SEP0000000000A2"}));
    EXPECT_FALSE(harness.ApplyEnabled()) << "zones do not mark the sheet changed";
    EXPECT_TRUE(RecordedBoxes().empty());
}

TEST_F(ZonesInTheSheet, CancellingTheSheetDiscardsUnsavedZoneEditsWithoutAQuestion) {
    {
        SheetHarness harness;
        HWND page = harness.page(kZonesPage);
        ASSERT_NE(page, nullptr);
        harness.Click(kZonesPage, IDC_ZONE_ADD);
        HWND nameField = FindWindowExW(GetDlgItem(page, IDC_ZONE_COMBO), nullptr, L"Edit", nullptr);
        SendMessageW(nameField, WM_KEYDOWN, 'Y', 1);
        SendMessageW(nameField, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(L"Yard"));
        EXPECT_TRUE(IsWindowEnabled(GetDlgItem(page, IDC_ZONE_SAVE)));
        harness.Cancel();
        EXPECT_TRUE(harness.Closed());
    }
    EXPECT_TRUE(RecordedBoxes().empty());
    EXPECT_EQ(zonetest::SubkeyNames(kZonesKeyPath), (std::vector<std::wstring>{L"Workshop"}));
}

TEST_F(ZonesInTheSheet, ADeviceNameOverTheLimitIsCutAlikeSoItKeepsItsTickAndItsZone) {
    const std::wstring longName = L"SEP" + std::wstring(297, L'7');
    const std::wstring cut = longName.substr(0, 255);
    WriteDataFile(dataFile_, {{{L"2001", L"Reception", L"127.0.50.21", L"SEP0000000000A1"}},
                              {{L"2004", L"Long name", L"127.0.50.24", longName}}});
    {
        SheetHarness harness;
        HWND page = harness.page(kZonesPage);
        ASSERT_NE(page, nullptr);
        HWND unassigned = GetDlgItem(page, IDC_UNASSIGNED_LIST);
        HWND assigned = GetDlgItem(page, IDC_ASSIGNED_LIST);
        zonetest::ChooseZone(page, L"Workshop");
        ASSERT_GE(RowOf(unassigned, L"2004"), 0);
        SetRowState(unassigned, RowOf(unassigned, L"2004"), LVIS_SELECTED, LVIS_SELECTED);
        harness.Click(kZonesPage, IDC_ASSIGN);
        harness.Click(kZonesPage, IDC_ZONE_SAVE);
        EXPECT_EQ(Sorted(zonetest::SubkeyNames(zonetest::ZonePath(L"Workshop"))),
                  Sorted({L"SEP0000000000A2", cut}));

        // Chosen again it shows as a member, and the next save of the zone keeps it.
        zonetest::ChooseZone(page, L"Workshop");
        EXPECT_EQ(zonetest::DeviceNames(assigned), (std::vector<std::wstring>{cut}));
        SetRowState(unassigned, RowOf(unassigned, L"2001"), LVIS_SELECTED, LVIS_SELECTED);
        harness.Click(kZonesPage, IDC_ASSIGN);
        harness.Click(kZonesPage, IDC_ZONE_SAVE);
        EXPECT_EQ(Sorted(zonetest::SubkeyNames(zonetest::ZonePath(L"Workshop"))),
                  Sorted({L"SEP0000000000A1", L"SEP0000000000A2", cut}));

        HWND phones = harness.control(1, IDC_PHONE_LIST);
        ASSERT_GE(RowOf(phones, L"2004"), 0);
        SetRowState(phones, RowOf(phones, L"2004"), INDEXTOSTATEIMAGEMASK(2), LVIS_STATEIMAGEMASK);
        harness.Ok();
    }
    EXPECT_EQ(Stored(cut + L";"), ReadAllSettings()[kValueDeviceSelections].data);

    SheetHarness reopened;
    HWND phones = reopened.control(1, IDC_PHONE_LIST);
    ASSERT_GE(RowOf(phones, L"2004"), 0);
    EXPECT_EQ(static_cast<UINT>(INDEXTOSTATEIMAGEMASK(2)),
              static_cast<UINT>(SendMessageW(phones, LVM_GETITEMSTATE, RowOf(phones, L"2004"), LVIS_STATEIMAGEMASK)))
        << "the tick is back on reopening";
    zonetest::ChooseZone(reopened.page(kZonesPage), L"Workshop");
    EXPECT_EQ(Sorted(zonetest::DeviceNames(reopened.control(kZonesPage, IDC_ASSIGNED_LIST))),
              Sorted({L"SEP0000000000A1", cut}));
    EXPECT_TRUE(RecordedBoxes().empty());
}

TEST_F(ZonesInTheSheet, TheAboutPageShowsTheProductAndItsPictures) {
    SheetHarness harness;
    HWND page = harness.page(kAboutPage);
    ASSERT_NE(page, nullptr);
    EXPECT_EQ(harness.Text(kAboutPage, IDC_CHECK_UPDATES), L"Check for Updates");
    int pictures = 0;
    bool productName = false;
    for (HWND child = GetWindow(page, GW_CHILD); child != nullptr; child = GetWindow(child, GW_HWNDNEXT)) {
        if (SendMessageW(child, STM_GETIMAGE, IMAGE_BITMAP, 0) != 0) ++pictures;
        if (zonetest::WindowText(child) == L"Halvenor [QAX] \r\n") {
            productName = true;
            EXPECT_NE(GetWindowLongW(child, GWL_STYLE) & SS_NOPREFIX, 0);
        }
    }
    EXPECT_EQ(pictures, 2);
    EXPECT_TRUE(productName);
}

}  // namespace
