// The certificate dialog of the call-manager download: one function, so that tests can answer
// it in place of a user, as they answer message boxes.
#pragma once

#include <windows.h>
#include <wininet.h>

// Shows WinINet's dialog for `error` on `request` (InternetErrorDlg by default) and returns
// its result: ERROR_SUCCESS when the user accepted (the dialog has then changed the request's
// security options), ERROR_INTERNET_FORCE_RETRY to try again, anything else for declined.
using CertificateDialogHandler = DWORD (*)(HWND parent, HINTERNET request, DWORD error, DWORD flags);
DWORD ShowCertificateDialog(HWND parent, HINTERNET request, DWORD error, DWORD flags);

// Replaces the handler; nullptr restores InternetErrorDlg. Returns the previous handler.
CertificateDialogHandler SetCertificateDialogHandler(CertificateDialogHandler handler);
