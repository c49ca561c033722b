// The About page: the product's name, its pictures and the "Check for Updates" button.
#include "common/message_box.h"
#include "manager/resource.h"
#include "manager/sheet.h"
#include "manager/update_check.h"

INT_PTR CALLBACK AboutPageProc(HWND page, UINT message, WPARAM wParam, LPARAM) {
    switch (message) {
        case WM_INITDIALOG:
            return TRUE;
        case WM_COMMAND:
            if (LOWORD(wParam) == IDC_CHECK_UPDATES && HIWORD(wParam) == BN_CLICKED &&
                ShowMessageBox(page,
                               L"Halvenor will attempt to connect to the Internet to learn if there are updates "
                               L"available.\r\n\r\nProceed?",
                               L"QAX Manager: Check for updates", MB_OKCANCEL) == IDOK) {
                CheckForUpdates();
            }
            return FALSE;
        default:
            return FALSE;
    }
}
