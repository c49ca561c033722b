// The IP Phone List page and the list-view routines that the Zones page borrows from it.
#pragma once

#include <windows.h>
#include <commctrl.h>

#include <string>
#include <vector>

#include "common/config_store.h"

extern wchar_t g_dataFilePath[kPathUnits];
extern int g_sortDirection;
// Whether the phone list holds the site's phones: read from the data file when the page
// opened, or downloaded since. Until then the list's rows and ticks are no one's choice, and
// a save keeps the stored selection and the data file.
extern bool g_phoneListFilled;

void InitPhoneListColumns(HWND listView);
void FillPhoneListFromCucm(HWND listView);
void ApplyDeviceSelections(HWND page);
// The device names of the ticked rows, in row order, one entry per ticked row: what the
// device selection list stores.
std::vector<std::wstring> TickedDeviceNames(HWND listView);
int CALLBACK ComparePhoneListItems(LPARAM first, LPARAM second, LPARAM sortParameter);
// Sorts the list of a column click by that column with ComparePhoneListItems in
// g_sortDirection; the caller flips the direction afterwards.
void SortPhoneListByColumn(const NMLISTVIEW* click);
