// The manager's frame: the hidden main window whose creation runs the property sheet.
#pragma once

#include <windows.h>

extern HINSTANCE g_hInstance;
extern HKEY g_hSettingsKey;

void RegisterManagerWindowClass(HINSTANCE instance);
LRESULT CALLBACK ManagerWndProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
void ShowConfigurationSheet(HWND mainWindow);
int CALLBACK ConfigSheetCallback(HWND sheet, UINT message, LPARAM lParam);

// The four page procedures, in page order.
INT_PTR CALLBACK SettingsPageProc(HWND page, UINT message, WPARAM wParam, LPARAM lParam);
INT_PTR CALLBACK PhoneListPageProc(HWND page, UINT message, WPARAM wParam, LPARAM lParam);
INT_PTR CALLBACK ZonesPageProc(HWND page, UINT message, WPARAM wParam, LPARAM lParam);
INT_PTR CALLBACK AboutPageProc(HWND page, UINT message, WPARAM wParam, LPARAM lParam);
