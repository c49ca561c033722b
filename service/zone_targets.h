// Which phone targets take part in a zone's broadcast: those whose device name is one of the
// zone's members, in target-list order.
#pragma once

#include <vector>

#include "common/config_store.h"

// True when deviceName equals one whole name of the ";"-separated members text.
bool IsZoneMember(const ZoneRecord& zone, const wchar_t* deviceName);

struct ZoneTarget {
    int client;         // index in g_phoneClients
    bool isRequester;   // the phone that asked, which has its own initiator's job
};

// The targets of g_phoneClients that are members of the zone, in list order.
std::vector<ZoneTarget> FindZoneTargets(const ZoneRecord& zone, const char* requesterIP);
