#include "manager/phone_list_page.h"
#include "manager/sheet.h"

wchar_t g_dataFilePath[kPathUnits];
int g_sortDirection = 1;
void InitPhoneListColumns(HWND) {}
void FillPhoneListFromCucm(HWND) {}
void ApplyDeviceSelections(HWND) {}
int CALLBACK ComparePhoneListItems(LPARAM, LPARAM, LPARAM) { return 0; }
INT_PTR CALLBACK PhoneListPageProc(HWND, UINT, WPARAM, LPARAM) { return FALSE; }
