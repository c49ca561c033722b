#include "manager/cert_dialog.h"

namespace {
CertificateDialogHandler g_certificateDialogHandler = nullptr;
}

DWORD ShowCertificateDialog(HWND parent, HINTERNET request, DWORD error, DWORD flags) {
    if (g_certificateDialogHandler != nullptr) return g_certificateDialogHandler(parent, request, error, flags);
    return InternetErrorDlg(parent, request, error, flags, nullptr);
}

CertificateDialogHandler SetCertificateDialogHandler(CertificateDialogHandler handler) {
    CertificateDialogHandler previous = g_certificateDialogHandler;
    g_certificateDialogHandler = handler;
    return previous;
}
