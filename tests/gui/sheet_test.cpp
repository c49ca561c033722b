// The sheet as the administrator meets it: its caption, its four tabs, every page created at
// start, and what OK, Apply and Cancel write.
#include <windows.h>
#include <commctrl.h>

#include <gtest/gtest.h>

#include "manager/resource.h"
#include "manager/sheet.h"
#include "common/config_store.h"
#include "sheet_harness.h"

namespace {

std::wstring TabTitle(HWND sheet, int index) {
    HWND tabs = reinterpret_cast<HWND>(SendMessageW(sheet, PSM_GETTABCONTROL, 0, 0));
    wchar_t title[64] = {};
    TCITEMW item{};
    item.mask = TCIF_TEXT;
    item.pszText = title;
    item.cchTextMax = 64;
    SendMessageW(tabs, TCM_GETITEMW, index, reinterpret_cast<LPARAM>(&item));
    return title;
}

class SheetTest : public ::testing::Test {
protected:
    void SetUp() override {
        SeedSettings(site_, guitest::SiteCredentials());
        WriteFileBytes(site_.at(kValueDataFile), "");  // a site without phones yet
        ClearBoxes();
    }
    void TearDown() override {
        RemoveSettingsKey();
        DeleteFileW(site_.at(kValueDataFile).c_str());
    }

    const std::map<std::wstring, std::wstring> site_ = guitest::SiteTexts(TestDirectory() + L"\\sheet_phones.dat");
};

TEST_F(SheetTest, OpensOnSettingsWithItsCaptionAndFourTabsInOrder) {
    SheetHarness harness;
    ASSERT_NE(nullptr, harness.sheet());
    wchar_t caption[128] = {};
    GetWindowTextW(harness.sheet(), caption, 128);
    EXPECT_STREQ(L"Dravik Software - Halvenor (QAX) - Configuration", caption);

    HWND tabs = reinterpret_cast<HWND>(SendMessageW(harness.sheet(), PSM_GETTABCONTROL, 0, 0));
    ASSERT_EQ(4, SendMessageW(tabs, TCM_GETITEMCOUNT, 0, 0));
    EXPECT_EQ(L"Settings", TabTitle(harness.sheet(), 0));
    EXPECT_EQ(L"IP Phone List", TabTitle(harness.sheet(), 1));
    EXPECT_EQ(L"Zones", TabTitle(harness.sheet(), 2));
    EXPECT_EQ(L"About", TabTitle(harness.sheet(), 3));

    // Every page exists before the user can press OK or Apply; the first one is shown.
    for (int i = 0; i < 4; ++i) EXPECT_NE(nullptr, harness.page(i)) << "page " << i;
    EXPECT_EQ(harness.page(0), reinterpret_cast<HWND>(SendMessageW(harness.sheet(), PSM_GETCURRENTPAGEHWND, 0, 0)));
    EXPECT_EQ(0, SendMessageW(tabs, TCM_GETCURSEL, 0, 0));
    EXPECT_TRUE(RecordedBoxes().empty());
    EXPECT_FALSE(harness.ApplyEnabled());
}

TEST_F(SheetTest, ApplyRightAfterOpeningWritesEveryValueOfBothPages) {
    SheetHarness harness;
    // Whatever the registry holds now, Apply stores what the pages show.
    RemoveSettingsKey();
    SeedSettings({});
    harness.Apply();

    auto stored = ReadAllSettings();
    for (const auto& value : site_) {
        if (value.first == kValueDataFile) continue;  // the manager reads it, never writes it
        ASSERT_EQ(1u, stored.count(value.first)) << std::string(value.first.begin(), value.first.end());
        EXPECT_EQ(Stored(value.second), stored[value.first].data);
        EXPECT_EQ(static_cast<DWORD>(REG_SZ), stored[value.first].type);
    }
    for (const auto& value : guitest::SiteCredentials()) {
        ASSERT_EQ(1u, stored.count(value.first));
        EXPECT_EQ(value.second, stored[value.first].data);
    }
    EXPECT_TRUE(RecordedBoxes().empty());
}

TEST_F(SheetTest, CancelWritesNothing) {
    SheetHarness harness;
    harness.Type(0, IDC_ALERT_TEXT, L"Changed but cancelled");
    harness.Type(0, IDC_HTTP_SERVER_PORT, L"81");
    auto before = ReadAllSettings();
    harness.Cancel();
    EXPECT_TRUE(harness.Closed());
    EXPECT_EQ(before, ReadAllSettings());
}

TEST_F(SheetTest, OkSavesAndClosesTheSheet) {
    SheetHarness harness;
    harness.Type(0, IDC_ALERT_TEXT, L"Evacuate now");
    harness.Ok();
    EXPECT_TRUE(harness.Closed());
    EXPECT_EQ(Stored(L"Evacuate now"), ReadAllSettings()[kValueMessageText].data);
}

TEST_F(SheetTest, ShowPasswordLeavesApplyDisabledWhileTypingEnablesIt) {
    SheetHarness harness;
    ASSERT_FALSE(harness.ApplyEnabled());
    harness.Click(0, IDC_SHOW_PASSWORD);
    harness.Click(0, IDC_SHOW_PASSWORD);
    EXPECT_FALSE(harness.ApplyEnabled());
    harness.Type(0, IDC_MULTICAST_USERNAME, L"pager2");
    EXPECT_TRUE(harness.ApplyEnabled());
}

TEST_F(SheetTest, MissingSettingsKeyShowsBothBoxesInOrderAndEndsWithMinusOne) {
    RemoveSettingsKey();
    EXPECT_EXIT(
        {
            RecordMessageBoxes();
            ShowConfigurationSheet(nullptr);
        },
        ::testing::ExitedWithCode(-1),
        "^BOX\\[Dravik Software\\|Error reading program settings from the registry.\\\\r\\\\n\\\\r\\\\n"
        "The program will now exit.\\|0x200010\\|desktop\n"
        "BOX\\[Dravik QAX\\|Error reading configuration from the registry.\\|0x10\\|none\n$");
}

}  // namespace
