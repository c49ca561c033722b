// Apply: every value of the Settings and IP Phone List pages, the selection list, the data file.
#pragma once

#include <windows.h>

void SaveAllSettings(HWND sheet);
