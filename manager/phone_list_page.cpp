#include "manager/phone_list_page.h"

#include <algorithm>
#include <cwchar>
#include <numeric>
#include <string>
#include <vector>

#include "common/message_box.h"
#include "common/text.h"
#include "manager/data_file.h"
#include "manager/password_field.h"
#include "manager/phone_rows.h"
#include "manager/registry_read.h"
#include "manager/resource.h"
#include "manager/risport_client.h"
#include "manager/sheet.h"

wchar_t g_dataFilePath[kPathUnits];
int g_sortDirection = 1;
bool g_phoneListFilled = false;

namespace {

struct PhoneColumn {
    const wchar_t* title;
    int width;
};
constexpr PhoneColumn kPhoneColumns[kPhoneColumnCount] = {
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
    for (int i = 0; i < kPhoneColumnCount; ++i) {
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
    wchar_t firstText[kTextUnits];
    wchar_t secondText[kTextUnits];
    GetListItemText(listView, static_cast<int>(first), click->iSubItem, firstText, kTextUnits);
    GetListItemText(listView, static_cast<int>(second), click->iSubItem, secondText, kTextUnits);
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

void FillPhoneListFromCucm(HWND listView) {
    ListView_DeleteAllItems(listView);
    for (int i = 0; i < g_phoneRecordCount; ++i) {
        const PhoneRecord& record = g_phoneRecords[i];
        const wchar_t* const columns[kPhoneColumnCount] = {record.DirNumber, record.Description, record.IpAddress,
                                                           record.Name};
        InsertPhoneRow(listView, i, columns, true);
    }
}

namespace {

// Each name ticks the first row that carries it (case-sensitive, the whole column) and is
// not ticked yet, so that a name listed twice ticks two rows of that name, as two ticked rows
// list it twice. A row shows at most the first 255 characters of a device name: a longer
// name is cut alike before it is compared. A name that no row carries ticks nothing.
void TickDeviceNames(HWND listView, const std::vector<std::wstring>& names) {
    const int count = ListView_GetItemCount(listView);
    for (const std::wstring& name : names) {
        const std::wstring shown = CutDeviceName(name);
        for (int row = 0; row < count; ++row) {
            if (ListView_GetItemState(listView, row, LVIS_STATEIMAGEMASK) == INDEXTOSTATEIMAGEMASK(2)) continue;
            wchar_t deviceName[kTextUnits];
            GetListItemText(listView, row, kFieldName, deviceName, kTextUnits);
            if (shown == deviceName) {
                ListView_SetItemState(listView, row, INDEXTOSTATEIMAGEMASK(2), LVIS_STATEIMAGEMASK);
                break;
            }
        }
    }
}

}  // namespace

void ApplyDeviceSelections(HWND page) {
    std::wstring selections;
    if (ReadSettingText(g_hSettingsKey, kValueDeviceSelections, false, &selections) != kValuePresent) return;
    TickDeviceNames(GetDlgItem(page, IDC_PHONE_LIST), SplitSelectionList(selections));
}

std::vector<std::wstring> TickedDeviceNames(HWND listView) {
    std::vector<std::wstring> names;
    const int count = ListView_GetItemCount(listView);
    for (int row = 0; row < count; ++row) {
        if (ListView_GetItemState(listView, row, LVIS_STATEIMAGEMASK) == INDEXTOSTATEIMAGEMASK(1)) continue;
        wchar_t deviceName[kTextUnits];
        GetListItemText(listView, row, kFieldName, deviceName, kTextUnits);
        names.push_back(deviceName);
    }
    return names;
}

namespace {

// While the page fills itself from the registry and the data file, the edits and the list
// report changes that no user made; the sheet's Apply stays as it is.
bool g_loadingPhoneListPage = false;

void MarkPageChanged(HWND page) {
    if (!g_loadingPhoneListPage) PropSheet_Changed(GetParent(page), page);
}

// Nothing typed is cut later: each edit holds what its value can hold.
void LimitEdits(HWND page) {
    SendDlgItemMessageW(page, IDC_SERVER_ADDRESS, EM_LIMITTEXT, kTextUnits - 1, 0);
    SendDlgItemMessageW(page, IDC_SERVER_PORT, EM_LIMITTEXT, 5, 0);
    SendDlgItemMessageW(page, IDC_CUCM_USERNAME, EM_LIMITTEXT, kTextUnits - 1, 0);
    SendDlgItemMessageW(page, IDC_CUCM_PASSWORD, EM_LIMITTEXT, kTextUnits - 1, 0);
}

// A stored path too long for the path buffer is not used: cut, it would name another file.
void SetDataFilePath() {
    std::wstring path;
    const StoredValueState state = ReadSettingText(g_hSettingsKey, kValueDataFile, false, &path);
    if (state == kValueAbsent) ShowAbsentValueBox();
    if (state != kValuePresent || path.empty()) path = kDefaultDataFilePath;
    if (path.size() >= kPathUnits) path.clear();
    CopyBounded(g_dataFilePath, kPathUnits, path.c_str());
}

void InitPhoneListPage(HWND page) {
    g_loadingPhoneListPage = true;
    InitPhoneListColumns(GetDlgItem(page, IDC_PHONE_LIST));
    MaskPasswordField(page, IDC_CUCM_PASSWORD);
    LimitEdits(page);

    ReadSettingIntoControl(page, IDC_SERVER_ADDRESS, g_hSettingsKey, kValueServerAddress, false);
    ReadSettingIntoControl(page, IDC_SERVER_PORT, g_hSettingsKey, kValueServerPort, false);
    ReadSettingIntoControl(page, IDC_CUCM_USERNAME, g_hSettingsKey, kValueCucmUsername, true);
    ReadSettingIntoControl(page, IDC_CUCM_PASSWORD, g_hSettingsKey, kValueCucmPassword, true);
    SetDataFilePath();

    g_phoneListFilled = CUCMreadFileToPage(page, g_dataFilePath) != 0;
    ApplyDeviceSelections(page);
    g_loadingPhoneListPage = false;
}

void SetEveryCheckBox(HWND page, bool ticked) {
    const HWND listView = GetDlgItem(page, IDC_PHONE_LIST);
    ListView_SetItemState(listView, -1, INDEXTOSTATEIMAGEMASK(ticked ? 2 : 1), LVIS_STATEIMAGEMASK);
    InvalidateRect(listView, nullptr, TRUE);
    UpdateWindow(listView);
}

void RefreshFromCucm(HWND page) {
    if (ShowMessageBox(page,
                       L"Halvenor will attempt to connect to your CUCM server to obtain the list of IP telephones.  "
                       L"\r\n\r\nProceed?",
                       L"Dravik QAX: Connect to CUCM", MB_OKCANCEL) != IDOK) {
        return;
    }
    wchar_t user[kTextUnits] = {};
    wchar_t password[kTextUnits] = {};
    wchar_t server[kTextUnits] = {};
    wchar_t portText[kTextUnits] = {};
    GetDlgItemTextW(page, IDC_CUCM_USERNAME, user, static_cast<int>(kTextUnits));
    GetDlgItemTextW(page, IDC_CUCM_PASSWORD, password, static_cast<int>(kTextUnits));
    GetDlgItemTextW(page, IDC_SERVER_ADDRESS, server, static_cast<int>(kTextUnits));
    GetDlgItemTextW(page, IDC_SERVER_PORT, portText, static_cast<int>(kTextUnits));
    const DWORD port = static_cast<DWORD>(std::wcstol(portText, nullptr, 10));

    SetCursor(LoadCursorW(nullptr, IDC_WAIT));
    if (CUCMrequestDeviceList(server, port, user, password)) {
        const HWND listView = GetDlgItem(page, IDC_PHONE_LIST);
        const std::vector<std::wstring> ticked = TickedDeviceNames(listView);
        FillPhoneListFromCucm(listView);
        // A phone ticked before the download and still in it stays ticked. A list that was
        // never filled showed no ticks: the stored selection holds them.
        if (g_phoneListFilled) {
            TickDeviceNames(listView, ticked);
        } else {
            ApplyDeviceSelections(page);
        }
        g_phoneListFilled = true;
        InvalidateRect(listView, nullptr, TRUE);
        UpdateWindow(listView);
        CUCMwriteFile(page, g_dataFilePath);
    }
    SetCursor(LoadCursorW(nullptr, IDC_ARROW));
}

void OnCommand(HWND page, int id, int code) {
    if ((code == BN_CLICKED && id != IDC_CUCM_SHOW_PASSWORD) || code == EN_CHANGE) MarkPageChanged(page);
    if (code != BN_CLICKED) return;
    switch (id) {
        case IDC_CUCM_SHOW_PASSWORD: FollowShowPasswordBox(page, IDC_CUCM_PASSWORD, IDC_CUCM_SHOW_PASSWORD); break;
        case IDC_SELECT_ALL: SetEveryCheckBox(page, true); break;
        case IDC_DESELECT_ALL: SetEveryCheckBox(page, false); break;
        case IDC_REFRESH: RefreshFromCucm(page); break;
        default: break;
    }
}

void OnListNotify(HWND page, const NMHDR* header) {
    if (header->code == LVN_COLUMNCLICK) {
        SortPhoneListByColumn(reinterpret_cast<const NMLISTVIEW*>(header));
        g_sortDirection = -g_sortDirection;
    } else if (header->code == LVN_ITEMCHANGED) {
        // A tick, a selection or the focus; not the item data that a sort moves rows by.
        if (reinterpret_cast<const NMLISTVIEW*>(header)->uChanged & LVIF_STATE) MarkPageChanged(page);
    }
}

}  // namespace

INT_PTR CALLBACK PhoneListPageProc(HWND page, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        case WM_INITDIALOG:
            InitPhoneListPage(page);
            return TRUE;
        case WM_COMMAND:
            OnCommand(page, LOWORD(wParam), HIWORD(wParam));
            return FALSE;
        case WM_NOTIFY: {
            const NMHDR* header = reinterpret_cast<const NMHDR*>(lParam);
            if (header->idFrom == IDC_PHONE_LIST) OnListNotify(page, header);
            return FALSE;
        }
        default:
            return FALSE;
    }
}
