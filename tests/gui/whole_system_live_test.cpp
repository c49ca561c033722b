// The administrator's part of the whole-system run (tests/e2e/test_whole_system.py): the
// manager's own sheet, in-process, types the settings, ticks the phones that may be paged,
// applies, and builds two zones on the Zones page, on the registry that QAXservice then
// starts from. The script seeds the data file and its path and names every value through
// the environment; without it the suite skips.
#include <windows.h>
#include <commctrl.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "manager/phone_list_page.h"
#include "manager/resource.h"
#include "common/config_store.h"
#include "sheet_harness.h"
#include "zone_test_support.h"

namespace {

constexpr int kSettingsPage = 0;
constexpr int kPhoneListPage = 1;
constexpr int kZonesPage = 2;

// The Settings page's fields, each typed from the variable "QAX_SET_" + its registry name.
struct SettingsField {
    int control;
    const wchar_t* value;
};
const SettingsField kSettingsFields[] = {
    {IDC_HTTP_SERVER_IP, kValueHttpServerIP},     {IDC_HTTP_SERVER_PORT, kValueHttpServerPort},
    {IDC_MULTICAST_USERNAME, kValueMulticastUsername}, {IDC_MULTICAST_PASSWORD, kValueMulticastPassword},
    {IDC_MULTICAST_TARGET_IP, kValueMulticastTargetIP}, {IDC_PORT_RANGE_START, kValuePortRangeStart},
    {IDC_PORT_RANGE_END, kValuePortRangeEnd},     {IDC_ALERT_SOUND, kValueAlertSound},
    {IDC_ALERT_TEXT, kValueMessageText},          {IDC_ALERT_VOLUME, kValueMulticastVolume},
    {IDC_MAX_DURATION, kValueMaxDuration},
};

std::wstring Variable(const std::wstring& name) {
    DWORD size = GetEnvironmentVariableW(name.c_str(), nullptr, 0);
    if (size == 0) return std::wstring();
    std::wstring value(size, L'\0');
    value.resize(GetEnvironmentVariableW(name.c_str(), &value[0], size));
    return value;
}

// The non-empty pieces of text between separators.
std::vector<std::wstring> Split(const std::wstring& text, wchar_t separator) {
    std::vector<std::wstring> pieces;
    size_t start = 0;
    while (start <= text.size()) {
        size_t end = text.find(separator, start);
        if (end == std::wstring::npos) end = text.size();
        if (end > start) pieces.push_back(text.substr(start, end - start));
        start = end + 1;
    }
    return pieces;
}

std::vector<std::wstring> Sorted(std::vector<std::wstring> names) {
    std::sort(names.begin(), names.end());
    return names;
}

// One zone as the script describes it: "name/description/member;member;...".
struct ZonePlan {
    std::wstring name;
    std::wstring description;
    std::vector<std::wstring> members;
};

std::vector<ZonePlan> ZonePlans(const std::wstring& text) {
    std::vector<ZonePlan> plans;
    for (const std::wstring& zone : Split(text, L'|')) {
        std::vector<std::wstring> parts = Split(zone, L'/');
        if (parts.size() != 3) return {};
        plans.push_back({parts[0], parts[1], Split(parts[2], L';')});
    }
    return plans;
}

int RowShowing(HWND list, const std::wstring& deviceName) {
    for (int row = 0; row < zonetest::RowCount(list); ++row) {
        if (zonetest::CellText(list, row, 3) == deviceName) return row;
    }
    return -1;
}

std::vector<std::wstring> ComboEntries(HWND combo) {
    std::vector<std::wstring> entries;
    const int count = static_cast<int>(SendMessageW(combo, CB_GETCOUNT, 0, 0));
    for (int i = 0; i < count; ++i) {
        wchar_t text[256] = {};
        if (SendMessageW(combo, CB_GETLBTEXTLEN, i, 0) < 256) SendMessageW(combo, CB_GETLBTEXT, i, reinterpret_cast<LPARAM>(text));
        entries.push_back(text);
    }
    return entries;
}

TEST(WholeSystemLiveTest, TheAdministratorSavesSettingsSelectionAndTwoZones) {
    const std::wstring dataFile = Variable(L"QAX_WHOLE_SYSTEM_DATA_FILE");
    if (dataFile.empty()) GTEST_SKIP() << "run by tests/e2e/test_whole_system.py";
    const std::vector<std::wstring> ticked = Split(Variable(L"QAX_WHOLE_SYSTEM_TICK"), L';');
    const std::vector<ZonePlan> zones = ZonePlans(Variable(L"QAX_WHOLE_SYSTEM_ZONES"));
    ASSERT_FALSE(ticked.empty());
    ASSERT_EQ(zones.size(), 2u);

    ClearBoxes();
    SheetHarness harness;
    ASSERT_NE(harness.sheet(), nullptr);
    // A site never set up: the sheet names the seeded data file, and every value that is not
    // there yet is reported by the one absent-value box, nothing else.
    EXPECT_EQ(std::wstring(g_dataFilePath), dataFile);
    for (const RecordedBox& box : RecordedBoxes()) EXPECT_EQ(box.text, kAbsentValueText);
    ClearBoxes();

    for (const SettingsField& field : kSettingsFields) {
        const std::wstring value = Variable(std::wstring(L"QAX_SET_") + field.value);
        ASSERT_FALSE(value.empty()) << "no value given for " << testing::PrintToString(std::wstring(field.value));
        harness.Type(kSettingsPage, field.control, value);
        EXPECT_EQ(harness.Text(kSettingsPage, field.control), value) << "the field holds the whole value";
    }

    HWND phoneList = harness.control(kPhoneListPage, IDC_PHONE_LIST);
    for (const std::wstring& name : ticked) {
        const int row = RowShowing(phoneList, name);
        ASSERT_GE(row, 0) << "the data file's phone is listed";
        ListView_SetItemState(phoneList, row, INDEXTOSTATEIMAGEMASK(2), LVIS_STATEIMAGEMASK);
    }
    PumpMessages(10);
    EXPECT_TRUE(harness.ApplyEnabled());
    harness.Apply();
    EXPECT_TRUE(RecordedBoxes().empty());

    // Each zone as an administrator builds it: "+", its name typed, a description, its
    // phones picked in "Unassigned" and moved with ">>", Save.
    HWND zonesPage = harness.page(kZonesPage);
    HWND assigned = GetDlgItem(zonesPage, IDC_ASSIGNED_LIST);
    HWND unassigned = GetDlgItem(zonesPage, IDC_UNASSIGNED_LIST);
    for (const ZonePlan& zone : zones) {
        harness.Click(kZonesPage, IDC_ZONE_ADD);
        zonetest::TypeKeys(zonetest::ZoneNameField(zonesPage), zone.name);
        ASSERT_TRUE(IsWindowEnabled(GetDlgItem(zonesPage, IDC_ZONE_SAVE)));
        harness.Type(kZonesPage, IDC_ZONE_DESCRIPTION, zone.description);
        for (const std::wstring& member : zone.members) {
            ASSERT_TRUE(zonetest::SelectPhoneRow(unassigned, member)) << "the phone stands in Unassigned";
        }
        harness.Click(kZonesPage, IDC_ASSIGN);
        EXPECT_EQ(Sorted(zonetest::DeviceNames(assigned)), Sorted(zone.members));
        harness.Click(kZonesPage, IDC_ZONE_SAVE);
        EXPECT_FALSE(IsWindowEnabled(GetDlgItem(zonesPage, IDC_ZONE_SAVE))) << "the zone was saved";
    }
    EXPECT_TRUE(RecordedBoxes().empty());

    // "+" reloads the zone list from the registry: both zones are offered.
    harness.Click(kZonesPage, IDC_ZONE_ADD);
    EXPECT_EQ(Sorted(ComboEntries(GetDlgItem(zonesPage, IDC_ZONE_COMBO))), Sorted({zones[0].name, zones[1].name}));

    harness.Ok();
    EXPECT_TRUE(harness.Closed());
    EXPECT_TRUE(RecordedBoxes().empty());
}

}  // namespace
