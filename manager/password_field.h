// The password edits of the Settings and IP Phone List pages: each masked with a black circle
// per character, and shown in clear while the page's "Show Password" box is ticked.
#pragma once

#include <windows.h>

// Masks the page's password edit `editId`.
void MaskPasswordField(HWND page, int editId);

// After a click on "Show Password" `checkBoxId`: the edit in clear while the box is ticked,
// masked again when it is cleared, and redrawn at once.
void FollowShowPasswordBox(HWND page, int editId, int checkBoxId);
