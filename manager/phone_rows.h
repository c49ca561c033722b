// The rows of the manager's phone list views (the IP Phone List and the Zones page's two
// lists): one phone a row, column n holding field n of a data-file line.
#pragma once

#include <windows.h>

#include <cstddef>

inline constexpr int kPhoneColumnCount = 4;

// The text of one column of a row, cut to capacity - 1 characters; empty when there is none.
void GetListItemText(HWND listView, int row, int column, wchar_t* text, size_t capacity);

// Inserts a row at `index` (a sorted list puts it in its sort place) with the four column
// texts, the last three set on the index that the insertion reports. With `clearedCheckBox`
// the row's check box starts cleared. Returns the row's index, or -1 when it could not be
// inserted.
int InsertPhoneRow(HWND listView, int index, const wchar_t* const columns[kPhoneColumnCount], bool clearedCheckBox);
