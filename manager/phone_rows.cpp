#include "manager/phone_rows.h"

#include <commctrl.h>

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

int InsertPhoneRow(HWND listView, int index, const wchar_t* const columns[kPhoneColumnCount], bool clearedCheckBox) {
    LVITEMW item{};
    item.mask = LVIF_TEXT;
    item.iItem = index;
    item.pszText = const_cast<wchar_t*>(columns[0]);
    if (clearedCheckBox) {
        item.mask |= LVIF_STATE;
        item.state = INDEXTOSTATEIMAGEMASK(1);
        item.stateMask = LVIS_STATEIMAGEMASK;
    }
    const int inserted = static_cast<int>(SendMessageW(listView, LVM_INSERTITEMW, 0, reinterpret_cast<LPARAM>(&item)));
    if (inserted < 0) return -1;
    for (int column = 1; column < kPhoneColumnCount; ++column) {
        LVITEMW sub{};
        sub.iSubItem = column;
        sub.pszText = const_cast<wchar_t*>(columns[column]);
        SendMessageW(listView, LVM_SETITEMTEXTW, static_cast<WPARAM>(inserted), reinterpret_cast<LPARAM>(&sub));
    }
    return inserted;
}
