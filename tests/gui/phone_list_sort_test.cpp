// The phone list views' columns and their sort, which the Zones page shares.
#include <gtest/gtest.h>

#include "manager/phone_list_page.h"
#include "phone_test_support.h"

namespace {

using namespace guitest;
using namespace phonetest;

class PhoneListColumnsTest : public ::testing::Test {
protected:
    void SetUp() override {
        list_ = CreateWindowExW(0, WC_LISTVIEWW, L"", WS_CHILD | LVS_REPORT, 0, 0, 600, 300, sheet_.window(), nullptr,
                                GetModuleHandleW(nullptr), nullptr);
        ASSERT_NE(list_, nullptr);
        g_sortDirection = 1;
    }
    void TearDown() override { g_sortDirection = 1; }

    // Sorts as a click on `column` does: the notification is the sort parameter.
    void SortBy(int column) {
        NMLISTVIEW click = {};
        click.hdr.hwndFrom = list_;
        click.hdr.code = LVN_COLUMNCLICK;
        click.iItem = -1;
        click.iSubItem = column;
        SortPhoneListByColumn(&click);
    }

    SheetStandIn sheet_;
    HWND list_ = nullptr;
};

TEST_F(PhoneListColumnsTest, SetsExactlyTheFourPhoneColumnsAndItsOwnExtendedStyle) {
    ListView_SetExtendedListViewStyle(list_, LVS_EX_HEADERDRAGDROP | LVS_EX_INFOTIP);
    InitPhoneListColumns(list_);

    EXPECT_EQ(ListView_GetExtendedListViewStyle(list_), 0x27u);
    const wchar_t* titles[] = {L"Directory Number", L"Description", L"IP Address", L"Device Name"};
    const int widths[] = {64, 153, 153, 153};
    for (int i = 0; i < 4; ++i) {
        wchar_t title[64] = {};
        LVCOLUMNW column = {};
        column.mask = LVCF_TEXT | LVCF_WIDTH | LVCF_FMT;
        column.pszText = title;
        column.cchTextMax = 64;
        ASSERT_TRUE(ListView_GetColumn(list_, i, &column)) << i;
        EXPECT_STREQ(title, titles[i]);
        EXPECT_EQ(column.cx, widths[i]);
        EXPECT_EQ(column.fmt & LVCFMT_JUSTIFYMASK, LVCFMT_LEFT);
    }
    LVCOLUMNW fifth = {};
    fifth.mask = LVCF_WIDTH;
    EXPECT_FALSE(ListView_GetColumn(list_, 4, &fifth));
}

TEST_F(PhoneListColumnsTest, SortsTextCaseInsensitivelyWithTheUnderscoreBeforeLettersInTheSharedDirection) {
    InitPhoneListColumns(list_);
    const std::vector<std::wstring> names = {L"sepb", L"SEP_Z", L"SEPa", L"SEPC", L"SEP9", L"Sep_a", L"SEP"};
    for (const std::wstring& name : names) AppendRow(list_, {L"", L"", L"", name});

    SortBy(3);
    // Only A-Z fold: '9' (0x39) < '_' (0x5F) < 'a' (0x61); the shorter text first.
    EXPECT_EQ(ColumnTexts(list_, 3),
              (std::vector<std::wstring>{L"SEP", L"SEP9", L"Sep_a", L"SEP_Z", L"SEPa", L"sepb", L"SEPC"}));

    g_sortDirection = -1;
    SortBy(3);
    EXPECT_EQ(ColumnTexts(list_, 3),
              (std::vector<std::wstring>{L"SEPC", L"sepb", L"SEPa", L"SEP_Z", L"Sep_a", L"SEP9", L"SEP"}));

    NMLISTVIEW click = {};
    click.hdr.hwndFrom = list_;
    click.iSubItem = 3;
    EXPECT_EQ(ComparePhoneListItems(2, 3, reinterpret_cast<LPARAM>(&click)), -(L'a' - L'_'));  // SEPa, SEP_Z
}

TEST_F(PhoneListColumnsTest, RowsMoveWholeWithTheirTicksAndItemData) {
    InitPhoneListColumns(list_);
    const wchar_t* names[] = {L"SEPD", L"SEPB", L"SEPE", L"SEPA", L"SEPC"};
    for (int i = 0; i < 5; ++i) {
        AppendRow(list_, {std::to_wstring(i), L"", L"", names[i]});
        LVITEMW item = {};
        item.mask = LVIF_PARAM;
        item.iItem = i;
        item.lParam = 1000 + i;
        ListView_SetItem(list_, &item);
    }
    ListView_SetCheckState(list_, 1, TRUE);  // SEPB
    ListView_SetCheckState(list_, 2, TRUE);  // SEPE

    SortBy(3);

    EXPECT_EQ(ColumnTexts(list_, 3), (std::vector<std::wstring>{L"SEPA", L"SEPB", L"SEPC", L"SEPD", L"SEPE"}));
    EXPECT_EQ(ColumnTexts(list_, 0), (std::vector<std::wstring>{L"3", L"1", L"4", L"0", L"2"}));
    const std::vector<bool> ticks = {false, true, false, false, true};
    const LPARAM params[] = {1003, 1001, 1004, 1000, 1002};
    for (int row = 0; row < 5; ++row) {
        EXPECT_EQ(IsTicked(list_, row), ticks[row]) << row;
        LVITEMW item = {};
        item.mask = LVIF_PARAM;
        item.iItem = row;
        ListView_GetItem(list_, &item);
        EXPECT_EQ(item.lParam, params[row]) << row;
    }
}

}  // namespace
