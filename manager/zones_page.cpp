#include "manager/zones_page.h"

#include <commctrl.h>

#include <cwchar>

#include "common/message_box.h"
#include "manager/data_file.h"
#include "manager/phone_list_page.h"
#include "manager/resource.h"
#include "manager/sheet.h"
#include "manager/zone_rows.h"
#include "manager/zone_store.h"

WNDPROC g_prevZoneNameEditProc = nullptr;
WNDPROC g_prevDescriptionEditProc = nullptr;

namespace {

// The most that the zone tree holds of a name or a description.
constexpr WPARAM kZoneTextLimit = 255;
constexpr size_t kZoneNameUnits = 256;
constexpr DWORD kZoneListExStyle = LVS_EX_GRIDLINES | LVS_EX_SUBITEMIMAGES | LVS_EX_FULLROWSELECT;

HWND Item(HWND page, int id) { return GetDlgItem(page, id); }
void Enable(HWND page, int id, BOOL enable) { EnableWindow(Item(page, id), enable); }

void RefillUnassigned(HWND page) { CUCMreadFileToList(Item(page, IDC_UNASSIGNED_LIST), g_dataFilePath); }

WNDPROC Subclass(HWND window, WNDPROC proc) {
    return reinterpret_cast<WNDPROC>(SetWindowLongPtrW(window, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(proc)));
}

void InitZoneList(HWND list) {
    InitPhoneListColumns(list);
    // The zone lists have no check boxes: exactly these styles, every other one cleared.
    SendMessageW(list, LVM_SETEXTENDEDLISTVIEWSTYLE, 0, kZoneListExStyle);
}

// Moves every selected row of source to target, each with its four columns.
void MoveSelectedRows(HWND page, int sourceId, int targetId, const wchar_t* noneText, const wchar_t* noneCaption) {
    HWND source = Item(page, sourceId);
    HWND target = Item(page, targetId);
    int row = static_cast<int>(SendMessageW(source, LVM_GETNEXTITEM, static_cast<WPARAM>(-1), LVNI_SELECTED));
    if (row < 0) {
        ShowMessageBox(page, noneText, noneCaption, MB_OK | MB_ICONINFORMATION);
        return;
    }
    while (row >= 0) {
        // A row that cannot be inserted stays selected; stop rather than find it again forever.
        if (MovePhoneListRow(source, row, target) < 0) break;
        row = static_cast<int>(SendMessageW(source, LVM_GETNEXTITEM, static_cast<WPARAM>(-1), LVNI_SELECTED));
    }
    EnableZoneSaveCancel(page);
}

void OnInitDialog(HWND page) {
    LoadZoneTable();
    HWND description = Item(page, IDC_ZONE_DESCRIPTION);
    HWND nameField = FindZoneNameField(page);
    g_prevDescriptionEditProc = Subclass(description, DescriptionEditProc);
    if (nameField != nullptr) {
        g_prevZoneNameEditProc = Subclass(nameField, ZoneNameEditProc);
        SendMessageW(nameField, EM_LIMITTEXT, kZoneTextLimit, 0);
    }
    SendMessageW(description, EM_LIMITTEXT, kZoneTextLimit, 0);
    InitZoneList(Item(page, IDC_ASSIGNED_LIST));
    InitZoneList(Item(page, IDC_UNASSIGNED_LIST));
    RefillUnassigned(page);
    ResetZonesPage(page);
}

void OnRemoveZone(HWND page) {
    if (SendMessageW(Item(page, IDC_ZONE_COMBO), CB_GETCURSEL, 0, 0) == CB_ERR) return;
    if (ShowMessageBox(page, L"Are you sure you want to permanently remove the current zone?", L"Confirm Zone Removal",
                       MB_YESNO | MB_ICONWARNING) != IDYES) {
        return;
    }
    RemoveCurrentZone(page);
    ResetZonesPage(page);
}

void OnZoneComboCommand(HWND page, int code) {
    if (code == CBN_SELCHANGE) {
        ShowZoneDescription(page);
        RefillUnassigned(page);
        LoadZoneMembers(page);
    } else if (code == CBN_DROPDOWN) {
        // The list is rebuilt from the zone table each time it opens, which empties the name field.
        FillZoneCombo(page);
    } else if (code == CBN_SELENDOK) {
        EnableZoneEditing(page);
    }
}

void OnCommand(HWND page, int id, int code) {
    if (id == IDC_ZONE_COMBO) {
        OnZoneComboCommand(page, code);
        return;
    }
    if (code != BN_CLICKED) return;
    switch (id) {
        case IDC_ZONE_ADD:
            ResetZonesPage(page);
            SetFocus(FindZoneNameField(page));
            break;
        case IDC_ZONE_REMOVE:
            OnRemoveZone(page);
            break;
        case IDC_ASSIGN:
            MoveSelectedRows(page, IDC_UNASSIGNED_LIST, IDC_ASSIGNED_LIST, L"No items have been selected to assign.",
                             L"Error Assigning");
            break;
        case IDC_UNASSIGN:
            MoveSelectedRows(page, IDC_ASSIGNED_LIST, IDC_UNASSIGNED_LIST, L"No items have been selected to unassign.",
                             L"Error UnAssigning");
            break;
        case IDC_ZONE_SAVE:
            // A refused name keeps Save and Cancel, so that it can be corrected.
            if (SaveCurrentZone(page) == 1) EnableZoneSaveCancelButtons(page, FALSE);
            break;
        case IDC_ZONE_CANCEL:
            EnableZoneSaveCancelButtons(page, FALSE);
            CancelZoneEdit(page);
            break;
        default:
            break;
    }
}

// A column click sorts the list whose header was clicked, in the direction that the IP Phone
// List page last set.
void OnNotify(const NMHDR* header) {
    if (header->idFrom != IDC_ASSIGNED_LIST && header->idFrom != IDC_UNASSIGNED_LIST) return;
    if (header->code != LVN_COLUMNCLICK) return;
    SortPhoneListByColumn(reinterpret_cast<const NMLISTVIEW*>(header));
}

}  // namespace

INT_PTR CALLBACK ZonesPageProc(HWND page, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        case WM_INITDIALOG:
            OnInitDialog(page);
            return TRUE;
        case WM_COMMAND:
            OnCommand(page, LOWORD(wParam), HIWORD(wParam));
            return TRUE;
        case WM_NOTIFY:
            OnNotify(reinterpret_cast<const NMHDR*>(lParam));
            return TRUE;
        default:
            return FALSE;
    }
}

LRESULT CALLBACK ZoneNameEditProc(HWND edit, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_KEYDOWN) {
        // Any key counts as an edit of the name, also one that changes nothing.
        HWND page = GetParent(GetParent(edit));
        EnableZoneSaveCancel(page);
        EnableZoneEditing(page);
    }
    return CallWindowProcW(g_prevZoneNameEditProc, edit, message, wParam, lParam);
}

// The description is an ordinary edit: every key, caret keys included, reaches it.
LRESULT CALLBACK DescriptionEditProc(HWND edit, UINT message, WPARAM wParam, LPARAM lParam) {
    return CallWindowProcW(g_prevDescriptionEditProc, edit, message, wParam, lParam);
}

int EnableZoneEditing(HWND page) {
    EnableZoneEditControls(page, TRUE);
    Enable(page, IDC_ZONE_ADD, TRUE);
    Enable(page, IDC_ZONE_REMOVE, TRUE);
    return 1;
}

int EnableZoneSaveCancel(HWND page) {
    EnableZoneSaveCancelButtons(page, TRUE);
    return 1;
}

int ResetZonesPage(HWND page) {
    LoadZoneTable();
    ForgetLoadedZone();
    EnableZoneSaveCancelButtons(page, FALSE);
    SendMessageW(Item(page, IDC_ASSIGNED_LIST), LVM_DELETEALLITEMS, 0, 0);
    SendMessageW(Item(page, IDC_UNASSIGNED_LIST), LVM_DELETEALLITEMS, 0, 0);
    SetDlgItemTextW(page, IDC_ZONE_DESCRIPTION, L"");
    FillZoneCombo(page);
    RefillUnassigned(page);
    EnableZoneEditControls(page, FALSE);
    Enable(page, IDC_ZONE_ADD, TRUE);
    Enable(page, IDC_ZONE_REMOVE, FALSE);
    return 1;
}

int CancelZoneEdit(HWND page) {
    RefillUnassigned(page);
    LoadZoneMembers(page);
    HWND nameField = FindZoneNameField(page);
    if (nameField != nullptr) SetWindowTextW(nameField, L"");
    SetDlgItemTextW(page, IDC_ZONE_DESCRIPTION, L"");
    EnableZoneSaveCancelButtons(page, FALSE);
    EnableZoneEditControls(page, FALSE);
    return 1;
}

int FillZoneCombo(HWND page) {
    HWND combo = Item(page, IDC_ZONE_COMBO);
    SendMessageW(combo, CB_RESETCONTENT, 0, 0);
    for (int i = 0; i < g_zoneCount; ++i) {
        // A subkey that could not be read leaves an empty record: nothing to list.
        if (g_zoneTable[i].name[0] == 0) continue;
        SendMessageW(combo, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(g_zoneTable[i].name));
    }
    return 1;
}

int ShowZoneDescription(HWND page) {
    wchar_t zoneName[kZoneNameUnits];
    if (!GetSelectedZoneName(page, zoneName, kZoneNameUnits)) return 1;
    for (int i = 0; i < g_zoneCount; ++i) {
        if (wcscmp(g_zoneTable[i].name, zoneName) == 0) {
            SetDlgItemTextW(page, IDC_ZONE_DESCRIPTION, g_zoneTable[i].description);
        }
    }
    return 1;
}
