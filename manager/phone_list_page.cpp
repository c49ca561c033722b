#include "manager/phone_list_page.h"

#include <algorithm>
#include <numeric>
#include <vector>

#include "manager/sheet.h"

wchar_t g_dataFilePath[kPathUnits];
int g_sortDirection = 1;

namespace {

struct PhoneColumn {
    const wchar_t* title;
    int width;
};
constexpr PhoneColumn kPhoneColumns[4] = {
    {L"Directory Number", 64}, {L"Description", 153}, {L"IP Address", 153}, {L"Device Name", 153}};

constexpr DWORD kPhoneListExStyle = LVS_EX_GRIDLINES | LVS_EX_SUBITEMIMAGES | LVS_EX_CHECKBOXES | LVS_EX_FULLROWSELECT;

// Only A to Z fold, as the C runtime's case-insensitive comparison does in the "C" locale:
// the underscore then sorts before the letters.
int FoldAsciiUpper(wchar_t c) { return (c >= L'A' && c <= L'Z') ? c - L'A' + L'a' : c; }

int CompareFolded(const wchar_t* first, const wchar_t* second) {
    for (;; ++first, ++second) {
        const int a = FoldAsciiUpper(*first);
        const int b = FoldAsciiUpper(*second);
        if (a != b || a == 0) return a - b;
    }
}

}  // namespace

void InitPhoneListColumns(HWND listView) {
    // A mask of 0 applies the whole style, clearing every other extended style.
    SendMessageW(listView, LVM_SETEXTENDEDLISTVIEWSTYLE, 0, kPhoneListExStyle);
    for (int i = 0; i < 4; ++i) {
        LVCOLUMNW column = {};
        column.mask = LVCF_FMT | LVCF_WIDTH | LVCF_TEXT | LVCF_SUBITEM;
        column.fmt = LVCFMT_LEFT;
        column.cx = kPhoneColumns[i].width;
        column.pszText = const_cast<wchar_t*>(kPhoneColumns[i].title);
        column.iSubItem = i;
        ListView_InsertColumn(listView, i, &column);
    }
}

int CALLBACK ComparePhoneListItems(LPARAM first, LPARAM second, LPARAM sortParameter) {
    const NMLISTVIEW* click = reinterpret_cast<const NMLISTVIEW*>(sortParameter);
    const HWND listView = click->hdr.hwndFrom;
    wchar_t firstText[kTextUnits] = {};
    wchar_t secondText[kTextUnits] = {};
    ListView_GetItemText(listView, static_cast<int>(first), click->iSubItem, firstText, static_cast<int>(kTextUnits));
    ListView_GetItemText(listView, static_cast<int>(second), click->iSubItem, secondText, static_cast<int>(kTextUnits));
    return CompareFolded(firstText, secondText) * g_sortDirection;
}

namespace {

int CALLBACK CompareSortRanks(LPARAM first, LPARAM second, LPARAM) {
    return first < second ? -1 : (first > second ? 1 : 0);
}

LPARAM RowParam(HWND listView, int row) {
    LVITEMW item = {};
    item.mask = LVIF_PARAM;
    item.iItem = row;
    ListView_GetItem(listView, &item);
    return item.lParam;
}

void SetRowParam(HWND listView, int row, LPARAM param) {
    LVITEMW item = {};
    item.mask = LVIF_PARAM;
    item.iItem = row;
    item.lParam = param;
    ListView_SetItem(listView, &item);
}

}  // namespace

// The order comes from ComparePhoneListItems over the rows as they stand, decided before any
// row moves: a list view that sorts by index (LVM_SORTITEMSEX) may hand the comparison
// indexes of rows it has already moved, as Wine's does. The rows then move to their places
// by rank, carried in their item data, which gets its own value back afterwards.
void SortPhoneListByColumn(const NMLISTVIEW* click) {
    const HWND listView = click->hdr.hwndFrom;
    const int count = ListView_GetItemCount(listView);
    if (count < 2) return;
    std::vector<int> order(count);
    std::iota(order.begin(), order.end(), 0);
    const LPARAM parameter = reinterpret_cast<LPARAM>(click);
    std::stable_sort(order.begin(), order.end(),
                     [parameter](int a, int b) { return ComparePhoneListItems(a, b, parameter) < 0; });

    std::vector<LPARAM> ownParams(count);
    for (int rank = 0; rank < count; ++rank) {
        ownParams[rank] = RowParam(listView, order[rank]);
        SetRowParam(listView, order[rank], rank);
    }
    ListView_SortItems(listView, CompareSortRanks, 0);
    for (int row = 0; row < count; ++row) {
        const LPARAM rank = RowParam(listView, row);
        if (rank >= 0 && rank < count) SetRowParam(listView, row, ownParams[rank]);
    }
}

void FillPhoneListFromCucm(HWND) {}
void ApplyDeviceSelections(HWND) {}
INT_PTR CALLBACK PhoneListPageProc(HWND, UINT, WPARAM, LPARAM) { return FALSE; }
