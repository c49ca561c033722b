// The server's audible confirmation of a broadcast start or stop. Goes through one function
// so that tests can hear the tones (the platform's speaker is silent under test).
#pragma once

#include <windows.h>

// Sounds one tone and returns when it has ended.
void ServerBeep(DWORD frequency, DWORD duration);

// Tests replace the platform's Beep with a recorder; nullptr restores it. Returns the previous one.
using BeepHandler = void (*)(DWORD frequency, DWORD duration);
BeepHandler SetBeepHandler(BeepHandler handler);
