#include "phone_test_support.h"

#include <wininet.h>

#include <cstdlib>

namespace phonetest {

AnsweringBoxRecorder::AnsweringBoxRecorder(int answer) {
    guitest::Boxes().clear();
    guitest::SetDefaultBoxAnswer(answer);
    guitest::RecordBoxes();
}

AnsweringBoxRecorder::~AnsweringBoxRecorder() { guitest::StopRecordingBoxes(); }

const std::vector<RecordedBox>& AnsweringBoxRecorder::boxes() const { return guitest::Boxes(); }
void AnsweringBoxRecorder::setAnswer(int answer) { guitest::SetDefaultBoxAnswer(answer); }

bool IsTicked(HWND listView, int row) {
    return (ListView_GetItemState(listView, row, LVIS_STATEIMAGEMASK) & LVIS_STATEIMAGEMASK) == INDEXTOSTATEIMAGEMASK(2);
}

DWORD AcceptCertificateAsUser(HWND, void* request, DWORD error, DWORD) {
    if (error != ERROR_INTERNET_INVALID_CA) return ERROR_CANCELLED;
    DWORD flags = 0;
    DWORD length = sizeof flags;
    InternetQueryOptionW(request, INTERNET_OPTION_SECURITY_FLAGS, &flags, &length);
    flags |= SECURITY_FLAG_IGNORE_UNKNOWN_CA;
    InternetSetOptionW(request, INTERNET_OPTION_SECURITY_FLAGS, &flags, sizeof flags);
    return ERROR_SUCCESS;
}

bool FakeCucmAddress(const char* serverVariable, const char* portVariable, std::wstring* server, DWORD* port) {
    const char* serverText = std::getenv(serverVariable);
    const char* portText = std::getenv(portVariable);
    if (serverText == nullptr || portText == nullptr) return false;
    server->clear();
    for (const char* c = serverText; *c != 0; ++c) server->push_back(static_cast<unsigned char>(*c));
    *port = static_cast<DWORD>(std::strtoul(portText, nullptr, 10));
    return !server->empty() && *port != 0;
}

}  // namespace phonetest
