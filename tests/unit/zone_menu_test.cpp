#include "service/zone_menu.h"

#include <gtest/gtest.h>

#include "zone_test_support.h"

namespace {

constexpr char kHead[] =
    "<CiscoIPPhoneMenu>\n<Title>EMERGENCY ALERT BROADCAST</Title>\n<Prompt>Select a zone from the menu.</Prompt>\n";
constexpr char kTail[] = "</CiscoIPPhoneMenu>\n";

size_t CountOf(const std::string& text, const std::string& part) {
    size_t count = 0;
    for (size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1)) ++count;
    return count;
}

TEST(ZoneMenu, PlainNamesOnPort80GiveTheExactMenu) {
    ZoneTable zones;
    zones.Add(L"Lobby");
    zones.Add(L"Dock 2");
    std::string menu = BuildZoneMenu(zones.Records(), zones.Count(), L"10.1.1.5", 80);
    EXPECT_EQ(menu,
              "<CiscoIPPhoneMenu>\n<Title>EMERGENCY ALERT BROADCAST</Title>\n<Prompt>Select a zone from the menu.</Prompt>\n"
              "<MenuItem>\n<Name>Lobby</Name>\n"
              "<URL>http://10.1.1.5/qax.xml?action=broadcast_start&amp;zone=Lobby</URL>\n</MenuItem>\n"
              "<MenuItem>\n<Name>Dock 2</Name>\n"
              "<URL>http://10.1.1.5/qax.xml?action=broadcast_start&amp;zone=Dock 2</URL>\n</MenuItem>\n"
              "</CiscoIPPhoneMenu>\n");
}

TEST(ZoneMenu, ByteCountsOfHeadItemsAndTail) {
    EXPECT_EQ(sizeof(kHead) - 1, 106u);
    EXPECT_EQ(sizeof(kTail) - 1, 20u);
    EXPECT_EQ(BuildZoneMenu(nullptr, 0, L"10.1.1.5", 80), std::string(kHead) + kTail);

    const std::wstring address = L"127.0.20.1";
    for (size_t n : {1u, 5u, 200u, 255u}) {
        ZoneTable zones;
        zones.Add(std::wstring(n, L'z'));
        std::string menu = BuildZoneMenu(zones.Records(), 1, address.c_str(), 80);
        EXPECT_EQ(menu.size(), 106 + (97 + 2 * n + address.size()) + 20) << "name of " << n << " characters";
    }
}

TEST(ZoneMenu, MarkupCharactersInNamesAreEscapedEverywhere) {
    ZoneTable zones;
    zones.Add(L"R&D <East> \"A\" 'B'");
    std::string menu = BuildZoneMenu(zones.Records(), 1, L"10.1.1.5", 80);
    const std::string escaped = "R&amp;D &lt;East&gt; &quot;A&quot; &apos;B&apos;";
    EXPECT_NE(menu.find("<Name>" + escaped + "</Name>"), std::string::npos) << menu;
    EXPECT_NE(menu.find("&amp;zone=" + escaped + "</URL>"), std::string::npos) << menu;
    EXPECT_EQ(menu.find("R&D"), std::string::npos);
}

TEST(ZoneMenu, CharactersAboveLatin1BecomeQuestionMarks) {
    ZoneTable zones;
    zones.Add(L"Caf\u00e9 \u20ac");
    std::string menu = BuildZoneMenu(zones.Records(), 1, L"10.1.1.5", 80);
    EXPECT_NE(menu.find("<Name>Caf&#233; ?</Name>"), std::string::npos) << menu;
}

TEST(ZoneMenu, UrlsNameTheBoundPortUnlessItIs80) {
    ZoneTable zones;
    zones.Add(L"Lobby");
    EXPECT_NE(BuildZoneMenu(zones.Records(), 1, L"10.1.1.5", 8080).find("<URL>http://10.1.1.5:8080/qax.xml?"),
              std::string::npos);
    // A port above 65535 is bound as its low 16 bits: 65616 listens on 80.
    EXPECT_NE(BuildZoneMenu(zones.Records(), 1, L"10.1.1.5", 65616).find("<URL>http://10.1.1.5/qax.xml?"),
              std::string::npos);
    EXPECT_NE(BuildZoneMenu(zones.Records(), 1, L"10.1.1.5", 65617).find("<URL>http://10.1.1.5:81/qax.xml?"),
              std::string::npos);
}

TEST(ZoneMenu, ALongMenuEndsAfterTheLastWholeItemThatFits) {
    ZoneTable zones;
    for (int i = 0; i < 200; ++i) {
        std::wstring name = std::to_wstring(1000 + i) + std::wstring(251, L'z');
        zones.Add(name);
    }
    const std::wstring address = L"127.0.20.1";
    std::string menu = BuildZoneMenu(zones.Records(), zones.Count(), address.c_str(), 80);

    const size_t item = 97 + 2 * 255 + address.size();
    const size_t fitting = (kMaxMenuBytes - 126) / item;  // 106 items of 617 bytes
    EXPECT_EQ(menu.size(), 126 + fitting * item);
    EXPECT_LE(menu.size(), kMaxMenuBytes);
    EXPECT_GT(menu.size() + item, kMaxMenuBytes) << "one more item would have fitted";
    EXPECT_EQ(CountOf(menu, "<MenuItem>"), fitting);
    EXPECT_EQ(CountOf(menu, "</MenuItem>"), fitting);
    EXPECT_EQ(menu.substr(0, 106), kHead);
    EXPECT_EQ(menu.substr(menu.size() - 20), kTail);
    // The items kept are the first ones, in table order.
    EXPECT_NE(menu.find("<Name>" + std::to_string(1000 + fitting - 1)), std::string::npos);
    EXPECT_EQ(menu.find("<Name>" + std::to_string(1000 + fitting)), std::string::npos);
}

TEST(ZoneMenu, AnItemWithoutRoomForTheClosingTagAfterItIsLeftOut) {
    // Items of 579 bytes: after 112 of them 581 bytes are left below the bound, room for a
    // 113th item but not for it and the closing tag together.
    ZoneTable zones;
    for (int i = 0; i < 120; ++i) zones.Add(std::to_wstring(1000 + i) + std::wstring(232, L'y'));
    const std::wstring address = L"127.0.20.1";
    const size_t item = 97 + 2 * 236 + address.size();
    ASSERT_EQ(item, 579u);
    ASSERT_LE(106 + 113 * item, kMaxMenuBytes);
    ASSERT_GT(106 + 113 * item + 20, kMaxMenuBytes);

    std::string menu = BuildZoneMenu(zones.Records(), zones.Count(), address.c_str(), 80);
    EXPECT_EQ(CountOf(menu, "<MenuItem>"), 112u);
    EXPECT_EQ(menu.size(), 106 + 112 * item + 20);
    EXPECT_EQ(menu.substr(menu.size() - 20), kTail);
    EXPECT_EQ(menu.find("<Name>1112"), std::string::npos);
}

TEST(ZoneMenu, EscapedNamesCountTowardsTheBound) {
    ZoneTable zones;
    for (int i = 0; i < 40; ++i) zones.Add(std::wstring(255, L'&'));
    std::string menu = BuildZoneMenu(zones.Records(), zones.Count(), L"127.0.20.1", 80);
    const size_t item = 97 + 2 * 255 * 5 + 10;
    EXPECT_EQ(menu.size(), 126 + ((kMaxMenuBytes - 126) / item) * item);
    EXPECT_EQ(menu.substr(menu.size() - 20), kTail);
}

}  // namespace
