// The update check against a local HTTP server standing in for the maker's web server, and
// the About page's button.
#include "manager/update_check.h"

#include <winsock2.h>
#include <ws2tcpip.h>

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <mutex>
#include <string>
#include <thread>

#include "common/maker.h"
#include "manager/resource.h"
#include "manager/sheet.h"
#include "tests/gui/zone_test_support.h"

using namespace zonetest;

namespace {

constexpr char kServerAddress[] = "127.0.50.1";

// Serves one fixed body to every request on 127.0.50.1 (an ephemeral port) and records the
// requests. Stops within a second of its destruction.
class VersionServer {
public:
    explicit VersionServer(std::string body) : body_(std::move(body)) {
        listener_ = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
        sockaddr_in address = LoopbackAddress(0);
        if (bind(listener_, reinterpret_cast<sockaddr*>(&address), sizeof(address)) != 0 ||
            listen(listener_, 4) != 0) {
            return;
        }
        int length = sizeof(address);
        getsockname(listener_, reinterpret_cast<sockaddr*>(&address), &length);
        port_ = ntohs(address.sin_port);
        thread_ = std::thread([this] { Serve(); });
    }
    ~VersionServer() {
        stop_ = true;
        if (thread_.joinable()) thread_.join();
        closesocket(listener_);
    }
    VersionServer(const VersionServer&) = delete;
    VersionServer& operator=(const VersionServer&) = delete;

    // Each server is a new address, so no cached answer of an earlier one is taken.
    std::wstring Url() const {
        return L"http://127.0.50.1:" + std::to_wstring(port_) + L"/software/qax/CurrentVersion.txt";
    }
    std::string Requests() {
        std::lock_guard<std::mutex> lock(mutex_);
        return requests_;
    }

    static sockaddr_in LoopbackAddress(unsigned short port) {
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_port = htons(port);
        inet_pton(AF_INET, kServerAddress, &address.sin_addr);
        return address;
    }

private:
    void Serve() {
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
        while (!stop_ && std::chrono::steady_clock::now() < deadline) {
            fd_set readable;
            FD_ZERO(&readable);
            FD_SET(listener_, &readable);
            timeval wait{0, 100000};
            if (select(0, &readable, nullptr, nullptr, &wait) != 1) continue;
            SOCKET client = accept(listener_, nullptr, nullptr);
            if (client == INVALID_SOCKET) continue;
            Answer(client);
            closesocket(client);
        }
    }
    void Answer(SOCKET client) {
        std::string request;
        char chunk[2048];
        while (request.find("\r\n\r\n") == std::string::npos) {
            int got = recv(client, chunk, sizeof(chunk), 0);
            if (got <= 0) return;
            request.append(chunk, got);
        }
        {
            std::lock_guard<std::mutex> lock(mutex_);
            requests_ += request;
        }
        const std::string reply = "HTTP/1.1 200 OK\r\nContent-Type: text/plain\r\nContent-Length: " +
                                  std::to_string(body_.size()) + "\r\nConnection: close\r\n\r\n" + body_;
        send(client, reply.data(), static_cast<int>(reply.size()), 0);
        shutdown(client, SD_SEND);
    }

    std::string body_;
    SOCKET listener_ = INVALID_SOCKET;
    unsigned short port_ = 0;
    std::atomic<bool> stop_{false};
    std::thread thread_;
    std::mutex mutex_;
    std::string requests_;
};

const wchar_t kCurrentText[] =
    L"You have the most current version of Dravik Halvenor.\r\nThere are no updates available at this time.";
const wchar_t kNewerText[] =
    L"There is a newer version of Dravik Halvenor available.  \r\nDo you want to visit the Dravik Halvenor "
    L"homepage on the Internet to learn more?";
const wchar_t kOwnNewerText[] =
    L"Your version of Dravik Halvenor is newer than the current release version (perhaps you are running a "
    L"Beta).\r\nDo you want to visit the Dravik Halvenor homepage on the Internet to learn more?";

std::vector<std::wstring>& OpenedPages() {
    static std::vector<std::wstring> pages;
    return pages;
}
void RecordOpenedPage(const wchar_t* url) { OpenedPages().push_back(url); }

class UpdateCheck : public ::testing::Test {
protected:
    UpdateCheck() {
        WSADATA data;
        WSAStartup(MAKEWORD(2, 2), &data);
        OpenedPages().clear();
        previous_ = SetOpenProductPageHandler(&RecordOpenedPage);
    }
    ~UpdateCheck() override {
        SetOpenProductPageHandler(previous_);
        WSACleanup();
    }

    // The one box shown for an answer body.
    RecordedBox CheckAgainst(const std::string& body, int answer = IDNO) {
        MessageBoxRecorder::Boxes().clear();
        MessageBoxRecorder::Answer(answer);
        VersionServer server(body);
        EXPECT_EQ(CheckForUpdatesAt(server.Url().c_str()), 0);
        EXPECT_EQ(MessageBoxRecorder::Boxes().size(), 1u) << "one box for the answer";
        EXPECT_NE(server.Requests().find("GET /software/qax/CurrentVersion.txt HTTP/1.1\r\n"), std::string::npos);
        return MessageBoxRecorder::Boxes().empty() ? RecordedBox{} : MessageBoxRecorder::Boxes()[0];
    }

    MessageBoxRecorder boxes_;
    OpenProductPageHandler previous_ = nullptr;
};

TEST_F(UpdateCheck, TheSameReleaseIsCurrent) {
    // "1e": an exponent without digits is not part of the number.
    for (const char* body : {"1.0", "1", "1.00", "1.0\r\n", " 1\n", "-1", "1e"}) {
        SCOPED_TRACE(body);
        RecordedBox box = CheckAgainst(body);
        EXPECT_EQ(box.text, kCurrentText);
        EXPECT_EQ(box.caption, L"QAX Version Information");
        EXPECT_EQ(box.flags, static_cast<UINT>(MB_OK | MB_ICONINFORMATION));
        EXPECT_EQ(box.owner, nullptr);
    }
    EXPECT_TRUE(OpenedPages().empty());
}

TEST_F(UpdateCheck, AHigherReleaseIsNewerAndYesOpensTheProductPage) {
    for (const char* body : {"2.5", "1.10", "-2", "1.5e0"}) {
        SCOPED_TRACE(body);
        RecordedBox box = CheckAgainst(body, IDNO);
        EXPECT_EQ(box.text, kNewerText);
        EXPECT_EQ(box.caption, L"QAX Version Information");
        EXPECT_EQ(box.flags, static_cast<UINT>(MB_YESNO | MB_ICONINFORMATION));
    }
    EXPECT_TRUE(OpenedPages().empty()) << "No opens nothing";

    CheckAgainst("2.5", IDYES);
    ASSERT_EQ(OpenedPages().size(), 1u);
    EXPECT_EQ(OpenedPages()[0], std::wstring(kMakerWebAddress) + L"/software/qax/");
}

TEST_F(UpdateCheck, AnAnswerBelowOwnOrNotANumberMeansOwnIsNewer) {
    for (const char* body : {"0.9", "", "<html><body>404 Not Found</body></html>", "nan", "0x2"}) {
        SCOPED_TRACE(body);
        RecordedBox box = CheckAgainst(body, IDNO);
        EXPECT_EQ(box.text, kOwnNewerText);
        EXPECT_EQ(box.flags, static_cast<UINT>(MB_YESNO | MB_ICONINFORMATION));
    }
    EXPECT_TRUE(OpenedPages().empty());
    CheckAgainst("0.9", IDYES);
    EXPECT_EQ(OpenedPages().size(), 1u);
}

TEST_F(UpdateCheck, TheRequestNamesTheProgramAsItsAgent) {
    VersionServer server("1.0");
    CheckForUpdatesAt(server.Url().c_str());
    EXPECT_NE(server.Requests().find("User-Agent: Dravik Halvenor - Version 1.0 - http://www.draviksoftware.com\r\n"),
              std::string::npos)
        << server.Requests();
}

TEST_F(UpdateCheck, NothingListeningShowsTheConnectionErrorBox) {
    // A port that was just free and is closed again: the connection is refused.
    SOCKET probe = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
    sockaddr_in address = VersionServer::LoopbackAddress(0);
    ASSERT_EQ(bind(probe, reinterpret_cast<sockaddr*>(&address), sizeof(address)), 0);
    int length = sizeof(address);
    getsockname(probe, reinterpret_cast<sockaddr*>(&address), &length);
    closesocket(probe);
    const std::wstring url =
        L"http://127.0.50.1:" + std::to_wstring(ntohs(address.sin_port)) + L"/software/qax/CurrentVersion.txt";

    EXPECT_EQ(CheckForUpdatesAt(url.c_str()), 0);
    ASSERT_EQ(MessageBoxRecorder::Boxes().size(), 1u);
    const RecordedBox& box = MessageBoxRecorder::Boxes()[0];
    EXPECT_EQ(box.text,
              L"Dravik Halvenor could not connect to the Internet to check for updates.\r\nPlease check your "
              L"Internet connection and try again.");
    EXPECT_EQ(box.caption, L"Dravik Halvenor");
    EXPECT_EQ(box.flags, static_cast<UINT>(MB_OK | MB_ICONERROR));
    EXPECT_EQ(box.owner, nullptr);
}

// Only Cancel is answered here: OK would reach for the maker's real address.
TEST(AboutPage, CheckForUpdatesAsksFirstAndCancelConnectsNowhere) {
    MessageBoxRecorder boxes;
    PageHost host(IDD_ABOUT, AboutPageProc);
    ASSERT_NE(host.page(), nullptr);
    MessageBoxRecorder::Answer(IDCANCEL);
    SendMessageW(host.item(IDC_CHECK_UPDATES), BM_CLICK, 0, 0);
    ASSERT_EQ(MessageBoxRecorder::Boxes().size(), 1u) << "no check, so no answer box";
    const RecordedBox& box = MessageBoxRecorder::Boxes()[0];
    EXPECT_EQ(box.text,
              L"Halvenor will attempt to connect to the Internet to learn if there are updates available.\r\n\r\n"
              L"Proceed?");
    EXPECT_EQ(box.caption, L"QAX Manager: Check for updates");
    EXPECT_EQ(box.flags, static_cast<UINT>(MB_OKCANCEL));
    EXPECT_EQ(box.owner, host.page());
}

}  // namespace
