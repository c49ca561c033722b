// The manager's side of the phone data file: writing the phone list, reading it back into
// list views, and the status line of the IP Phone List page.
#pragma once

#include <windows.h>

void CUCMwriteFile(HWND page, const wchar_t* path);
void CUCMreadFileToPage(HWND page, const wchar_t* path);
void CUCMreadFileToList(HWND listView, const wchar_t* path);
int ShowDataFileStatus(HWND page);
