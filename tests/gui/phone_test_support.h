// Test support for the IP Phone List page, the data file and the call-manager download:
// message boxes answered as the test chooses, the list's check boxes, the certificate dialog
// answered as a user who accepts, and the fake call manager's address.
#pragma once

#include <windows.h>
#include <commctrl.h>

#include <string>
#include <vector>

#include "gui_test_support.h"

namespace phonetest {

// Records every box shown through ShowMessageBox and answers each with `answer`.
class AnsweringBoxRecorder {
public:
    explicit AnsweringBoxRecorder(int answer = IDOK);
    ~AnsweringBoxRecorder();
    AnsweringBoxRecorder(const AnsweringBoxRecorder&) = delete;
    AnsweringBoxRecorder& operator=(const AnsweringBoxRecorder&) = delete;

    const std::vector<RecordedBox>& boxes() const;
    void setAnswer(int answer);
};

bool IsTicked(HWND listView, int row);

// The certificate dialog answered as a user who accepts does: the request is set to trust
// the unknown issuer, and the dialog returns ERROR_SUCCESS.
DWORD AcceptCertificateAsUser(HWND parent, void* request, DWORD error, DWORD flags);
// The fake call manager's address from the environment (tests/e2e/test_risport.py sets it);
// false when it is not there.
bool FakeCucmAddress(const char* serverVariable, const char* portVariable, std::wstring* server, DWORD* port);

}  // namespace phonetest
