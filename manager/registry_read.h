// How the manager's pages read their stored values back into their controls: the stored-size
// rule, credentials unscrambled, the absent-value box where the page asks for it.
#pragma once

#include <windows.h>

#include <string>

enum StoredValueState { kValueAbsent = 0, kValueEmpty = 1, kValuePresent = 2 };

// Reads a value of `key` as text (credentials unscrambled when `scrambled`). `text` is left
// empty unless the value is present and non-empty. A null key reads as absent.
StoredValueState ReadSettingText(HKEY key, const wchar_t* name, bool scrambled, std::wstring* text);

// Reads a value into control `controlId` of `page`: a present value sets the control's text;
// an empty one leaves the control as it is; an absent one shows the absent-value box when
// `boxWhenAbsent`, and leaves the control as it is.
StoredValueState ReadSettingIntoControl(HWND page, int controlId, HKEY key, const wchar_t* name,
                                        bool scrambled, bool boxWhenAbsent = true);
