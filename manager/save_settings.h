// Apply: every value of the Settings and IP Phone List pages, the selection list, the data file.
#pragma once

#include <windows.h>

// `closing`: the save of OK, after which the sheet and its status line are gone; a data file
// that could not be written is then reported in a box as well.
void SaveAllSettings(HWND sheet, bool closing);
