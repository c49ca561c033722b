#include "manager/sheet.h"

INT_PTR CALLBACK AboutPageProc(HWND, UINT, WPARAM, LPARAM) { return FALSE; }
