// Zone tables built by hand, in place of the ones the service reads from the registry.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "common/text.h"
#include "common/config_store.h"

class ZoneTable {
public:
    void Add(const std::wstring& name, const std::wstring& members = L"") {
        auto zone = std::make_unique<ZoneRecord>();
        *zone = ZoneRecord{};
        CopyBounded(zone->name, 256, name.c_str());
        zone->nameLength = static_cast<DWORD>(wcslen(zone->name));
        CopyBounded(zone->members, kZoneMembersUnits, members.c_str());
        zones_.push_back(std::move(zone));
    }
    // The records side by side, as g_zoneTable holds them.
    ZoneRecord* Records() {
        records_.reset(new ZoneRecord[zones_.size() + 1]);
        for (size_t i = 0; i < zones_.size(); ++i) records_[i] = *zones_[i];
        return records_.get();
    }
    int Count() const { return static_cast<int>(zones_.size()); }

private:
    std::vector<std::unique_ptr<ZoneRecord>> zones_;
    std::unique_ptr<ZoneRecord[]> records_;
};
