// The IP Phone List page as the administrator meets it: built from its template by its own
// procedure, on the real registry, beside a window standing in for the sheet.
#include <gtest/gtest.h>

#include <map>
#include <string>

#include "common/message_box.h"
#include "manager/cert_dialog.h"
#include "manager/phone_list_page.h"
#include "manager/resource.h"
#include "manager/risport_client.h"
#include "manager/sheet.h"
#include "phone_test_support.h"
#include "sheet_harness.h"
#include "common/config_store.h"

namespace {

using namespace guitest;
using phonetest::AcceptCertificateAsUser;
using phonetest::AnsweringBoxRecorder;
using phonetest::FakeCucmAddress;
using phonetest::IsTicked;

constexpr wchar_t kConfirmText[] =
    L"Halvenor will attempt to connect to your CUCM server to obtain the list of IP telephones.  \r\n\r\nProceed?";
constexpr wchar_t kConfirmCaption[] = L"Dravik QAX: Connect to CUCM";

// Four lines; the page shows them bottom up: SEPDUP (4), SEPDUP (3), SEPB, SEPA.
constexpr char kFileLines[] =
    "1\tAlpha\t10.0.0.1\tSEPA\r\n"
    "2\tBravo\t10.0.0.2\tSEPB\r\n"
    "3\tfirst twin\t10.0.0.3\tSEPDUP\r\n"
    "4\tsecond twin\t10.0.0.4\tSEPDUP\r\n";

class PhoneListPageTest : public ::testing::Test {
protected:
    void SetUp() override {
        dataFile_ = scratch_.file(L"CUCMdata.dat");
        WriteFileBytes(dataFile_, kFileLines);
        g_sortDirection = 1;
    }

    void TearDown() override {
        if (page_ != nullptr) DestroyWindow(page_);
        if (g_hSettingsKey != nullptr) RegCloseKey(g_hSettingsKey);
        g_hSettingsKey = nullptr;
        RemoveSettingsKey();
        g_sortDirection = 1;
        SetCertificateDialogHandler(nullptr);
    }

    // A site with every value of the page.
    void SeedSite(const std::wstring& selections = L"SEPB;sepa;SEPDUP;SEPGONE;") {
        SeedSettings({{kValueServerAddress, L"127.0.40.9"},
                      {kValueServerPort, L"8443"},
                      {kValueDataFile, dataFile_},
                      {kValueDeviceSelections, selections}},
                     {{kValueCucmUsername, ScrambleCredential(L"axl-user")},
                      {kValueCucmPassword, ScrambleCredential(L"pa\u00dfw\u00f6rd")}});
    }

    void CreatePage() {
        ASSERT_EQ(RegOpenKeyExW(HKEY_LOCAL_MACHINE, kSettingsKeyPath, 0, KEY_ALL_ACCESS, &g_hSettingsKey), ERROR_SUCCESS);
        page_ = CreatePageFromTemplate(IDD_PHONE_LIST, sheet_.window(), PhoneListPageProc);
        ASSERT_NE(page_, nullptr);
        list_ = GetDlgItem(page_, IDC_PHONE_LIST);
    }

    HWND Control(int id) const { return GetDlgItem(page_, id); }
    std::wstring Text(int id) const { return WindowText(Control(id)); }
    void Click(int id) { SendMessageW(Control(id), BM_CLICK, 0, 0); }
    void Type(int id, const std::wstring& text) {
        SendMessageW(Control(id), WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text.c_str()));
    }
    void ClickColumn(int column) {
        NMLISTVIEW click = {};
        click.hdr.hwndFrom = list_;
        click.hdr.idFrom = IDC_PHONE_LIST;
        click.hdr.code = LVN_COLUMNCLICK;
        click.iItem = -1;
        click.iSubItem = column;
        SendMessageW(page_, WM_NOTIFY, IDC_PHONE_LIST, reinterpret_cast<LPARAM>(&click));
    }
    std::vector<bool> Ticks() const {
        std::vector<bool> ticks;
        for (int row = 0; row < ListView_GetItemCount(list_); ++row) ticks.push_back(IsTicked(list_, row));
        return ticks;
    }

    AnsweringBoxRecorder boxes_;
    SheetStandIn sheet_;
    ScratchDirectory scratch_;
    std::wstring dataFile_;
    HWND page_ = nullptr;
    HWND list_ = nullptr;
};

TEST_F(PhoneListPageTest, OpensWithTheStoredConnectionTheDataFileAndTheStoredTicks) {
    SeedSite();
    CreatePage();

    EXPECT_EQ(Text(IDC_SERVER_ADDRESS), L"127.0.40.9");
    EXPECT_EQ(Text(IDC_SERVER_PORT), L"8443");
    EXPECT_EQ(Text(IDC_CUCM_USERNAME), L"axl-user");
    EXPECT_EQ(Text(IDC_CUCM_PASSWORD), L"pa\u00dfw\u00f6rd");
    EXPECT_EQ(SendMessageW(Control(IDC_CUCM_PASSWORD), EM_GETPASSWORDCHAR, 0, 0), 0x25CF);
    EXPECT_STREQ(g_dataFilePath, dataFile_.c_str());

    EXPECT_EQ(ColumnTexts(list_, 0), (std::vector<std::wstring>{L"4", L"3", L"2", L"1"}));
    EXPECT_EQ(ColumnTexts(list_, 3), (std::vector<std::wstring>{L"SEPDUP", L"SEPDUP", L"SEPB", L"SEPA"}));
    // The first row of a name only; "sepa" is not "SEPA"; an unknown name ticks nothing.
    EXPECT_EQ(Ticks(), (std::vector<bool>{true, false, true, false}));
    EXPECT_EQ(Text(IDC_STATUS_LINE).rfind(L"Using data file " + dataFile_ + L" (last updated: ", 0), 0u)
        << Text(IDC_STATUS_LINE);

    EXPECT_TRUE(boxes_.boxes().empty());
    EXPECT_EQ(sheet_.changedCount(), 0) << "opening the page is no change";
}

TEST_F(PhoneListPageTest, TheControlsFollowTheirTabOrder) {
    SeedSite();
    CreatePage();
    const int order[] = {IDC_SERVER_ADDRESS, IDC_SERVER_PORT, IDC_CUCM_USERNAME, IDC_CUCM_PASSWORD, IDC_PHONE_LIST,
                         IDC_REFRESH, IDC_SELECT_ALL, IDC_DESELECT_ALL, IDC_CUCM_SHOW_PASSWORD};
    HWND control = Control(order[0]);
    for (size_t i = 1; i < sizeof order / sizeof order[0]; ++i) {
        control = GetNextDlgTabItem(page_, control, FALSE);
        EXPECT_EQ(GetDlgCtrlID(control), order[i]) << i;
    }
    EXPECT_EQ(GetNextDlgTabItem(page_, control, FALSE), Control(order[0]));
}

TEST_F(PhoneListPageTest, EditsHoldNoMoreThanTheirValuesCanStore) {
    SeedSite();
    CreatePage();
    EXPECT_EQ(SendMessageW(Control(IDC_SERVER_ADDRESS), EM_GETLIMITTEXT, 0, 0), 255);
    EXPECT_EQ(SendMessageW(Control(IDC_SERVER_PORT), EM_GETLIMITTEXT, 0, 0), 5);
    EXPECT_EQ(SendMessageW(Control(IDC_CUCM_USERNAME), EM_GETLIMITTEXT, 0, 0), 255);
    EXPECT_EQ(SendMessageW(Control(IDC_CUCM_PASSWORD), EM_GETLIMITTEXT, 0, 0), 255);
    EXPECT_TRUE(GetWindowLongW(Control(IDC_SERVER_PORT), GWL_STYLE) & ES_NUMBER);
}

TEST_F(PhoneListPageTest, EachAbsentValueShowsOneBoxAndEmptyValuesShowNone) {
    SeedSettings({{kValueServerAddress, L"127.0.40.9"}});
    CreatePage();

    ASSERT_EQ(boxes_.boxes().size(), 4u) << "ServerPort, CUCMusername, CUCMpassword, CUCMdatafile";
    for (const RecordedBox& box : boxes_.boxes()) {
        EXPECT_EQ(box.text, kAbsentValueText);
        EXPECT_EQ(box.caption, L"Dravik Software");
        EXPECT_EQ(box.flags, static_cast<UINT>(MB_ICONERROR | MB_SERVICE_NOTIFICATION));
        EXPECT_EQ(box.owner, GetDesktopWindow());
    }
    EXPECT_EQ(Text(IDC_SERVER_ADDRESS), L"127.0.40.9");
    EXPECT_EQ(Text(IDC_SERVER_PORT), L"");
    EXPECT_STREQ(g_dataFilePath, kDefaultDataFilePath);
    DestroyWindow(page_);
    RegCloseKey(g_hSettingsKey);
    g_hSettingsKey = nullptr;

    SeedSettings({{kValueServerAddress, L""}, {kValueServerPort, L""}, {kValueCucmUsername, L""},
                  {kValueCucmPassword, L""}, {kValueDataFile, L""}, {kValueDeviceSelections, L""}});
    const size_t before = boxes_.boxes().size();
    CreatePage();
    EXPECT_EQ(boxes_.boxes().size(), before);
    EXPECT_EQ(Text(IDC_CUCM_USERNAME), L"");
    EXPECT_EQ(Text(IDC_CUCM_PASSWORD), L"");
    EXPECT_STREQ(g_dataFilePath, kDefaultDataFilePath);
}

TEST_F(PhoneListPageTest, AStoredPathTooLongForThePathBufferIsNotUsed) {
    SeedSettings({{kValueServerAddress, L""}, {kValueServerPort, L""}, {kValueCucmUsername, L""},
                  {kValueCucmPassword, L""}, {kValueDataFile, dataFile_ + std::wstring(300, L'x')}});
    CreatePage();

    // Cut to 259 characters it would name another file; unused, every access fails visibly.
    EXPECT_STREQ(g_dataFilePath, L"");
    EXPECT_EQ(ListView_GetItemCount(list_), 0);
    EXPECT_EQ(Text(IDC_STATUS_LINE).rfind(L"Could not open data file ", 0), 0u) << Text(IDC_STATUS_LINE);
    EXPECT_TRUE(boxes_.boxes().empty());
}

TEST_F(PhoneListPageTest, ShowPasswordTogglesTheMaskWithoutMarkingTheSheetWhileEditsAndButtonsMarkIt) {
    SeedSite();
    CreatePage();

    Click(IDC_CUCM_SHOW_PASSWORD);
    EXPECT_EQ(SendMessageW(Control(IDC_CUCM_PASSWORD), EM_GETPASSWORDCHAR, 0, 0), 0);
    Click(IDC_CUCM_SHOW_PASSWORD);
    EXPECT_EQ(SendMessageW(Control(IDC_CUCM_PASSWORD), EM_GETPASSWORDCHAR, 0, 0), 0x25CF);
    EXPECT_EQ(sheet_.changedCount(), 0);

    for (int id : {IDC_SERVER_ADDRESS, IDC_SERVER_PORT, IDC_CUCM_USERNAME, IDC_CUCM_PASSWORD}) {
        sheet_.resetChanged();
        Type(id, L"1");
        EXPECT_GE(sheet_.changedCount(), 1) << id;
    }
    sheet_.resetChanged();
    ListView_SetCheckState(list_, 1, TRUE);
    EXPECT_GE(sheet_.changedCount(), 1) << "a tick";
}

TEST_F(PhoneListPageTest, SelectAllAndDeselectAllSetEveryBox) {
    SeedSite();
    CreatePage();

    Click(IDC_SELECT_ALL);
    EXPECT_EQ(Ticks(), (std::vector<bool>{true, true, true, true}));
    EXPECT_GE(sheet_.changedCount(), 1);

    sheet_.resetChanged();
    Click(IDC_DESELECT_ALL);
    EXPECT_EQ(Ticks(), (std::vector<bool>{false, false, false, false}));
    for (int row = 0; row < 4; ++row) {
        EXPECT_EQ(ListView_GetItemState(list_, row, LVIS_STATEIMAGEMASK), INDEXTOSTATEIMAGEMASK(1));
    }
    EXPECT_GE(sheet_.changedCount(), 1);
}

TEST_F(PhoneListPageTest, EveryColumnClickSortsByTextAndFlipsTheOneDirection) {
    SeedSite(L"SEPB;");
    WriteFileBytes(dataFile_,
                   "10\tc\t10.0.0.9\tSEP_X\r\n"
                   "9\ta\t10.0.0.10\tSEPc\r\n"
                   "100\tb\t10.0.0.100\tSEPB\r\n");
    CreatePage();

    ClickColumn(3);
    EXPECT_EQ(ColumnTexts(list_, 3), (std::vector<std::wstring>{L"SEP_X", L"SEPB", L"SEPc"}));
    EXPECT_EQ(Ticks(), (std::vector<bool>{false, true, false}));
    EXPECT_EQ(g_sortDirection, -1);

    ClickColumn(2);  // another column: descending now
    EXPECT_EQ(ColumnTexts(list_, 2), (std::vector<std::wstring>{L"10.0.0.9", L"10.0.0.100", L"10.0.0.10"}));
    EXPECT_EQ(g_sortDirection, 1);

    ClickColumn(0);
    EXPECT_EQ(ColumnTexts(list_, 0), (std::vector<std::wstring>{L"10", L"100", L"9"}));
    EXPECT_EQ(g_sortDirection, -1);
}

TEST_F(PhoneListPageTest, CancellingTheRefreshChangesNothing) {
    SeedSite();
    CreatePage();
    boxes_.setAnswer(IDCANCEL);
    const std::wstring status = Text(IDC_STATUS_LINE);

    Click(IDC_REFRESH);

    ASSERT_EQ(boxes_.boxes().size(), 1u);
    EXPECT_EQ(boxes_.boxes()[0].text, kConfirmText);
    EXPECT_EQ(boxes_.boxes()[0].caption, kConfirmCaption);
    EXPECT_EQ(boxes_.boxes()[0].flags, static_cast<UINT>(MB_OKCANCEL));
    EXPECT_EQ(boxes_.boxes()[0].owner, page_);
    EXPECT_EQ(ColumnTexts(list_, 3), (std::vector<std::wstring>{L"SEPDUP", L"SEPDUP", L"SEPB", L"SEPA"}));
    EXPECT_EQ(Ticks(), (std::vector<bool>{true, false, true, false}));
    EXPECT_EQ(Text(IDC_STATUS_LINE), status);
    EXPECT_EQ(ReadFileBytes(dataFile_), kFileLines);
}

TEST_F(PhoneListPageTest, ARefreshThatCannotReachTheCallManagerKeepsListStatusAndFile) {
    SeedSite();
    CreatePage();
    Type(IDC_SERVER_ADDRESS, L"127.0.40.250");  // nothing listens there
    Type(IDC_SERVER_PORT, L"9");
    const std::wstring status = Text(IDC_STATUS_LINE);

    Click(IDC_REFRESH);

    ASSERT_EQ(boxes_.boxes().size(), 2u);
    EXPECT_EQ(boxes_.boxes()[0].caption, kConfirmCaption);
    EXPECT_EQ(boxes_.boxes()[1].caption, L"CUCM Error");
    EXPECT_EQ(boxes_.boxes()[1].text,
              L"There was an error contacting the CUCM server.  The error code returned was: 707");
    EXPECT_EQ(ColumnTexts(list_, 3), (std::vector<std::wstring>{L"SEPDUP", L"SEPDUP", L"SEPB", L"SEPA"}));
    EXPECT_EQ(Ticks(), (std::vector<bool>{true, false, true, false}));
    EXPECT_EQ(Text(IDC_STATUS_LINE), status);
    EXPECT_EQ(ReadFileBytes(dataFile_), kFileLines);
}

// Needs the fake call manager that tests/e2e/test_risport.py starts; skipped without it.
using PhoneListLiveTest = PhoneListPageTest;

TEST_F(PhoneListLiveTest, RefreshFillsTheListFromTheCallManagerAndRewritesTheDataFile) {
    std::wstring server;
    DWORD port = 0;
    if (!FakeCucmAddress("QAX_CUCM_SERVER", "QAX_CUCM_PORT", &server, &port)) GTEST_SKIP() << "no fake call manager";
    SetCertificateDialogHandler(AcceptCertificateAsUser);
    SeedSite(L"SEPA;SEP00000000A001;");
    CreatePage();
    Type(IDC_SERVER_ADDRESS, server);
    Type(IDC_SERVER_PORT, std::to_wstring(port));
    Type(IDC_CUCM_USERNAME, L"three-phones");
    Type(IDC_CUCM_PASSWORD, L"cm-secret");

    Click(IDC_REFRESH);

    ASSERT_EQ(boxes_.boxes().size(), 1u) << "the confirmation only";
    // The table's order; the node item is no phone. SEPA is gone, and SEP00000000A001 was
    // not ticked before the download.
    EXPECT_EQ(ColumnTexts(list_, 3),
              (std::vector<std::wstring>{L"SEP00000000A001", L"SEP00000000A002", L"SEP00000000A003"}));
    EXPECT_EQ(ColumnTexts(list_, 1), (std::vector<std::wstring>{L"Lobby", L"Front &amp; back office", L"Loading dock"}));
    EXPECT_EQ(Ticks(), (std::vector<bool>{false, false, false}));
    EXPECT_EQ(ReadFileBytes(dataFile_),
              "4001\tLobby\t127.0.41.1\tSEP00000000A001\r\n"
              "4002\tFront &amp; back office\t127.0.41.2\tSEP00000000A002\r\n"
              "4003\tLoading dock\t127.0.41.3\tSEP00000000A003\r\n");
    EXPECT_EQ(Text(IDC_STATUS_LINE), L"Update of " + dataFile_ + L" successful with data for 3 phones.");
}

// A connection dropped halfway and a proxy's page in place of the call manager's answer both
// come with status 200: neither is a download.
TEST_F(PhoneListLiveTest, AnAnswerCutShortOrNotFromRisPortIsAFailedDownloadThatKeepsListStatusAndFile) {
    std::wstring server;
    DWORD port = 0;
    if (!FakeCucmAddress("QAX_CUCM_SERVER", "QAX_CUCM_PORT", &server, &port)) GTEST_SKIP() << "no fake call manager";
    SetCertificateDialogHandler(AcceptCertificateAsUser);
    SeedSite();
    CreatePage();
    Type(IDC_SERVER_ADDRESS, server);
    Type(IDC_SERVER_PORT, std::to_wstring(port));
    Type(IDC_CUCM_PASSWORD, L"cm-secret");
    const std::wstring status = Text(IDC_STATUS_LINE);
    const std::map<std::wstring, std::wstring> reasons = {
        {L"cut-short", L"The answer of the CUCM server ended before it was complete."},
        {L"proxy-page", L"The answer of the CUCM server is not a list of IP telephones (RisPort SelectCmDevice)."}};

    for (const auto& user : reasons) {
        Type(IDC_CUCM_USERNAME, user.first);
        const size_t before = boxes_.boxes().size();

        Click(IDC_REFRESH);

        ASSERT_EQ(boxes_.boxes().size(), before + 2) << "the confirmation and the failure";
        const RecordedBox& failure = boxes_.boxes().back();
        EXPECT_EQ(failure.text, user.second + L"  The phone list and the data file were not changed.");
        EXPECT_EQ(failure.caption, L"CUCM Error");
        EXPECT_EQ(failure.flags, static_cast<UINT>(MB_ICONERROR));
        EXPECT_EQ(ColumnTexts(list_, 3), (std::vector<std::wstring>{L"SEPDUP", L"SEPDUP", L"SEPB", L"SEPA"}));
        EXPECT_EQ(Ticks(), (std::vector<bool>{true, false, true, false}));
        EXPECT_EQ(Text(IDC_STATUS_LINE), status);
        EXPECT_EQ(ReadFileBytes(dataFile_), kFileLines);
    }
}

}  // namespace
