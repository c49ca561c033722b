#include "manager/risport_client.h"

#include <wininet.h>

#include <cstring>
#include <cwchar>
#include <memory>
#include <new>
#include <string>

#include "common/message_box.h"
#include "common/wininet_handle.h"
#include "manager/cert_dialog.h"
#include "manager/risport_answer.h"

PhoneRecord* g_phoneRecords = nullptr;
int g_phoneRecordCount = 0;

namespace {

constexpr wchar_t kAgent[] = L"Dravik QAX";
constexpr wchar_t kRisPortObject[] = L"/realtimeservice/services/RisPort";
// No call manager across a network connects within milliseconds.
constexpr DWORD kConnectTimeoutMilliseconds = 10000;
constexpr DWORD kRequestFlags = INTERNET_FLAG_RELOAD | INTERNET_FLAG_SECURE | INTERNET_FLAG_KEEP_CONNECTION |
                                INTERNET_FLAG_IGNORE_CERT_DATE_INVALID | INTERNET_FLAG_IGNORE_CERT_CN_INVALID;
constexpr DWORD kCertificateDialogFlags =
    FLAGS_ERROR_UI_FILTER_FOR_ERRORS | FLAGS_ERROR_UI_FLAGS_CHANGE_OPTIONS | FLAGS_ERROR_UI_FLAGS_GENERATE_DATA;

// The status that stands for "no status could be read".
constexpr DWORD kUnreadStatus = 707;

constexpr wchar_t kSoapActionHeader[] =
    L"SOAPAction: http://schemas.cisco.com/ast/soap/action/#RisPort#SelectCmDevice\r\n\r\n";

// Every phone of the call manager, at most 200; the same body on every call.
constexpr char kSelectCmDeviceBody[] =
    "<?xml version=\"1.0\" encoding=\"UTF-8\"?> "
    "<soapenv:Envelope xmlns:xsi=\"http://www.w3.org/2001/XMLSchema-instance\" "
    "xmlns:xsd=\"http://www.w3.org/2001/XMLSchema\" "
    "xmlns:soapenv=\"http://schemas.xmlsoap.org/soap/envelope/\">"
    "\t<soapenv:Body>"
    "\t\t<ns1:SelectCmDevice xmlns:ns1=\"http://schemas.cisco.com/ast/soap/\" "
    "soapenv:encodingStyle=\"http://schemas.xmlsoap.org/soap/encoding/\">"
    "\t\t\t<StateInfo/>"
    "\t\t\t<CmSelectionCriteria soapenv:encodingStyle=\"http://schemas.xmlsoap.org/soap/encoding/\" "
    "xmlns:ns2=\"http://schemas.cisco.com/ast/soap/\" "
    "xmlns:soapenc=\"http://schemas.xmlsoap.org/soap/encoding/\" "
    "xsi:type=\"ns2:CmSelectionCriteria\">"
    "\t\t\t\t<MaxReturnedDevices>200</MaxReturnedDevices>"
    "\t\t\t\t<Class>Phone</Class>"
    "\t\t\t\t<Model>255</Model>"
    "\t\t\t\t<Status>Any</Status>"
    "\t\t\t\t<SelectBy>Name</SelectBy>"
    "\t\t\t</CmSelectionCriteria>"
    "\t\t</ns1:SelectCmDevice>"
    "\t</soapenv:Body>"
    "</soapenv:Envelope>";

BOOL SendSelectCmDevice(HINTERNET request) {
    return HttpSendRequestW(request, kSoapActionHeader, static_cast<DWORD>(-1),
                            const_cast<char*>(kSelectCmDeviceBody), sizeof kSelectCmDeviceBody - 1);
}

// Sends the request; a certificate from an untrusted issuer goes to the user first. True
// when the request was sent and answered.
bool SendWithCertificateCheck(HINTERNET request) {
    for (;;) {
        if (SendSelectCmDevice(request)) return true;
        if (GetLastError() != ERROR_INTERNET_INVALID_CA) return false;
        const DWORD answer =
            ShowCertificateDialog(GetDesktopWindow(), request, ERROR_INTERNET_INVALID_CA, kCertificateDialogFlags);
        if (answer == ERROR_SUCCESS) return SendSelectCmDevice(request) != FALSE;
        if (answer != ERROR_INTERNET_FORCE_RETRY) return false;  // declined
    }
}

// The HTTP status of the request, or kUnreadStatus when there is none.
DWORD QueryStatusCode(HINTERNET request) {
    DWORD status = kUnreadStatus;
    for (int query = 0; query < 2; ++query) {
        DWORD length = sizeof status;
        SetLastError(ERROR_SUCCESS);
        const BOOL queried = HttpQueryInfoW(request, HTTP_QUERY_STATUS_CODE | HTTP_QUERY_FLAG_NUMBER, &status, &length,
                                            nullptr);
        const DWORD error = GetLastError();
        Beep(300, 100);
        if (error != ERROR_INSUFFICIENT_BUFFER) break;
        wchar_t text[64];
        std::swprintf(text, 64, L"Status Code: %d", static_cast<int>(error));
        ShowMessageBox(nullptr, text, L"Insufficient Buffer", MB_OK);
        Beep(200, 100);
        if (queried) break;
    }
    return status;
}

void ShowCucmError(DWORD status) {
    wchar_t text[128];
    std::swprintf(text, 128, L"There was an error contacting the CUCM server.  The error code returned was: %d",
                  static_cast<int>(status));
    ShowMessageBox(nullptr, text, L"CUCM Error", MB_ICONERROR);
}

// The answer as it arrives, kept zero-terminated; it grows in steps of one read buffer.
class AnswerBuffer {
public:
    static constexpr size_t kStep = 4096;

    bool Allocate() {
        data_.reset(new (std::nothrow) char[kStep]());
        capacity_ = data_ ? kStep : 0;
        return data_ != nullptr;
    }

    bool Append(const char* chunk, size_t length) {
        if (length_ + length + 1 > capacity_) {
            const size_t capacity = capacity_ + kStep;
            std::unique_ptr<char[]> grown(new (std::nothrow) char[capacity]());
            if (!grown) return false;
            std::memcpy(grown.get(), data_.get(), length_);
            data_ = std::move(grown);
            capacity_ = capacity;
        }
        std::memcpy(data_.get() + length_, chunk, length);
        length_ += length;
        data_[length_] = 0;
        return true;
    }

    const char* text() const { return data_.get(); }
    size_t length() const { return length_; }

private:
    std::unique_ptr<char[]> data_;
    size_t capacity_ = 0;
    size_t length_ = 0;
};

enum class ReadOutcome { kWhole, kCutShort, kNoRoom };

// The length that the answer announces (Content-Length); false when it announces none.
bool AnnouncedLength(HINTERNET request, DWORD* length) {
    DWORD size = sizeof *length;
    return HttpQueryInfoW(request, HTTP_QUERY_CONTENT_LENGTH | HTTP_QUERY_FLAG_NUMBER, length, &size, nullptr) != FALSE;
}

// Reads the answer to its end. A read that fails, or an end before the announced length, is
// a connection lost halfway: the answer is cut short.
ReadOutcome ReadAnswer(HINTERNET request, AnswerBuffer* answer) {
    if (!answer->Allocate()) return ReadOutcome::kNoRoom;
    char chunk[AnswerBuffer::kStep];
    for (;;) {
        std::memset(chunk, 0, sizeof chunk);
        DWORD read = 0;
        if (!InternetReadFile(request, chunk, sizeof chunk - 1, &read)) return ReadOutcome::kCutShort;
        if (read == 0) break;
        if (!answer->Append(chunk, read)) return ReadOutcome::kNoRoom;
    }
    DWORD announced = 0;
    if (AnnouncedLength(request, &announced) && answer->length() < announced) return ReadOutcome::kCutShort;
    return ReadOutcome::kWhole;
}

// A download that failed after the status: the page keeps its list and its data file.
void ShowFailedDownload(const wchar_t* reason) {
    std::wstring text = reason;
    text += L"  The phone list and the data file were not changed.";
    ShowMessageBox(nullptr, text.c_str(), L"CUCM Error", MB_ICONERROR);
}

void ReplacePhoneTable(PhoneRecord* records, int count) {
    delete[] g_phoneRecords;
    g_phoneRecords = records;
    g_phoneRecordCount = count;
}

}  // namespace

int CUCMrequestDeviceList(const wchar_t* server, DWORD port, const wchar_t* user, const wchar_t* password) {
    UniqueInternetHandle internet(InternetOpenW(kAgent, INTERNET_OPEN_TYPE_PRECONFIG, nullptr, nullptr, 0));
    if (!internet) return 0;
    // WinINet answers the server's authentication challenge with these credentials.
    UniqueInternetHandle connection(InternetConnectW(internet.get(), server, static_cast<INTERNET_PORT>(port & 0xFFFF),
                                                     user, password, INTERNET_SERVICE_HTTP, 0, 0));
    if (!connection) return 0;
    DWORD timeout = kConnectTimeoutMilliseconds;
    InternetSetOptionW(connection.get(), INTERNET_OPTION_CONNECT_TIMEOUT, &timeout, sizeof timeout);
    UniqueInternetHandle request(
        HttpOpenRequestW(connection.get(), L"POST", kRisPortObject, nullptr, nullptr, nullptr, kRequestFlags, 0));
    if (!request) return 0;

    const bool answered = SendWithCertificateCheck(request.get());
    DWORD status = QueryStatusCode(request.get());
    // Without an answer there is no status, whatever the query made of the empty request.
    if (!answered) status = kUnreadStatus;
    if (status != HTTP_STATUS_OK) {
        ShowCucmError(status);
        return 0;
    }

    AnswerBuffer answer;
    switch (ReadAnswer(request.get(), &answer)) {
        case ReadOutcome::kWhole: break;
        case ReadOutcome::kCutShort:
            ShowFailedDownload(L"The answer of the CUCM server ended before it was complete.");
            return 0;
        case ReadOutcome::kNoRoom: return 0;
    }
    // A proxy's error page or a fault comes with status 200 too, and holds no phones.
    if (!IsSelectCmDeviceAnswer(answer.text())) {
        ShowFailedDownload(L"The answer of the CUCM server is not a list of IP telephones (RisPort SelectCmDevice).");
        return 0;
    }
    PhoneRecord* records = nullptr;
    int count = 0;
    if (!CutAnswerIntoRecords(answer.text(), &records, &count)) return 0;
    ReplacePhoneTable(records, count);
    return 1;
}
