#include "manager/data_file.h"

void CUCMwriteFile(HWND, const wchar_t*) {}
void CUCMreadFileToPage(HWND, const wchar_t*) {}
void CUCMreadFileToList(HWND, const wchar_t*) {}
int ShowDataFileStatus(HWND) { return 0; }
