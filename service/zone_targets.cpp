#include "service/zone_targets.h"

#include <cstring>
#include <cwchar>

#include "service/settings.h"

bool IsZoneMember(const ZoneRecord& zone, const wchar_t* deviceName) {
    const size_t nameLength = wcsnlen(deviceName, 16);
    if (nameLength == 0) return false;
    const wchar_t* members = zone.members;
    const size_t membersLength = wcsnlen(members, kZoneMembersUnits);
    size_t begin = 0;
    while (begin < membersLength) {
        size_t end = begin;
        while (end < membersLength && members[end] != L';') ++end;
        if (end - begin == nameLength && wmemcmp(members + begin, deviceName, nameLength) == 0) return true;
        begin = end + 1;
    }
    return false;
}

std::vector<ZoneTarget> FindZoneTargets(const ZoneRecord& zone, const char* requesterIP) {
    std::vector<ZoneTarget> targets;
    for (int i = 0; i < g_phoneClientCount; ++i) {
        const PhoneClient& client = g_phoneClients[i];
        if (!IsZoneMember(zone, client.deviceName)) continue;
        targets.push_back({i, strncmp(client.ip, requesterIP, sizeof client.ip) == 0});
    }
    return targets;
}
