// Phone target lists built by hand, in place of the one the service resolves at start-up.
#pragma once

#include <initializer_list>
#include <memory>
#include <utility>

#include "common/text.h"
#include "service/settings.h"

// Installs a target list (address, device name) for as long as it lives.
class TargetList {
public:
    TargetList(std::initializer_list<std::pair<const char*, const wchar_t*>> targets)
        : savedClients_(g_phoneClients), savedCount_(g_phoneClientCount) {
        clients_.reset(new PhoneClient[targets.size() + 1]());
        int n = 0;
        for (const auto& [ip, name] : targets) {
            CopyBounded(clients_[n].ip, sizeof clients_[n].ip, ip);
            CopyBounded(clients_[n].deviceName, 16, name);
            ++n;
        }
        g_phoneClients = clients_.get();
        g_phoneClientCount = n;
    }
    ~TargetList() {
        g_phoneClients = savedClients_;
        g_phoneClientCount = savedCount_;
    }
    TargetList(const TargetList&) = delete;
    TargetList& operator=(const TargetList&) = delete;

private:
    std::unique_ptr<PhoneClient[]> clients_;
    PhoneClient* savedClients_;
    int savedCount_;
};
