// The settings key as the manager opens it, and the way the manager ends when it cannot.
#pragma once

#include <windows.h>

#include "common/unique_handle.h"

// Opens "Software\Dravik Software\QAX" under HKEY_LOCAL_MACHINE with full access.
LONG OpenSettingsKey(HKEY* key);

// For the pages and the save, which open the key again after the sheet opened it at start:
// the key can fail to open only if it went away meanwhile. Then the box "...The program will
// now exit." is shown and the manager ends, as that text says.
UniqueRegKey OpenSettingsKeyOrExit();

// Every ending of the manager: the standard library's exit with status -1.
[[noreturn]] void ExitManager();
