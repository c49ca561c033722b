// The cut at the first non-printable character, which keeps separators out of data-file
// fields and selection items.
#include <gtest/gtest.h>

#include "service/config_store.h"

TEST(TruncateAtNonPrintable, CutsAtTabLineEndsAndEveryOtherControlCharacter) {
    EXPECT_EQ(TruncateAtNonPrintable(L"100\t1"), L"100");
    EXPECT_EQ(TruncateAtNonPrintable(L"Front\rdesk"), L"Front");
    EXPECT_EQ(TruncateAtNonPrintable(L"SEP1\n"), L"SEP1");
    EXPECT_EQ(TruncateAtNonPrintable(std::wstring(L"a\x1f" L"b")), L"a");
    EXPECT_EQ(TruncateAtNonPrintable(L"Caf\u00e9 lobby (2nd)"), L"Caf\u00e9 lobby (2nd)");

    wchar_t fixed[16] = L"SEP\tTAIL";
    TruncateAtNonPrintable(fixed, 16);
    EXPECT_STREQ(fixed, L"SEP");
    wchar_t full[4] = {L'a', L'b', L'c', L'd'};  // unterminated: cut to the capacity
    TruncateAtNonPrintable(full, 4);
    EXPECT_STREQ(full, L"abc");
}
