// Builds the configuration sheet with its four pages. The program shows it modal; tests
// create the same sheet modeless and drive it through its windows.
#pragma once

#include <windows.h>

// The sheet's caption, exactly as the title bar shows it.
inline constexpr wchar_t kSheetCaption[] = L"Dravik Software - Halvenor (QAX) - Configuration";

// PropertySheetW on the sheet owned by `owner`; `extraFlags` is added to the header's flags
// (PSH_MODELESS makes the call return the sheet's window).
INT_PTR RunConfigurationSheet(HWND owner, DWORD extraFlags);
