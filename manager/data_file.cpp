#include "manager/data_file.h"

#include <commctrl.h>

#include <cwchar>
#include <string>
#include <vector>

#include "common/unique_handle.h"
#include "manager/phone_list_page.h"
#include "manager/phone_rows.h"
#include "manager/resource.h"
#include "common/config_store.h"

namespace {

// Room for the longest status text: its words and a path of 32,767 units once expanded.
constexpr size_t kStatusUnits = 33000;

void SetStatusLine(HWND page, const wchar_t* format, const std::wstring& path) {
    std::vector<wchar_t> text(kStatusUnits);
    std::swprintf(text.data(), text.size(), format, path.c_str());
    SetDlgItemTextW(page, IDC_STATUS_LINE, text.data());
}

// The status names the file that is really used, environment variables expanded, so that
// the administrator can find it.
std::wstring ShownPath(const wchar_t* path) { return ExpandDataFilePath(path); }

std::wstring ColumnText(HWND listView, int row, int column) {
    wchar_t text[kTextUnits];
    GetListItemText(listView, row, column, text, kTextUnits);
    return text;
}

std::vector<DataFileRow> RowsInListOrder(HWND listView) {
    std::vector<DataFileRow> rows;
    const int count = ListView_GetItemCount(listView);
    rows.reserve(count > 0 ? count : 0);
    for (int row = 0; row < count; ++row) {
        DataFileRow fileRow;
        for (int column = 0; column < kPhoneColumnCount; ++column) {
            fileRow.fields[column] = ColumnText(listView, row, column);
        }
        rows.push_back(fileRow);
    }
    return rows;
}

// Every line goes in at the top, so an unsorted list shows the file's lines in reverse
// order and a sorted one puts each in its sort place. Fields missing from the line are empty.
void InsertFileLine(HWND listView, const CUCMdataRecord& record, bool clearCheckBox) {
    const wchar_t* columns[kPhoneColumnCount];
    for (int column = 0; column < kPhoneColumnCount; ++column) columns[column] = record.fields[column].c_str();
    const std::wstring name = CutDeviceName(record.fields[kFieldName]);
    columns[kFieldName] = name.c_str();
    InsertPhoneRow(listView, 0, columns, clearCheckBox);
}

// Replaces the rows of the list by the file's lines; false (list untouched) when the file
// cannot be opened.
bool ReadFileIntoList(HWND listView, const wchar_t* path, bool clearCheckBoxes) {
    DataFileReader reader(path);
    if (!reader.IsOpen()) return false;
    ListView_DeleteAllItems(listView);
    std::wstring line;
    while (reader.NextLine(&line)) InsertFileLine(listView, ParseDataFileLine(line), clearCheckBoxes);
    return true;
}

}  // namespace

int CUCMwriteFile(HWND page, const wchar_t* path) {
    const std::vector<DataFileRow> rows = RowsInListOrder(GetDlgItem(page, IDC_PHONE_LIST));
    if (!WriteDataFile(path, rows)) {
        SetStatusLine(page, L"Could not write data file %ls", ShownPath(path));
        return 0;
    }
    std::vector<wchar_t> text(kStatusUnits);
    std::swprintf(text.data(), text.size(), L"Update of %ls successful with data for %d phones.",
                  ShownPath(path).c_str(), static_cast<int>(rows.size()));
    SetDlgItemTextW(page, IDC_STATUS_LINE, text.data());
    return 1;
}

int CUCMreadFileToPage(HWND page, const wchar_t* path) {
    if (!ReadFileIntoList(GetDlgItem(page, IDC_PHONE_LIST), path, true)) {
        SetStatusLine(page,
                      L"Could not open data file %ls\r\nPlease enter credentials and click the \"Refresh\" button "
                      L"to repopulate the data file.",
                      ShownPath(path));
        return 0;
    }
    ShowDataFileStatus(page);
    return 1;
}

void CUCMreadFileToList(HWND listView, const wchar_t* path) { ReadFileIntoList(listView, path, false); }

int ShowDataFileStatus(HWND page) {
    const std::wstring path = ShownPath(g_dataFilePath);
    UniqueFileHandle file(CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                      FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file) return 0;
    FILETIME lastWrite = {};
    if (!GetFileTime(file.get(), nullptr, nullptr, &lastWrite)) return 0;
    file.reset();

    SYSTEMTIME utc = {};
    SYSTEMTIME local = {};
    if (!FileTimeToSystemTime(&lastWrite, &utc) || !SystemTimeToTzSpecificLocalTime(nullptr, &utc, &local)) return 0;

    std::vector<wchar_t> text(kStatusUnits);
    std::swprintf(text.data(), text.size(), L"Using data file %ls (last updated: %02d/%02d/%d  %02d:%02d)", path.c_str(),
                  local.wMonth, local.wDay, local.wYear, local.wHour, local.wMinute);
    SetDlgItemTextW(page, IDC_STATUS_LINE, text.data());
    return 1;
}
