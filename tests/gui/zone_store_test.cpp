// The zone store on the real registry: saving, reading back, removing, refused names.
#include "manager/zone_store.h"

#include <gtest/gtest.h>

#include <algorithm>

#include "manager/resource.h"
#include "manager/zone_rows.h"
#include "tests/gui/zone_test_support.h"

using namespace zonetest;

namespace {

INT_PTR CALLBACK PlainPageProc(HWND, UINT, WPARAM, LPARAM) { return FALSE; }

const Phone kDesk1{L"1001", L"Front desk", L"127.0.50.11", L"SEP000000000001"};
const Phone kDesk2{L"1002", L"Lobby", L"127.0.50.12", L"SEP000000000002"};
const Phone kDesk3{L"1003", L"Kitchen", L"127.0.50.13", L"SEP000000000003"};
const Phone kDesk4{L"1004", L"Loading bay", L"127.0.50.14", L"SEP000000000004"};

std::vector<std::wstring> Sorted(std::vector<std::wstring> names) {
    std::sort(names.begin(), names.end());
    return names;
}

// The Zones page's controls without its behaviour: the store's operations alone act on them.
class ZoneStore : public ::testing::Test {
protected:
    ZoneStore() : host_(IDD_ZONES, PlainPageProc) {
        AddPhoneColumns(assigned());
        AddPhoneColumns(unassigned());
    }

    HWND page() const { return host_.page(); }
    HWND assigned() const { return host_.item(IDC_ASSIGNED_LIST); }
    HWND unassigned() const { return host_.item(IDC_UNASSIGNED_LIST); }
    HWND combo() const { return host_.item(IDC_ZONE_COMBO); }

    void TypeZoneName(const wchar_t* name) {
        SetWindowTextW(FindWindowExW(combo(), nullptr, L"Edit", nullptr), name);
    }
    void ChooseListedZone(const wchar_t* name) {
        LRESULT index = SendMessageW(combo(), CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(name));
        SendMessageW(combo(), CB_SETCURSEL, index, 0);
    }
    void FillUnassigned(const std::vector<Phone>& phones) {
        SendMessageW(unassigned(), LVM_DELETEALLITEMS, 0, 0);
        for (const Phone& p : phones) AddPhoneRow(unassigned(), p);
    }

    ZoneTreeGuard zones_;
    MessageBoxRecorder boxes_;
    PageHost host_;
};

TEST_F(ZoneStore, SavedZoneReadsBackWithDescriptionAndMembers) {
    SeedZone(L"Annex", L"Across the yard", {});
    TypeZoneName(L"North Wing");
    SetDlgItemTextW(page(), IDC_ZONE_DESCRIPTION, L"First floor and lobby");
    for (const Phone& p : {kDesk1, kDesk2, kDesk3}) AddPhoneRow(assigned(), p);
    AddPhoneRow(unassigned(), kDesk4);

    ASSERT_EQ(SaveCurrentZone(page()), 1);
    EXPECT_TRUE(MessageBoxRecorder::Boxes().empty());

    std::vector<BYTE> stored;
    ASSERT_TRUE(ReadValueBytes(ZonePath(L"North Wing"), kZoneDescriptionValue, &stored));
    EXPECT_EQ(stored.size(), (wcslen(L"First floor and lobby") + 1) * 2);
    EXPECT_EQ(StoredText(stored), L"First floor and lobby");
    EXPECT_EQ(Sorted(SubkeyNames(ZonePath(L"North Wing"))),
              (std::vector<std::wstring>{kDesk1.name, kDesk2.name, kDesk3.name}));

    // The table follows the registry's enumeration order, with each zone's description.
    LoadZoneTable();
    const std::vector<std::wstring> order = SubkeyNames(kZonesKeyPath);
    ASSERT_EQ(g_zoneCount, 2);
    ASSERT_EQ(order.size(), 2u);
    for (int i = 0; i < g_zoneCount; ++i) {
        EXPECT_EQ(std::wstring(g_zoneTable[i].name), order[i]);
        EXPECT_EQ(g_zoneTable[i].nameLength, order[i].size());
        EXPECT_EQ(std::wstring(g_zoneTable[i].description),
                  order[i] == L"Annex" ? L"Across the yard" : L"First floor and lobby");
    }

    // Reading the members back moves their rows, all four columns, out of "Unassigned".
    SendMessageW(assigned(), LVM_DELETEALLITEMS, 0, 0);
    FillUnassigned({kDesk4, kDesk3, kDesk2, kDesk1});
    ChooseListedZone(L"North Wing");
    ASSERT_EQ(LoadZoneMembers(page()), 1);
    EXPECT_EQ(Rows(assigned()), (std::vector<std::vector<std::wstring>>{Columns(kDesk1), Columns(kDesk2),
                                                                          Columns(kDesk3)}));
    EXPECT_EQ(Rows(unassigned()), (std::vector<std::vector<std::wstring>>{Columns(kDesk4)}));
}

TEST_F(ZoneStore, SavingAfterUnassignTakesThatPhoneOutAndKeepsMembersNotInTheFile) {
    SeedZone(L"North Wing", L"Old text", {kDesk1.name, kDesk2.name, L"SEP0000000000FF"});
    FillUnassigned({kDesk1, kDesk2, kDesk3});
    ChooseListedZone(L"North Wing");
    LoadZoneMembers(page());
    ASSERT_EQ(Sorted(DeviceNames(assigned())), (std::vector<std::wstring>{kDesk1.name, kDesk2.name}));
    // The member whose phone is not in the data file is shown nowhere.
    EXPECT_EQ(FindListItemByText(assigned(), L"SEP0000000000FF", 3), -1);
    EXPECT_EQ(FindListItemByText(unassigned(), L"SEP0000000000FF", 3), -1);

    // "<<" on the second desk, then Save.
    ASSERT_GE(MovePhoneListRow(assigned(), FindListItemByText(assigned(), kDesk2.name.c_str(), 3), unassigned()), 0);
    SetDlgItemTextW(page(), IDC_ZONE_DESCRIPTION, L"");
    ASSERT_EQ(SaveCurrentZone(page()), 1);

    EXPECT_EQ(Sorted(SubkeyNames(ZonePath(L"North Wing"))),
              (std::vector<std::wstring>{kDesk1.name, L"SEP0000000000FF"}));
    std::vector<BYTE> stored;
    ASSERT_TRUE(ReadValueBytes(ZonePath(L"North Wing"), kZoneDescriptionValue, &stored));
    EXPECT_EQ(stored.size(), 0u) << "an empty description is stored as zero bytes";
}

TEST_F(ZoneStore, RemovingDeletesTheWholeTreeAndTheListEntry) {
    SeedZone(L"Annex", L"Across the yard", {kDesk1.name, kDesk2.name});
    CreateKey(ZonePath(L"Annex") + L"\\" + kDesk1.name + L"\\deeper\\deepest");
    SeedZone(L"Keep", nullptr, {kDesk3.name});
    ChooseListedZone(L"Keep");
    ChooseListedZone(L"Annex");

    ASSERT_EQ(RemoveCurrentZone(page()), 1);

    EXPECT_FALSE(KeyExists(ZonePath(L"Annex")));
    EXPECT_EQ(SubkeyNames(ZonePath(L"Keep")), (std::vector<std::wstring>{kDesk3.name}));
    ASSERT_EQ(MessageBoxRecorder::Boxes().size(), 1u);
    const RecordedBox& box = MessageBoxRecorder::Boxes()[0];
    EXPECT_EQ(box.text, L"Annex");
    EXPECT_FALSE(box.hasCaption);
    EXPECT_EQ(box.owner, nullptr);
    EXPECT_EQ(box.flags, static_cast<UINT>(MB_OK));
    EXPECT_EQ(SendMessageW(combo(), CB_GETCOUNT, 0, 0), 1);
    EXPECT_EQ(SendMessageW(combo(), CB_FINDSTRINGEXACT, static_cast<WPARAM>(-1), reinterpret_cast<LPARAM>(L"Annex")),
              CB_ERR);
}

TEST_F(ZoneStore, RemovingAZoneAlreadyGoneCountsAsDone) {
    ChooseListedZone(L"Ghost");
    HKEY zones = OpenKey(kZonesKeyPath);
    ASSERT_NE(zones, nullptr);
    EXPECT_EQ(DeleteKeyTree(zones, L"Ghost"), 1);
    EXPECT_EQ(DeleteKeyTree(zones, L""), 0) << "an empty path would name the Zones key itself";
    RegCloseKey(zones);

    ASSERT_EQ(RemoveCurrentZone(page()), 1);
    ASSERT_EQ(MessageBoxRecorder::Boxes().size(), 1u) << "only the zone's name, no error";
    EXPECT_EQ(SendMessageW(combo(), CB_GETCOUNT, 0, 0), 0);
    EXPECT_TRUE(KeyExists(kZonesKeyPath));
}

TEST_F(ZoneStore, EmptyAndBackslashNamesAreRefusedAndNothingIsWritten) {
    SeedZone(L"Annex", L"Across the yard", {kDesk1.name});
    SetDlgItemTextW(page(), IDC_ZONE_DESCRIPTION, L"Should not be stored");
    AddPhoneRow(assigned(), kDesk2);
    EnableWindow(host_.item(IDC_ZONE_SAVE), TRUE);

    const struct {
        const wchar_t* name;
        const wchar_t* text;
    } cases[] = {{L"", kZoneNameEmptyText}, {L"Wing\\East", kZoneNameBackslashText}, {L"\\", kZoneNameBackslashText}};
    for (const auto& c : cases) {
        SCOPED_TRACE(::testing::Message() << "name of " << wcslen(c.name) << " characters");
        MessageBoxRecorder::Boxes().clear();
        TypeZoneName(c.name);
        EXPECT_EQ(SaveCurrentZone(page()), 0);
        ASSERT_EQ(MessageBoxRecorder::Boxes().size(), 1u);
        EXPECT_EQ(MessageBoxRecorder::Boxes()[0].text, c.text);
        EXPECT_EQ(MessageBoxRecorder::Boxes()[0].caption, kZoneSaveErrorCaption);
        EXPECT_EQ(MessageBoxRecorder::Boxes()[0].owner, page());
        EXPECT_EQ(SubkeyNames(kZonesKeyPath), (std::vector<std::wstring>{L"Annex"}));
        EXPECT_EQ(ValueCount(kZonesKeyPath), 0u);
        EXPECT_EQ(SubkeyNames(ZonePath(L"Annex")), (std::vector<std::wstring>{kDesk1.name}));
        EXPECT_TRUE(IsWindowEnabled(host_.item(IDC_ZONE_SAVE))) << "the name can be corrected and saved";
    }
}

TEST_F(ZoneStore, MembersMatchExactlyAndTheFirstOfTwoEqualRowsMoves) {
    EXPECT_EQ(FindListItemByText(unassigned(), kDesk1.name.c_str(), 3), -1) << "empty list";
    Phone twin = kDesk1;
    twin.dirNumber = L"2001";
    FillUnassigned({kDesk1, twin, kDesk2});
    EXPECT_EQ(FindListItemByText(unassigned(), L"sep000000000001", 3), -1);
    EXPECT_EQ(FindListItemByText(unassigned(), L"SEP00000000000", 3), -1);

    SeedZone(L"Twins", nullptr, {L"sep000000000002", kDesk1.name});
    ChooseListedZone(L"Twins");
    LoadZoneMembers(page());
    // Rows sort by Directory Number: the 1001 row comes first and is the one that moves.
    EXPECT_EQ(Rows(assigned()), (std::vector<std::vector<std::wstring>>{Columns(kDesk1)}));
    EXPECT_EQ(DeviceNames(unassigned()), (std::vector<std::wstring>{kDesk2.name, kDesk1.name}));
}

TEST_F(ZoneStore, ChoosingNoZoneOnlyEmptiesAssigned) {
    SeedZone(L"Annex", nullptr, {kDesk1.name});
    AddPhoneRow(assigned(), kDesk3);
    FillUnassigned({kDesk1, kDesk2});
    TypeZoneName(L"");
    ASSERT_EQ(SendMessageW(combo(), CB_GETCURSEL, 0, 0), CB_ERR);
    EXPECT_EQ(LoadZoneMembers(page()), 1);
    EXPECT_EQ(RowCount(assigned()), 0);
    EXPECT_EQ(RowCount(unassigned()), 2) << "zones are not read as members";
    EXPECT_TRUE(MessageBoxRecorder::Boxes().empty());
}

TEST_F(ZoneStore, ADescriptionTooLongForTheTableReadsAsEmpty) {
    const std::wstring longText(300, L'x');
    SeedZone(L"Verbose", longText.c_str(), {});
    SeedZone(L"Exact", std::wstring(255, L'y').c_str(), {});
    LoadZoneTable();
    ASSERT_EQ(g_zoneCount, 2);
    for (int i = 0; i < g_zoneCount; ++i) {
        const std::wstring name = g_zoneTable[i].name;
        EXPECT_EQ(std::wstring(g_zoneTable[i].description), name == L"Exact" ? std::wstring(255, L'y') : L"") << name;
    }
}

TEST_F(ZoneStore, WithoutTheZonesKeyEachOperationShowsOneBoxAndWritesNothing) {
    DeleteTree(kZonesKeyPath);
    LoadZoneTable();
    EXPECT_EQ(g_zoneCount, 0);
    ASSERT_EQ(MessageBoxRecorder::Boxes().size(), 1u);
    EXPECT_EQ(MessageBoxRecorder::Boxes()[0].text, kKeyOpenErrorText);
    EXPECT_EQ(MessageBoxRecorder::Boxes()[0].caption, kRegistryBoxCaption);
    EXPECT_EQ(MessageBoxRecorder::Boxes()[0].flags, static_cast<UINT>(MB_SERVICE_NOTIFICATION | MB_ICONERROR));

    MessageBoxRecorder::Boxes().clear();
    TypeZoneName(L"North Wing");
    AddPhoneRow(assigned(), kDesk1);
    EXPECT_EQ(SaveCurrentZone(page()), 1);
    EXPECT_EQ(MessageBoxRecorder::Boxes().size(), 1u);
    EXPECT_FALSE(KeyExists(kZonesKeyPath));

    MessageBoxRecorder::Boxes().clear();
    DeleteZoneKey(L"North Wing");
    EXPECT_EQ(MessageBoxRecorder::Boxes().size(), 1u);
    EXPECT_FALSE(KeyExists(kZonesKeyPath));
}

}  // namespace
