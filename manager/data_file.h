// The manager's side of the phone data file: writing the phone list, reading it back into
// list views, and the status line of the IP Phone List page.
#pragma once

#include <windows.h>

// Both report on the page's status line and return 1 on success, 0 when the file could not
// be written (opened, written or closed) or read.
int CUCMwriteFile(HWND page, const wchar_t* path);
int CUCMreadFileToPage(HWND page, const wchar_t* path);
void CUCMreadFileToList(HWND listView, const wchar_t* path);
int ShowDataFileStatus(HWND page);
