#include "manager/settings_key.h"

#include <cstdlib>

#include "common/config_store.h"

LONG OpenSettingsKey(HKEY* key) {
    *key = nullptr;
    LONG status = RegOpenKeyExW(HKEY_LOCAL_MACHINE, kSettingsKeyPath, 0, KEY_ALL_ACCESS, key);
    if (status != ERROR_SUCCESS) *key = nullptr;
    return status;
}

UniqueRegKey OpenSettingsKeyOrExit() {
    UniqueRegKey key;
    if (OpenSettingsKey(key.put()) != ERROR_SUCCESS) {
        ShowKeyOpenErrorBox();
        ExitManager();
    }
    return key;
}

void ExitManager() {
    std::exit(-1);
}
