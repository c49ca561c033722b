#include "manager/zone_rows.h"

#include <commctrl.h>

#include "manager/resource.h"

namespace {
// Column texts are moved with room for 255 characters, the width of a data-file field.
constexpr size_t kColumnUnits = 256;
constexpr int kPhoneColumns = 4;
}  // namespace

void GetListItemText(HWND listView, int row, int column, wchar_t* text, size_t capacity) {
    if (text == nullptr || capacity == 0) return;
    text[0] = 0;
    LVITEMW item{};
    item.iSubItem = column;
    item.pszText = text;
    item.cchTextMax = static_cast<int>(capacity);
    SendMessageW(listView, LVM_GETITEMTEXTW, static_cast<WPARAM>(row), reinterpret_cast<LPARAM>(&item));
    text[capacity - 1] = 0;
}

int MovePhoneListRow(HWND source, int row, HWND target) {
    wchar_t text[kColumnUnits];
    GetListItemText(source, row, 0, text, kColumnUnits);
    LVITEMW item{};
    item.mask = LVIF_TEXT;
    item.iItem = static_cast<int>(SendMessageW(target, LVM_GETITEMCOUNT, 0, 0));
    item.pszText = text;
    const int inserted =
        static_cast<int>(SendMessageW(target, LVM_INSERTITEMW, 0, reinterpret_cast<LPARAM>(&item)));
    if (inserted < 0) return -1;
    for (int column = 1; column < kPhoneColumns; ++column) {
        GetListItemText(source, row, column, text, kColumnUnits);
        LVITEMW sub{};
        sub.iSubItem = column;
        sub.pszText = text;
        SendMessageW(target, LVM_SETITEMTEXTW, static_cast<WPARAM>(inserted), reinterpret_cast<LPARAM>(&sub));
    }
    SendMessageW(source, LVM_DELETEITEM, static_cast<WPARAM>(row), 0);
    return inserted;
}

bool GetSelectedZoneName(HWND page, wchar_t* name, size_t capacity) {
    if (name == nullptr || capacity == 0) return false;
    name[0] = 0;
    HWND combo = GetDlgItem(page, IDC_ZONE_COMBO);
    const LRESULT selection = SendMessageW(combo, CB_GETCURSEL, 0, 0);
    if (selection == CB_ERR) return false;
    const LRESULT length = SendMessageW(combo, CB_GETLBTEXTLEN, static_cast<WPARAM>(selection), 0);
    if (length == CB_ERR || static_cast<size_t>(length) >= capacity) return false;
    SendMessageW(combo, CB_GETLBTEXT, static_cast<WPARAM>(selection), reinterpret_cast<LPARAM>(name));
    name[capacity - 1] = 0;
    return true;
}
