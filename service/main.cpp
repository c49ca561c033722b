// Entry point of QAXservice.
#include <windows.h>

int wmain(int, wchar_t**) { return 0; }
