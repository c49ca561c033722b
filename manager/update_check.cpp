#include "manager/update_check.h"

#include <windows.h>
#include <shellapi.h>
#include <wininet.h>

#include <cmath>
#include <cstdlib>
#include <string>

#include "common/maker.h"
#include "common/message_box.h"
#include "common/wininet_handle.h"

namespace {

// The release this program is; the agent name says the same. The version resource (2.5) is
// the file's version, not the release number that the maker publishes.
constexpr float kOwnVersion = 1.0f;
constexpr wchar_t kAgentPrefix[] = L"Dravik Halvenor - Version 1.0 - ";
constexpr wchar_t kVersionFilePath[] = L"/software/qax/CurrentVersion.txt";
constexpr wchar_t kProductPagePath[] = L"/software/qax/";
constexpr DWORD kAnswerBytes = 1024;

constexpr wchar_t kVersionCaption[] = L"QAX Version Information";

OpenProductPageHandler g_openProductPage = nullptr;

void OpenProductPage() {
    const std::wstring url = std::wstring(kMakerWebAddress) + kProductPagePath;
    if (g_openProductPage != nullptr) {
        g_openProductPage(url.c_str());
        return;
    }
    ShellExecuteW(nullptr, L"open", url.c_str(), nullptr, nullptr, SW_SHOWNORMAL);
}

void ShowConnectionErrorBox() {
    ShowMessageBox(nullptr,
                   L"Dravik Halvenor could not connect to the Internet to check for updates.\r\n"
                   L"Please check your Internet connection and try again.",
                   L"Dravik Halvenor", MB_OK | MB_ICONERROR);
}

bool IsDigit(char c) { return c >= '0' && c <= '9'; }
bool IsBlank(char c) { return c == ' ' || (c >= '\t' && c <= '\r'); }

// The answer as a decimal number: blanks skipped, a sign, digits with "." and an exponent,
// up to the first character that cannot continue it; no number at all (an error page, an
// empty body) reads as 0. Nothing else (hexadecimal, "nan", "inf") counts as a number.
float ParseVersionNumber(const char* text) {
    size_t i = 0;
    while (IsBlank(text[i])) ++i;
    const size_t start = i;
    if (text[i] == '+' || text[i] == '-') ++i;
    size_t digits = 0;
    while (IsDigit(text[i])) ++i, ++digits;
    if (text[i] == '.') {
        ++i;
        while (IsDigit(text[i])) ++i, ++digits;
    }
    if (digits == 0) return 0.0f;
    if (text[i] == 'e' || text[i] == 'E') {
        size_t j = i + 1;
        if (text[j] == '+' || text[j] == '-') ++j;
        if (IsDigit(text[j])) {
            while (IsDigit(text[j])) ++j;
            i = j;
        }
    }
    const std::string number(text + start, text + i);
    return static_cast<float>(std::strtod(number.c_str(), nullptr));
}

void ReportVersion(float remoteVersion) {
    const float own = std::fabs(kOwnVersion);
    const float remote = std::fabs(remoteVersion);
    if (own == remote) {
        ShowMessageBox(nullptr,
                       L"You have the most current version of Dravik Halvenor.\r\n"
                       L"There are no updates available at this time.",
                       kVersionCaption, MB_OK | MB_ICONINFORMATION);
    }
    if (remote > own) {
        if (ShowMessageBox(nullptr,
                           L"There is a newer version of Dravik Halvenor available.  \r\n"
                           L"Do you want to visit the Dravik Halvenor homepage on the Internet to learn more?",
                           kVersionCaption, MB_YESNO | MB_ICONINFORMATION) == IDYES) {
            OpenProductPage();
        }
    }
    if (own > remote) {
        if (ShowMessageBox(nullptr,
                           L"Your version of Dravik Halvenor is newer than the current release version (perhaps "
                           L"you are running a Beta).\r\n"
                           L"Do you want to visit the Dravik Halvenor homepage on the Internet to learn more?",
                           kVersionCaption, MB_YESNO | MB_ICONINFORMATION) == IDYES) {
            OpenProductPage();
        }
    }
}

}  // namespace

int CheckForUpdates() {
    const std::wstring url = std::wstring(kMakerWebAddress) + kVersionFilePath;
    return CheckForUpdatesAt(url.c_str());
}

int CheckForUpdatesAt(const wchar_t* versionFileUrl) {
    char answer[kAnswerBytes] = {};
    const std::wstring agent = std::wstring(kAgentPrefix) + kMakerWebAddress;
    UniqueInternetHandle root(InternetOpenW(agent.c_str(), INTERNET_OPEN_TYPE_DIRECT, nullptr, nullptr, 0));
    if (!root) {
        ShowConnectionErrorBox();
        return 0;
    }
    UniqueInternetHandle file(InternetOpenUrlW(root.get(), versionFileUrl, nullptr, 0, INTERNET_FLAG_RAW_DATA, 0));
    if (!file) {
        ShowConnectionErrorBox();
        return 0;
    }
    // One read; whatever body the server sends, error pages included, is the answer.
    DWORD read = 0;
    InternetReadFile(file.get(), answer, kAnswerBytes - 1, &read);
    answer[kAnswerBytes - 1] = 0;
    ReportVersion(ParseVersionNumber(answer));
    return 0;
}

OpenProductPageHandler SetOpenProductPageHandler(OpenProductPageHandler handler) {
    OpenProductPageHandler previous = g_openProductPage;
    g_openProductPage = handler;
    return previous;
}
