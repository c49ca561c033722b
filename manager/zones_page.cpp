#include "manager/sheet.h"

INT_PTR CALLBACK ZonesPageProc(HWND, UINT, WPARAM, LPARAM) { return FALSE; }
