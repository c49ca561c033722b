#include "manager/password_field.h"

namespace {
constexpr wchar_t kPasswordMask = 0x25CF;
}  // namespace

void MaskPasswordField(HWND page, int editId) {
    SendDlgItemMessageW(page, editId, EM_SETPASSWORDCHAR, kPasswordMask, 0);
}

void FollowShowPasswordBox(HWND page, int editId, int checkBoxId) {
    const HWND edit = GetDlgItem(page, editId);
    const bool shown = IsDlgButtonChecked(page, checkBoxId) == BST_CHECKED;
    SendMessageW(edit, EM_SETPASSWORDCHAR, shown ? 0 : kPasswordMask, 0);
    InvalidateRect(edit, nullptr, TRUE);
    UpdateWindow(edit);
}
