#include "service/zone_targets.h"

#include <gtest/gtest.h>

#include <memory>

#include "common/text.h"
#include "service/settings.h"
#include "tests/unit/phone_targets_support.h"

namespace {

std::unique_ptr<ZoneRecord> Zone(const wchar_t* name, const wchar_t* members) {
    std::unique_ptr<ZoneRecord> zone(new ZoneRecord());
    CopyBounded(zone->name, 256, name);
    CopyBounded(zone->members, kZoneMembersUnits, members);
    return zone;
}

}  // namespace

TEST(ZoneTargets, MembersInListOrderWithTheRequesterMarked) {
    TargetList targets{{"10.0.0.12", L"SEP00AABBCCDDEE"}, {"10.0.0.1", L"SEP001122334455"},
                       {"10.0.0.30", L"SEP0000000000FF"}};
    auto lobby = Zone(L"Lobby", L"SEP001122334455;SEP00AABBCCDDEE");

    std::vector<ZoneTarget> found = FindZoneTargets(*lobby, "10.0.0.1");
    ASSERT_EQ(found.size(), 2u);
    EXPECT_EQ(found[0].client, 0);
    EXPECT_FALSE(found[0].isRequester);  // 10.0.0.12 only begins like the requester's address
    EXPECT_EQ(found[1].client, 1);
    EXPECT_TRUE(found[1].isRequester);

    // A requester outside the zone's phones makes every member a receiver.
    found = FindZoneTargets(*lobby, "10.0.0.30");
    ASSERT_EQ(found.size(), 2u);
    EXPECT_FALSE(found[0].isRequester || found[1].isRequester);
}

TEST(ZoneTargets, OnlyWholeMemberNamesBelong) {
    auto zone = Zone(L"Dock", L"SEP001122334455;;SEP00AABBCCDDEE;");
    EXPECT_TRUE(IsZoneMember(*zone, L"SEP001122334455"));
    EXPECT_TRUE(IsZoneMember(*zone, L"SEP00AABBCCDDEE"));
    EXPECT_FALSE(IsZoneMember(*zone, L"SEP0011"));
    EXPECT_FALSE(IsZoneMember(*zone, L"EP001122334455"));
    EXPECT_FALSE(IsZoneMember(*zone, L"sep001122334455"));
    EXPECT_FALSE(IsZoneMember(*zone, L""));
    EXPECT_FALSE(IsZoneMember(*Zone(L"Empty", L""), L"SEP001122334455"));
}

TEST(ZoneTargets, ZoneWithoutTargetsGivesNone) {
    TargetList targets{{"10.0.0.12", L"SEP00AABBCCDDEE"}};
    EXPECT_TRUE(FindZoneTargets(*Zone(L"Yard", L"SEP0000000000AA"), "10.0.0.1").empty());
}
