// The Zones page driven in-process through its windows, from its own template, with a phone
// data file in a scratch directory and the zone tree in the real registry.
#include "manager/zones_page.h"

#include <gtest/gtest.h>

#include <algorithm>

#include "common/text.h"
#include "manager/phone_list_page.h"
#include "manager/resource.h"
#include "manager/sheet.h"
#include "manager/zone_store.h"
#include "tests/gui/zone_test_support.h"

using namespace zonetest;

namespace {

const Phone kPhones[] = {
    {L"1001", L"Front desk", L"127.0.50.11", L"SEP000000000001"},
    {L"1002", L"Lobby", L"127.0.50.12", L"SEP000000000002"},
    {L"1003", L"Kitchen", L"127.0.50.13", L"SEP000000000003"},
    {L"1004", L"Loading bay", L"127.0.50.14", L"SEP000000000004"},
    {L"1005", L"Yard", L"127.0.50.15", L"SEP000000000005"},
};
const wchar_t kNotInFile[] = L"SEP0000000000FF";

using RowTexts = std::vector<std::vector<std::wstring>>;

RowTexts RowsOf(std::initializer_list<int> indexes) {
    RowTexts rows;
    for (int i : indexes) rows.push_back(Columns(kPhones[i]));
    return rows;
}

std::vector<std::wstring> Sorted(std::vector<std::wstring> names) {
    std::sort(names.begin(), names.end());
    return names;
}

// The data file of the site, written by the shared writer, in a directory of its own.
class DataFile {
public:
    DataFile() : path_(directory_.file(L"CUCMdata.dat")) {
        std::vector<DataFileRow> rows;
        for (const Phone& p : kPhones) rows.push_back({{p.dirNumber, p.description, p.ipAddress, p.name}});
        WriteDataFile(path_, rows);
    }
    const std::wstring& path() const { return path_; }

private:
    guitest::ScratchDirectory directory_;
    std::wstring path_;
};

class ZonesPage : public ::testing::Test {
protected:
    void SetUp() override {
        SeedZone(L"North Wing", L"First floor", {kPhones[0].name, kPhones[1].name, kNotInFile});
        SeedZone(L"Annex", L"Across the yard", {kPhones[4].name});
        CopyBounded(g_dataFilePath, kPathUnits, file_.path().c_str());
        g_sortDirection = 1;
        host_.reset(new PageHost(IDD_ZONES, ZonesPageProc));
        ASSERT_NE(page(), nullptr);
    }
    void TearDown() override { host_.reset(); }

    HWND page() const { return host_->page(); }
    HWND item(int id) const { return host_->item(id); }
    HWND combo() const { return item(IDC_ZONE_COMBO); }
    HWND nameField() const { return ZoneNameField(page()); }
    HWND assigned() const { return item(IDC_ASSIGNED_LIST); }
    HWND unassigned() const { return item(IDC_UNASSIGNED_LIST); }
    bool Enabled(int id) const { return IsWindowEnabled(item(id)) != FALSE; }

    void Click(int id) { SendMessageW(item(id), BM_CLICK, 0, 0); }

    void ChooseZone(const wchar_t* name) { zonetest::ChooseZone(page(), name); }

    void TypeIntoName(const std::wstring& text) { TypeKeys(nameField(), text); }

    void Select(HWND list, const std::wstring& deviceName) {
        ASSERT_TRUE(SelectPhoneRow(list, deviceName)) << "row present";
    }

    void ExpectEditingEnabled(bool enabled) {
        for (int id : {IDC_ZONE_DESCRIPTION, IDC_ASSIGNED_LIST, IDC_UNASSIGNED_LIST, IDC_ASSIGN, IDC_UNASSIGN}) {
            EXPECT_EQ(Enabled(id), enabled) << "control " << id;
        }
    }

    ZoneTreeGuard zones_;
    MessageBoxRecorder boxes_;
    DataFile file_;
    std::unique_ptr<PageHost> host_;
};

TEST_F(ZonesPage, ANameTypedLongerThanTheFieldIsWideIsKeptUpToTheLimit) {
    SendMessageW(item(IDC_ZONE_ADD), BM_CLICK, 0, 0);
    const std::wstring name = L"Warehouse north loading docks and the yard behind the east gate, level 2";
    TypeKeys(nameField(), name + std::wstring(300 - name.size(), L'x'));
    EXPECT_EQ(WindowText(nameField()), name + std::wstring(255 - name.size(), L'x'));
}

TEST_F(ZonesPage, OpensBlankWithEveryPhoneUnassignedAndTheZonesListed) {
    EXPECT_EQ(Rows(unassigned()), RowsOf({0, 1, 2, 3, 4}));
    EXPECT_EQ(RowCount(assigned()), 0);
    EXPECT_EQ(SendMessageW(combo(), CB_GETCOUNT, 0, 0), 2);
    ExpectEditingEnabled(false);
    EXPECT_FALSE(Enabled(IDC_ZONE_SAVE));
    EXPECT_FALSE(Enabled(IDC_ZONE_CANCEL));
    EXPECT_TRUE(Enabled(IDC_ZONE_ADD));
    EXPECT_FALSE(Enabled(IDC_ZONE_REMOVE));
    EXPECT_TRUE(IsWindowEnabled(combo()));
    // The zone tree holds at most 255 characters of a name or a description.
    EXPECT_EQ(SendMessageW(nameField(), EM_GETLIMITTEXT, 0, 0), 255);
    EXPECT_EQ(SendMessageW(item(IDC_ZONE_DESCRIPTION), EM_GETLIMITTEXT, 0, 0), 255);
    // No check boxes on the zone lists.
    EXPECT_EQ(SendMessageW(assigned(), LVM_GETEXTENDEDLISTVIEWSTYLE, 0, 0), 0x23);
    EXPECT_EQ(SendMessageW(unassigned(), LVM_GETEXTENDEDLISTVIEWSTYLE, 0, 0), 0x23);
    EXPECT_TRUE(MessageBoxRecorder::Boxes().empty());
}

TEST_F(ZonesPage, NewZoneFromPlusTypingAssigningAndSaving) {
    Click(IDC_ZONE_ADD);
    EXPECT_FALSE(Enabled(IDC_ZONE_SAVE));
    TypeIntoName(L"Dock");
    EXPECT_EQ(WindowText(nameField()), L"Dock");
    EXPECT_TRUE(Enabled(IDC_ZONE_SAVE));
    EXPECT_TRUE(Enabled(IDC_ZONE_CANCEL));
    ExpectEditingEnabled(true);
    EXPECT_TRUE(Enabled(IDC_ZONE_REMOVE));
    SetWindowTextW(nameField(), L"Loading Dock");
    SetDlgItemTextW(page(), IDC_ZONE_DESCRIPTION, L"Goods in and out");

    // ">>" with three rows selected moves all three, each with its four columns.
    Select(unassigned(), kPhones[3].name);
    Select(unassigned(), kPhones[1].name);
    Select(unassigned(), kPhones[2].name);
    Click(IDC_ASSIGN);
    EXPECT_EQ(Rows(assigned()), RowsOf({1, 2, 3}));
    EXPECT_EQ(Rows(unassigned()), RowsOf({0, 4}));
    EXPECT_EQ(SendMessageW(assigned(), LVM_GETSELECTEDCOUNT, 0, 0), 0) << "moved rows arrive unselected";
    EXPECT_TRUE(MessageBoxRecorder::Boxes().empty());

    Click(IDC_ZONE_SAVE);
    EXPECT_TRUE(MessageBoxRecorder::Boxes().empty());
    EXPECT_EQ(Sorted(SubkeyNames(ZonePath(L"Loading Dock"))),
              (std::vector<std::wstring>{kPhones[1].name, kPhones[2].name, kPhones[3].name}));
    std::vector<BYTE> stored;
    ASSERT_TRUE(ReadValueBytes(ZonePath(L"Loading Dock"), kZoneDescriptionValue, &stored));
    EXPECT_EQ(StoredText(stored), L"Goods in and out");
    EXPECT_FALSE(Enabled(IDC_ZONE_SAVE));
    EXPECT_FALSE(Enabled(IDC_ZONE_CANCEL));
    ExpectEditingEnabled(true);

    EXPECT_EQ(host_->changedCount(), 0) << "zone edits leave the sheet's Apply alone";

    // The new zone is listed after the next reset, not before.
    SendMessageW(page(), WM_COMMAND, MAKEWPARAM(IDC_ZONE_COMBO, CBN_DROPDOWN), reinterpret_cast<LPARAM>(combo()));
    EXPECT_EQ(SendMessageW(combo(), CB_GETCOUNT, 0, 0), 2);
    Click(IDC_ZONE_ADD);
    EXPECT_EQ(SendMessageW(combo(), CB_GETCOUNT, 0, 0), 3);
}

TEST_F(ZonesPage, MovingWithNothingSelectedShowsTheBoxAndChangesNothing) {
    ChooseZone(L"North Wing");
    const RowTexts before = Rows(unassigned());
    Click(IDC_ASSIGN);
    Click(IDC_UNASSIGN);
    ASSERT_EQ(MessageBoxRecorder::Boxes().size(), 2u);
    EXPECT_EQ(MessageBoxRecorder::Boxes()[0].text, L"No items have been selected to assign.");
    EXPECT_EQ(MessageBoxRecorder::Boxes()[0].caption, L"Error Assigning");
    EXPECT_EQ(MessageBoxRecorder::Boxes()[1].text, L"No items have been selected to unassign.");
    EXPECT_EQ(MessageBoxRecorder::Boxes()[1].caption, L"Error UnAssigning");
    for (const RecordedBox& box : MessageBoxRecorder::Boxes()) {
        EXPECT_EQ(box.owner, page());
        EXPECT_EQ(box.flags, static_cast<UINT>(MB_OK | MB_ICONINFORMATION));
    }
    EXPECT_EQ(Rows(unassigned()), before);
    EXPECT_EQ(Rows(assigned()), RowsOf({0, 1}));
    EXPECT_FALSE(Enabled(IDC_ZONE_SAVE));
}

TEST_F(ZonesPage, ChoosingAZoneShowsItsDescriptionAndOnlyMembersInTheDataFile) {
    ChooseZone(L"North Wing");
    EXPECT_EQ(WindowText(item(IDC_ZONE_DESCRIPTION)), L"First floor");
    EXPECT_EQ(Rows(assigned()), RowsOf({0, 1}));
    EXPECT_EQ(Rows(unassigned()), RowsOf({2, 3, 4}));
    // The member whose phone is not in the data file is shown nowhere, and stays stored.
    EXPECT_EQ(FindListItemByText(assigned(), kNotInFile, 3), -1);
    EXPECT_EQ(FindListItemByText(unassigned(), kNotInFile, 3), -1);
    EXPECT_TRUE(KeyExists(ZonePath(L"North Wing") + L"\\" + kNotInFile));
    ExpectEditingEnabled(true);
    EXPECT_TRUE(Enabled(IDC_ZONE_REMOVE));
    EXPECT_FALSE(Enabled(IDC_ZONE_SAVE)) << "choosing is not editing";

    ChooseZone(L"Annex");
    EXPECT_EQ(WindowText(item(IDC_ZONE_DESCRIPTION)), L"Across the yard");
    EXPECT_EQ(Rows(assigned()), RowsOf({4}));
    EXPECT_EQ(Rows(unassigned()), RowsOf({0, 1, 2, 3}));
    EXPECT_TRUE(MessageBoxRecorder::Boxes().empty());
}

TEST_F(ZonesPage, CancelRestoresTheStoredMembers) {
    ChooseZone(L"North Wing");
    Select(assigned(), kPhones[0].name);
    Click(IDC_UNASSIGN);
    Select(unassigned(), kPhones[3].name);
    Click(IDC_ASSIGN);
    EXPECT_EQ(Rows(assigned()), RowsOf({1, 3}));
    EXPECT_TRUE(Enabled(IDC_ZONE_SAVE));
    EXPECT_TRUE(Enabled(IDC_ZONE_CANCEL));

    Click(IDC_ZONE_CANCEL);
    EXPECT_EQ(Rows(assigned()), RowsOf({0, 1}));
    EXPECT_EQ(Rows(unassigned()), RowsOf({2, 3, 4}));
    EXPECT_EQ(WindowText(nameField()), L"");
    EXPECT_EQ(WindowText(item(IDC_ZONE_DESCRIPTION)), L"");
    ExpectEditingEnabled(false);
    EXPECT_FALSE(Enabled(IDC_ZONE_SAVE));
    EXPECT_FALSE(Enabled(IDC_ZONE_CANCEL));
    EXPECT_EQ(Sorted(SubkeyNames(ZonePath(L"North Wing"))),
              (std::vector<std::wstring>{kPhones[0].name, kPhones[1].name, kNotInFile}))
        << "Cancel writes nothing";
}

TEST_F(ZonesPage, UnassigningAndSavingTakesThePhoneOutOfTheZone) {
    ChooseZone(L"North Wing");
    Select(assigned(), kPhones[1].name);
    Click(IDC_UNASSIGN);
    Click(IDC_ZONE_SAVE);
    EXPECT_EQ(Sorted(SubkeyNames(ZonePath(L"North Wing"))), (std::vector<std::wstring>{kPhones[0].name, kNotInFile}));
    ChooseZone(L"North Wing");
    EXPECT_EQ(Rows(assigned()), RowsOf({0}));
}

TEST_F(ZonesPage, SavingUnderAnotherZonesNameAddsMembersAndDeletesNone) {
    // "+", then an existing zone's name in other letters' case (the registry's same key), and
    // one phone added: the zone's other members stay.
    Click(IDC_ZONE_ADD);
    TypeIntoName(L"north wing");
    Select(unassigned(), kPhones[2].name);
    Click(IDC_ASSIGN);
    Click(IDC_ZONE_SAVE);
    EXPECT_EQ(Sorted(SubkeyNames(ZonePath(L"North Wing"))),
              Sorted({kPhones[0].name, kPhones[1].name, kPhones[2].name, kNotInFile}));

    // One zone chosen and its name retyped as another's: that other zone gains the rows shown
    // and loses none, and the chosen zone is left as it was.
    ChooseZone(L"Annex");
    SetWindowTextW(nameField(), L"");
    TypeIntoName(L"North Wing");
    Click(IDC_ZONE_SAVE);
    EXPECT_EQ(Sorted(SubkeyNames(ZonePath(L"North Wing"))),
              Sorted({kPhones[0].name, kPhones[1].name, kPhones[2].name, kPhones[4].name, kNotInFile}));
    EXPECT_EQ(SubkeyNames(ZonePath(L"Annex")), (std::vector<std::wstring>{kPhones[4].name}));
    EXPECT_EQ(Sorted(SubkeyNames(kZonesKeyPath)), (std::vector<std::wstring>{L"Annex", L"North Wing"}));
    EXPECT_TRUE(MessageBoxRecorder::Boxes().empty());
}

TEST_F(ZonesPage, SavingWithoutANameIsRefusedAndSaveStaysAvailable) {
    Click(IDC_ZONE_ADD);
    TypeIntoName(L"x");
    SendMessageW(nameField(), WM_KEYDOWN, VK_BACK, 1);
    SendMessageW(nameField(), WM_CHAR, VK_BACK, 1);
    ASSERT_EQ(WindowText(nameField()), L"");
    Click(IDC_ZONE_SAVE);
    ASSERT_EQ(MessageBoxRecorder::Boxes().size(), 1u);
    EXPECT_EQ(MessageBoxRecorder::Boxes()[0].text, kZoneNameEmptyText);
    EXPECT_TRUE(Enabled(IDC_ZONE_SAVE));
    EXPECT_EQ(Sorted(SubkeyNames(kZonesKeyPath)), (std::vector<std::wstring>{L"Annex", L"North Wing"}));
    EXPECT_EQ(ValueCount(kZonesKeyPath), 0u);
}

TEST_F(ZonesPage, RemovingAsksFirstAndThenDeletesTheZone) {
    // Nothing chosen: nothing happens, nothing is asked.
    Click(IDC_ZONE_REMOVE);
    EXPECT_TRUE(MessageBoxRecorder::Boxes().empty());

    ChooseZone(L"North Wing");
    MessageBoxRecorder::Answer(IDNO);
    Click(IDC_ZONE_REMOVE);
    ASSERT_EQ(MessageBoxRecorder::Boxes().size(), 1u);
    EXPECT_EQ(MessageBoxRecorder::Boxes()[0].text, L"Are you sure you want to permanently remove the current zone?");
    EXPECT_EQ(MessageBoxRecorder::Boxes()[0].caption, L"Confirm Zone Removal");
    EXPECT_EQ(MessageBoxRecorder::Boxes()[0].flags, static_cast<UINT>(MB_YESNO | MB_ICONWARNING));
    EXPECT_EQ(MessageBoxRecorder::Boxes()[0].owner, page());
    EXPECT_TRUE(KeyExists(ZonePath(L"North Wing")));
    EXPECT_EQ(Rows(assigned()), RowsOf({0, 1}));

    MessageBoxRecorder::Boxes().clear();
    MessageBoxRecorder::Answer(IDYES);
    MessageBoxRecorder::Answer(IDOK);
    Click(IDC_ZONE_REMOVE);
    ASSERT_EQ(MessageBoxRecorder::Boxes().size(), 2u);
    EXPECT_EQ(MessageBoxRecorder::Boxes()[1].text, L"North Wing");
    EXPECT_FALSE(KeyExists(ZonePath(L"North Wing")));
    EXPECT_EQ(SubkeyNames(kZonesKeyPath), (std::vector<std::wstring>{L"Annex"}));
    // Back to the blank page.
    EXPECT_EQ(SendMessageW(combo(), CB_GETCOUNT, 0, 0), 1);
    EXPECT_EQ(RowCount(assigned()), 0);
    EXPECT_EQ(Rows(unassigned()), RowsOf({0, 1, 2, 3, 4}));
    EXPECT_FALSE(Enabled(IDC_ZONE_REMOVE));
    ExpectEditingEnabled(false);
}

TEST_F(ZonesPage, OpeningTheListEmptiesTheNameField) {
    Click(IDC_ZONE_ADD);
    TypeIntoName(L"Half typed");
    SendMessageW(page(), WM_COMMAND, MAKEWPARAM(IDC_ZONE_COMBO, CBN_DROPDOWN), reinterpret_cast<LPARAM>(combo()));
    EXPECT_EQ(WindowText(nameField()), L"");
    EXPECT_EQ(SendMessageW(combo(), CB_GETCOUNT, 0, 0), 2);
}

TEST_F(ZonesPage, AColumnClickSortsThatListInTheSharedDirection) {
    ChooseZone(L"Annex");
    NMLISTVIEW click{};
    click.hdr.hwndFrom = unassigned();
    click.hdr.idFrom = IDC_UNASSIGNED_LIST;
    click.hdr.code = LVN_COLUMNCLICK;
    click.iItem = -1;
    click.iSubItem = 1;  // Description: Front desk, Kitchen, Loading bay, Lobby
    SendMessageW(page(), WM_NOTIFY, IDC_UNASSIGNED_LIST, reinterpret_cast<LPARAM>(&click));
    EXPECT_EQ(Rows(unassigned()), RowsOf({0, 2, 3, 1}));
    SendMessageW(page(), WM_NOTIFY, IDC_UNASSIGNED_LIST, reinterpret_cast<LPARAM>(&click));
    EXPECT_EQ(Rows(unassigned()), RowsOf({0, 2, 3, 1})) << "the page never turns the direction";
    EXPECT_EQ(g_sortDirection, 1);

    g_sortDirection = -1;  // as after one column click on the IP Phone List page
    SendMessageW(page(), WM_NOTIFY, IDC_UNASSIGNED_LIST, reinterpret_cast<LPARAM>(&click));
    EXPECT_EQ(Rows(unassigned()), RowsOf({1, 3, 2, 0}));
    EXPECT_EQ(Rows(assigned()), RowsOf({4})) << "the other list is left alone";
}

TEST_F(ZonesPage, TheDescriptionTakesEveryKey) {
    ChooseZone(L"North Wing");
    HWND description = item(IDC_ZONE_DESCRIPTION);
    SendMessageW(description, EM_SETSEL, 11, 11);
    SendMessageW(description, WM_KEYDOWN, VK_HOME, 1);
    DWORD start = 0;
    SendMessageW(description, EM_GETSEL, reinterpret_cast<WPARAM>(&start), 0);
    EXPECT_EQ(start, 0u);
    SendMessageW(description, WM_KEYDOWN, VK_DELETE, 1);
    EXPECT_EQ(WindowText(description), L"irst floor");
    EXPECT_FALSE(Enabled(IDC_ZONE_SAVE)) << "only the name field and moves enable Save";
}

}  // namespace
