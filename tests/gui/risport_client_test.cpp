// The call-manager download over real HTTPS. The tests that need a call manager run against
// the fake of tests/e2e/fake_cucm.py, which tests/e2e/test_risport.py starts before it runs
// them; it chooses each answer by the user name that the request authenticates with. Run on
// their own, without the fake's address in the environment, they are skipped.
#include <gtest/gtest.h>

#include <windows.h>
#include <wininet.h>

#include <cstdlib>
#include <cwchar>
#include <string>

#include "manager/cert_dialog.h"
#include "manager/risport_client.h"
#include "phone_test_support.h"

namespace {

using namespace guitest;
using namespace phonetest;

// Nothing listens here: the address is this system's own test range, the port unused.
constexpr wchar_t kSilentServer[] = L"127.0.40.250";
constexpr DWORD kSilentPort = 9;

int g_certificateDialogs = 0;
HWND g_dialogParent = nullptr;
DWORD g_dialogFlags = 0;

DWORD AcceptCertificate(HWND parent, HINTERNET request, DWORD error, DWORD flags) {
    ++g_certificateDialogs;
    g_dialogParent = parent;
    g_dialogFlags = flags;
    return AcceptCertificateAsUser(parent, request, error, flags);
}

DWORD DeclineCertificate(HWND, HINTERNET, DWORD, DWORD) {
    ++g_certificateDialogs;
    return ERROR_CANCELLED;
}

std::wstring CucmErrorText(int status) {
    return L"There was an error contacting the CUCM server.  The error code returned was: " + std::to_wstring(status);
}

void ResetPhoneTable() {
    delete[] g_phoneRecords;
    g_phoneRecords = nullptr;
    g_phoneRecordCount = 0;
}

class RisPortTest : public ::testing::Test {
protected:
    void SetUp() override {
        ResetPhoneTable();
        g_certificateDialogs = 0;
        g_dialogParent = nullptr;
        g_dialogFlags = 0;
        SetCertificateDialogHandler(AcceptCertificate);
    }
    void TearDown() override {
        SetCertificateDialogHandler(nullptr);
        ResetPhoneTable();
    }

    // Needs the fake call manager; returns false (test skipped) without it.
    bool FindFakeCucm() { return FakeCucmAddress("QAX_CUCM_SERVER", "QAX_CUCM_PORT", &server_, &port_); }

    int Request(const wchar_t* user) { return CUCMrequestDeviceList(server_.c_str(), port_, user, L"cm-secret"); }

    AnsweringBoxRecorder boxes_;
    std::wstring server_;
    DWORD port_ = 0;
};

// The tests that talk to the fake call manager; tests/e2e/test_risport.py runs them with it.
class RisPortLiveTest : public RisPortTest {};

TEST_F(RisPortTest, NothingListeningShowsStatus707AndKeepsTheTable) {
    PhoneRecord* kept = new PhoneRecord[1]();
    g_phoneRecords = kept;
    g_phoneRecordCount = 1;

    EXPECT_EQ(CUCMrequestDeviceList(kSilentServer, kSilentPort, L"axl", L"pw"), 0);

    ASSERT_EQ(boxes_.boxes().size(), 1u);
    EXPECT_EQ(boxes_.boxes()[0].text, CucmErrorText(707));
    EXPECT_EQ(boxes_.boxes()[0].caption, L"CUCM Error");
    EXPECT_EQ(boxes_.boxes()[0].flags, static_cast<UINT>(MB_ICONERROR));
    EXPECT_EQ(boxes_.boxes()[0].owner, nullptr);
    EXPECT_EQ(g_phoneRecords, kept);
    EXPECT_EQ(g_phoneRecordCount, 1);
    EXPECT_EQ(g_certificateDialogs, 0);
}

TEST_F(RisPortLiveTest, AcceptedCertificateAndACmNodeWithThreeDevicesGiveThreeRecords) {
    if (!FindFakeCucm()) GTEST_SKIP() << "no fake call manager";

    ASSERT_EQ(Request(L"three-phones"), 1);

    EXPECT_EQ(g_certificateDialogs, 1);
    EXPECT_EQ(g_dialogParent, GetDesktopWindow());
    EXPECT_EQ(g_dialogFlags, static_cast<DWORD>(FLAGS_ERROR_UI_FILTER_FOR_ERRORS | FLAGS_ERROR_UI_FLAGS_CHANGE_OPTIONS |
                                                FLAGS_ERROR_UI_FLAGS_GENERATE_DATA));
    EXPECT_TRUE(boxes_.boxes().empty());
    // The node item that encloses the devices is no phone.
    ASSERT_EQ(g_phoneRecordCount, 3);
    const wchar_t* names[] = {L"SEP00000000A001", L"SEP00000000A002", L"SEP00000000A003"};
    const wchar_t* addresses[] = {L"127.0.41.1", L"127.0.41.2", L"127.0.41.3"};
    const wchar_t* numbers[] = {L"4001", L"4002", L"4003"};
    const wchar_t* descriptions[] = {L"Lobby", L"Front &amp; back office", L"Loading dock"};
    for (int i = 0; i < 3; ++i) {
        EXPECT_STREQ(g_phoneRecords[i].Name, names[i]);
        EXPECT_STREQ(g_phoneRecords[i].IpAddress, addresses[i]);
        EXPECT_STREQ(g_phoneRecords[i].DirNumber, numbers[i]);
        EXPECT_STREQ(g_phoneRecords[i].Description, descriptions[i]);
    }
}

TEST_F(RisPortLiveTest, AnAnswerLongerThanOneReadArrivesWhole) {
    if (!FindFakeCucm()) GTEST_SKIP() << "no fake call manager";

    ASSERT_EQ(Request(L"many-phones"), 1);

    // 150 devices of about 400 bytes each, inside one node item.
    ASSERT_EQ(g_phoneRecordCount, 150);
    for (int i = 0; i < 150; ++i) {
        wchar_t name[32];
        std::swprintf(name, 32, L"SEP0000%08d", i);
        EXPECT_STREQ(g_phoneRecords[i].Name, name) << i;
        EXPECT_EQ(std::wstring(g_phoneRecords[i].Description), L"Phone " + std::to_wstring(i) + L" " + std::wstring(200, L'x'))
            << i;
    }
}

TEST_F(RisPortLiveTest, RefusedCredentialsShowTheStatusAndKeepTheOldTable) {
    if (!FindFakeCucm()) GTEST_SKIP() << "no fake call manager";
    ASSERT_EQ(Request(L"three-phones"), 1);
    PhoneRecord* old = g_phoneRecords;

    EXPECT_EQ(Request(L"refused"), 0);

    ASSERT_EQ(boxes_.boxes().size(), 1u);
    EXPECT_EQ(boxes_.boxes()[0].text, CucmErrorText(401));
    EXPECT_EQ(boxes_.boxes()[0].caption, L"CUCM Error");
    EXPECT_EQ(boxes_.boxes()[0].flags, static_cast<UINT>(MB_ICONERROR));
    EXPECT_EQ(g_phoneRecords, old);
    ASSERT_EQ(g_phoneRecordCount, 3);
    EXPECT_STREQ(g_phoneRecords[0].Name, L"SEP00000000A001");
}

TEST_F(RisPortLiveTest, ADeviceItemLackingAnElementGetsAnEmptyField) {
    if (!FindFakeCucm()) GTEST_SKIP() << "no fake call manager";

    ASSERT_EQ(Request(L"missing-address"), 1);

    ASSERT_EQ(g_phoneRecordCount, 2);  // the two devices, not the node item
    EXPECT_STREQ(g_phoneRecords[0].Name, L"SEP00000000B001");
    EXPECT_STREQ(g_phoneRecords[0].IpAddress, L"");
    EXPECT_STREQ(g_phoneRecords[0].DirNumber, L"5001");
    EXPECT_STREQ(g_phoneRecords[1].Name, L"SEP00000000B002");
    EXPECT_STREQ(g_phoneRecords[1].IpAddress, L"127.0.41.22");
}

TEST_F(RisPortLiveTest, AnAnswerWithoutItemsGivesAnEmptyTable) {
    if (!FindFakeCucm()) GTEST_SKIP() << "no fake call manager";
    ASSERT_EQ(Request(L"three-phones"), 1);

    ASSERT_EQ(Request(L"no-phones"), 1);
    EXPECT_EQ(g_phoneRecordCount, 0);
    EXPECT_TRUE(boxes_.boxes().empty());
}

// The declining test talks to a server of its own: a certificate accepted on one server may
// be remembered for it for the rest of the process.
TEST_F(RisPortLiveTest, DeclinedCertificateShowsStatus707) {
    std::wstring server;
    DWORD port = 0;
    if (!FakeCucmAddress("QAX_CUCM_DECLINE_SERVER", "QAX_CUCM_DECLINE_PORT", &server, &port)) {
        GTEST_SKIP() << "no fake call manager";
    }
    SetCertificateDialogHandler(DeclineCertificate);

    EXPECT_EQ(CUCMrequestDeviceList(server.c_str(), port, L"three-phones", L"cm-secret"), 0);

    EXPECT_EQ(g_certificateDialogs, 1);
    ASSERT_EQ(boxes_.boxes().size(), 1u);
    EXPECT_EQ(boxes_.boxes()[0].text, CucmErrorText(707));
    EXPECT_EQ(g_phoneRecordCount, 0);
}

}  // namespace
