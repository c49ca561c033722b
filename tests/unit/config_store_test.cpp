#include "service/config_store.h"

#include <gtest/gtest.h>

TEST(CredentialScrambling, RoundTripKeepsEveryCharacter) {
    const std::wstring text = L"p\u00e4ss w\u20acrd;\\\"";
    std::vector<BYTE> stored = ScrambleCredential(text);
    ASSERT_EQ(stored.size(), text.size() * 2 + 2);
    EXPECT_EQ(stored[0], static_cast<BYTE>('p' ^ 0x37));
    EXPECT_EQ(stored[1], static_cast<BYTE>(0x37));
    EXPECT_EQ(stored[stored.size() - 1], 0);
    EXPECT_EQ(UnscrambleStoredCredential(stored), text);
}
