#include "manager/zone_rows.h"

#include <commctrl.h>

#include <initializer_list>

#include "manager/resource.h"

namespace {
// Column texts are moved with room for 255 characters, the width of a data-file field.
constexpr size_t kColumnUnits = 256;
}  // namespace

int MovePhoneListRow(HWND source, int row, HWND target) {
    wchar_t texts[kPhoneColumnCount][kColumnUnits];
    const wchar_t* columns[kPhoneColumnCount];
    for (int column = 0; column < kPhoneColumnCount; ++column) {
        GetListItemText(source, row, column, texts[column], kColumnUnits);
        columns[column] = texts[column];
    }
    const int end = static_cast<int>(SendMessageW(target, LVM_GETITEMCOUNT, 0, 0));
    const int inserted = InsertPhoneRow(target, end, columns, false);
    if (inserted < 0) return -1;
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

HWND FindZoneNameField(HWND page) {
    return FindWindowExW(GetDlgItem(page, IDC_ZONE_COMBO), nullptr, L"Edit", nullptr);
}

void EnableZoneEditControls(HWND page, BOOL enable) {
    for (int id : {IDC_ZONE_DESCRIPTION, IDC_ASSIGNED_LIST, IDC_UNASSIGNED_LIST, IDC_ASSIGN, IDC_UNASSIGN}) {
        EnableWindow(GetDlgItem(page, id), enable);
    }
}

void EnableZoneSaveCancelButtons(HWND page, BOOL enable) {
    EnableWindow(GetDlgItem(page, IDC_ZONE_SAVE), enable);
    EnableWindow(GetDlgItem(page, IDC_ZONE_CANCEL), enable);
}
