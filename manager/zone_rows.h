// The phone rows of the Zones page's two lists: reading a row's column, moving a row from one
// list to the other, and the name of the zone chosen in the combobox.
#pragma once

#include <windows.h>

#include <cstddef>

#include "manager/phone_rows.h"

// Moves a row with its four columns to the end of target (a sorted target puts it in its
// sort place) and deletes it from source. Returns the row's index in target, or -1 when it
// could not be inserted (the row then stays in source).
int MovePhoneListRow(HWND source, int row, HWND target);

// The list text of the zone combobox's current selection. False when nothing is selected or
// the text does not fit (name is then empty).
bool GetSelectedZoneName(HWND page, wchar_t* name, size_t capacity);
