// The phone data file as the IP Phone List page and the Zones page meet it: writing the
// list, reading it back, and the status line.
#include <gtest/gtest.h>

#include <ctime>
#include <cwchar>

#include "manager/data_file.h"
#include "manager/phone_list_page.h"
#include "manager/resource.h"
#include "phone_test_support.h"

namespace {

using namespace guitest;
using namespace phonetest;

INT_PTR CALLBACK BarePageProc(HWND, UINT, WPARAM, LPARAM) { return FALSE; }

// The page's template with its list set up, but without the page's own start-up (registry).
class DataFileTest : public ::testing::Test {
protected:
    void SetUp() override {
        page_ = CreatePageFromTemplate(IDD_PHONE_LIST, sheet_.window(), BarePageProc);
        ASSERT_NE(page_, nullptr);
        list_ = GetDlgItem(page_, IDC_PHONE_LIST);
        InitPhoneListColumns(list_);
        path_ = scratch_.file(L"CUCMdata.dat");
        std::wcsncpy(g_dataFilePath, path_.c_str(), kPathUnits - 1);
    }
    void TearDown() override {
        DestroyWindow(page_);
        g_dataFilePath[0] = 0;
    }

    std::wstring Status() const { return WindowText(GetDlgItem(page_, IDC_STATUS_LINE)); }

    SheetStandIn sheet_;
    ScratchDirectory scratch_;
    HWND page_ = nullptr;
    HWND list_ = nullptr;
    std::wstring path_;
};

TEST_F(DataFileTest, ReadingShowsTheLinesInReverseOrderAndSavingKeepsThatOrder) {
    WriteFileBytes(path_,
                   "1001\tLobby\t10.0.0.1\tSEPA\r\n"
                   "1002\tDesk\t10.0.0.2\tSEPB\r\n"
                   "1003\tDock\t10.0.0.3\tSEPC\r\n");
    AppendRow(list_, {L"old", L"row", L"", L"SEPOLD"});

    CUCMreadFileToPage(page_, path_.c_str());

    EXPECT_EQ(ColumnTexts(list_, 3), (std::vector<std::wstring>{L"SEPC", L"SEPB", L"SEPA"}));
    EXPECT_EQ(ColumnTexts(list_, 0), (std::vector<std::wstring>{L"1003", L"1002", L"1001"}));
    EXPECT_EQ(ColumnTexts(list_, 1), (std::vector<std::wstring>{L"Dock", L"Desk", L"Lobby"}));
    EXPECT_EQ(ColumnTexts(list_, 2), (std::vector<std::wstring>{L"10.0.0.3", L"10.0.0.2", L"10.0.0.1"}));
    for (int row = 0; row < 3; ++row) {
        EXPECT_FALSE(IsTicked(list_, row));
        EXPECT_EQ(ListView_GetItemState(list_, row, LVIS_STATEIMAGEMASK), INDEXTOSTATEIMAGEMASK(1));
    }

    ListView_SetCheckState(list_, 1, TRUE);  // ticks are not stored
    CUCMwriteFile(page_, path_.c_str());
    EXPECT_EQ(ReadFileBytes(path_),
              "1003\tDock\t10.0.0.3\tSEPC\r\n"
              "1002\tDesk\t10.0.0.2\tSEPB\r\n"
              "1001\tLobby\t10.0.0.1\tSEPA\r\n");
}

TEST_F(DataFileTest, LinesWithEmptyMissingOrExtraFieldsKeepEveryFieldInItsColumn) {
    WriteFileBytes(path_,
                   "\tNo number\t10.0.0.4\tSEPD\r\n"
                   "\t\t\t\r\n"
                   "2001\tShort\n"
                   "3001\tA\t10.0.0.5\tSEPE\textra\r\n"
                   "4001\tLast\t10.0.0.6\tSEPF");

    CUCMreadFileToPage(page_, path_.c_str());

    ASSERT_EQ(ListView_GetItemCount(list_), 5);
    const std::vector<std::vector<std::wstring>> expected = {
        {L"4001", L"Last", L"10.0.0.6", L"SEPF"},
        {L"3001", L"A", L"10.0.0.5", L"SEPE"},
        {L"2001", L"Short", L"", L""},
        {L"", L"", L"", L""},
        {L"", L"No number", L"10.0.0.4", L"SEPD"}};
    for (int row = 0; row < 5; ++row) {
        for (int column = 0; column < 4; ++column) {
            EXPECT_EQ(ItemText(list_, row, column), expected[row][column]) << "row " << row << " column " << column;
        }
    }
}

TEST_F(DataFileTest, TheRestOfALineLongerThanTheLineBufferIsPassedOver) {
    const std::string longField(5000, 'x');
    WriteFileBytes(path_, "1\t" + longField + "\tSEPLONG\r\n2\tNext\t10.0.0.2\tSEPB\r\n");

    CUCMreadFileToPage(page_, path_.c_str());

    // The first 4,095 characters make the row; the rest is no phone of its own.
    ASSERT_EQ(ListView_GetItemCount(list_), 2);
    EXPECT_EQ(ColumnTexts(list_, 3), (std::vector<std::wstring>{L"SEPB", L""}));
    EXPECT_EQ(ItemText(list_, 1, 0), L"1");
    EXPECT_EQ(ItemText(list_, 1, 1), std::wstring(4093, L'x'));

    CUCMwriteFile(page_, path_.c_str());
    EXPECT_EQ(ReadFileBytes(path_), "2\tNext\t10.0.0.2\tSEPB\r\n1\t" + std::string(255, 'x') + "\t\t\r\n");
}

TEST_F(DataFileTest, ColumnTextsAreWrittenUpToTheirFirstNonPrintableCharacterAndAtMost255) {
    AppendRow(list_, {L"100\t1", L"Front\rdesk", L"10.0.0.7\n", L"SEP7"});
    AppendRow(list_, {std::wstring(300, L'd'), L"caf\u00e9", L"", L"SEP8"});
    AppendRow(list_, {L"", L"", L"", L"NameOnly"});

    CUCMwriteFile(page_, path_.c_str());

    EXPECT_EQ(ReadFileBytes(path_), "100\tFront\t10.0.0.7\tSEP7\r\n" + std::string(255, 'd') +
                                        "\tcaf\xe9\t\tSEP8\r\n"
                                        "\t\t\tNameOnly\r\n");
}

TEST_F(DataFileTest, StatusLineTellsWhatHappenedToTheFile) {
    AppendRow(list_, {L"1", L"a", L"10.0.0.1", L"SEP1"});
    AppendRow(list_, {L"2", L"b", L"10.0.0.2", L"SEP2"});
    CUCMwriteFile(page_, path_.c_str());
    EXPECT_EQ(Status(), L"Update of " + path_ + L" successful with data for 2 phones.");

    ListView_DeleteAllItems(list_);
    CUCMwriteFile(page_, path_.c_str());
    EXPECT_EQ(Status(), L"Update of " + path_ + L" successful with data for 0 phones.");
    EXPECT_TRUE(FileExists(path_));
    EXPECT_EQ(ReadFileBytes(path_), "");

    const std::wstring unwritable = scratch_.file(L"missing-directory\\CUCMdata.dat");
    CUCMwriteFile(page_, unwritable.c_str());
    EXPECT_EQ(Status(), L"Could not write data file " + unwritable);
    EXPECT_FALSE(FileExists(unwritable));

    AppendRow(list_, {L"9", L"kept", L"", L"SEP9"});
    const std::wstring missing = scratch_.file(L"absent.dat");
    CUCMreadFileToPage(page_, missing.c_str());
    EXPECT_EQ(Status(), L"Could not open data file " + missing +
                            L"\r\nPlease enter credentials and click the \"Refresh\" button to repopulate the data file.");
    EXPECT_EQ(ColumnTexts(list_, 3), std::vector<std::wstring>{L"SEP9"});
}

TEST_F(DataFileTest, StatusLineShowsTheLastWriteTimeInLocalTime) {
    WriteFileBytes(path_, "1\ta\t10.0.0.1\tSEP1\r\n");
    // 7 March 2026 around 14:05 UTC, set as the file's last write.
    const __time64_t when = 1772892300;
    const ULONGLONG ticks = static_cast<ULONGLONG>(when) * 10000000ULL + 116444736000000000ULL;
    FILETIME lastWrite = {static_cast<DWORD>(ticks), static_cast<DWORD>(ticks >> 32)};
    HANDLE file = CreateFileW(path_.c_str(), FILE_WRITE_ATTRIBUTES, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(file, INVALID_HANDLE_VALUE);
    ASSERT_TRUE(SetFileTime(file, nullptr, nullptr, &lastWrite));
    CloseHandle(file);

    struct tm local = {};
    ASSERT_EQ(_localtime64_s(&local, &when), 0);
    wchar_t expected[600];
    std::swprintf(expected, 600, L"Using data file %ls (last updated: %02d/%02d/%d  %02d:%02d)", path_.c_str(),
                  local.tm_mon + 1, local.tm_mday, local.tm_year + 1900, local.tm_hour, local.tm_min);

    CUCMreadFileToPage(page_, path_.c_str());
    EXPECT_EQ(Status(), expected);

    SetDlgItemTextW(page_, IDC_STATUS_LINE, L"before");
    EXPECT_EQ(ShowDataFileStatus(page_), 1);
    EXPECT_EQ(Status(), expected);

    // Without the file the status keeps its text.
    DeleteFileW(path_.c_str());
    SetDlgItemTextW(page_, IDC_STATUS_LINE, L"before");
    EXPECT_EQ(ShowDataFileStatus(page_), 0);
    EXPECT_EQ(Status(), L"before");
}

TEST_F(DataFileTest, EnvironmentVariablesInThePathAreExpanded) {
    SetEnvironmentVariableW(L"QAX_PHONE_TEST_DIR", scratch_.path().c_str());
    const wchar_t* stored = L"%QAX_PHONE_TEST_DIR%\\expanded.dat";
    std::wcsncpy(g_dataFilePath, stored, kPathUnits - 1);
    AppendRow(list_, {L"1", L"a", L"10.0.0.1", L"SEP1"});

    CUCMwriteFile(page_, stored);
    const std::wstring real = scratch_.file(L"expanded.dat");
    EXPECT_EQ(ReadFileBytes(real), "1\ta\t10.0.0.1\tSEP1\r\n");
    EXPECT_EQ(Status(), L"Update of " + real + L" successful with data for 1 phones.");

    CUCMreadFileToPage(page_, stored);
    EXPECT_EQ(Status().rfind(L"Using data file " + real + L" (last updated: ", 0), 0u) << Status();
    SetEnvironmentVariableW(L"QAX_PHONE_TEST_DIR", nullptr);
}

TEST_F(DataFileTest, ReadingIntoAnotherListShowsNoStatusAndKeepsRowsWhenTheFileIsMissing) {
    HWND other = CreateWindowExW(0, WC_LISTVIEWW, L"", WS_CHILD | LVS_REPORT | LVS_SORTASCENDING, 0, 0, 300, 300,
                                 page_, nullptr, GetModuleHandleW(nullptr), nullptr);
    ASSERT_NE(other, nullptr);
    InitPhoneListColumns(other);
    SetDlgItemTextW(page_, IDC_STATUS_LINE, L"untouched");
    AppendRow(other, {L"1", L"kept", L"", L"SEPKEEP"});

    CUCMreadFileToList(other, scratch_.file(L"absent.dat").c_str());
    EXPECT_EQ(ColumnTexts(other, 3), std::vector<std::wstring>{L"SEPKEEP"});

    WriteFileBytes(path_, "3\tc\t10.0.0.3\tSEPC\r\n1\ta\t10.0.0.1\tSEPA\r\n2\tb\t10.0.0.2\tSEPB\r\n");
    CUCMreadFileToList(other, path_.c_str());
    // A sorted list puts each row in its sort place (by column 0).
    EXPECT_EQ(ColumnTexts(other, 3), (std::vector<std::wstring>{L"SEPA", L"SEPB", L"SEPC"}));
    EXPECT_EQ(Status(), L"untouched");
}

}  // namespace
