// Every message box of both programs goes through ShowMessageBox, so that tests can record
// the boxes and answer them in place of a user.
#pragma once

#include <windows.h>

using MessageBoxHandler = int (*)(HWND owner, const wchar_t* text, const wchar_t* caption, UINT flags);

// Shows a box (MessageBoxW by default) and returns the button pressed.
int ShowMessageBox(HWND owner, const wchar_t* text, const wchar_t* caption, UINT flags);

// Replaces the handler; nullptr restores MessageBoxW. Returns the previous handler.
MessageBoxHandler SetMessageBoxHandler(MessageBoxHandler handler);
