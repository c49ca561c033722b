// What the Zones page and the zone store both do with the page's controls: moving a phone row
// from one list to the other, the zone name field and the zone chosen in the combobox, and
// the controls that editing a zone enables.
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

// The combobox's edit field, in which a zone's name is typed; null when it has none.
HWND FindZoneNameField(HWND page);

// The description, both lists, ">>" and "<<": enabled while a zone is edited.
void EnableZoneEditControls(HWND page, BOOL enable);
// "Save" and "Cancel".
void EnableZoneSaveCancelButtons(HWND page, BOOL enable);
