#include "manager/zone_store.h"

#include <commctrl.h>

#include <cwchar>
#include <memory>
#include <new>
#include <string>
#include <vector>

#include "common/message_box.h"
#include "common/text.h"
#include "common/unique_handle.h"
#include "manager/resource.h"
#include "manager/zone_rows.h"

ZoneRecord* g_zoneTable = nullptr;
int g_zoneCount = 0;

namespace {

std::unique_ptr<ZoneRecord[]> g_zoneTableStorage;

// The zone whose members "Assigned" was filled with, by name, and the device names of those
// members as then shown: a Save under that name takes out those moved out since, and no one
// else. Empty name: no zone loaded (a new one being made).
struct LoadedZone {
    std::wstring name;
    std::vector<std::wstring> members;
};
LoadedZone g_loadedZone;

// Texts taken from the page's edit fields and rows.
constexpr size_t kFieldUnits = 1024;
// A column text compared with a member's name: a whole device name and the terminator.
constexpr size_t kCompareUnits = kDeviceNameCharacters + 1;
// Key names: the registry allows 255 characters; subkeys read while deleting get MAX_PATH.
constexpr size_t kKeyNameUnits = 256;
constexpr size_t kSubkeyUnits = MAX_PATH;
constexpr size_t kKeyPathUnits = MAX_PATH * 2;

std::wstring ZoneKeyPath(const wchar_t* zoneName) { return std::wstring(kZonesKeyPath) + L"\\" + zoneName; }

// Opens a key of the zone tree with full access; the key-open box when it cannot. The
// callers then go on without the key, so that the rest of the sheet stays usable.
UniqueRegKey OpenZoneTreeKey(const std::wstring& path) {
    UniqueRegKey key;
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, path.c_str(), 0, KEY_ALL_ACCESS, key.put()) != ERROR_SUCCESS) {
        ShowKeyOpenErrorBox();
        key.reset();
    }
    return key;
}

DWORD SubkeyCount(HKEY key) {
    DWORD count = 0;
    if (RegQueryInfoKeyW(key, nullptr, nullptr, nullptr, &count, nullptr, nullptr, nullptr, nullptr, nullptr,
                         nullptr, nullptr) != ERROR_SUCCESS) {
        return 0;
    }
    return count;
}

// A description longer than the record's 255 characters reads as empty.
void ReadZoneDescription(ZoneRecord* zone) {
    UniqueRegKey key = OpenZoneTreeKey(ZoneKeyPath(zone->name));
    zone->descriptionSize = sizeof(zone->description);
    if (!key || RegQueryValueExW(key.get(), kZoneDescriptionValue, nullptr, nullptr,
                                 reinterpret_cast<BYTE*>(zone->description), &zone->descriptionSize) != ERROR_SUCCESS) {
        zone->description[0] = 0;
        zone->descriptionSize = 0;
    }
    // A value stored without its terminator still ends inside the record.
    zone->description[sizeof zone->description / sizeof zone->description[0] - 1] = 0;
}

// A member key name: the Device Name column cut at its first non-printable character and to
// the length of a device name. Empty names and names with a backslash name no single key
// below the zone; they are passed over.
bool MemberKeyName(HWND list, int row, std::wstring* name) {
    wchar_t text[kFieldUnits];
    GetListItemText(list, row, kFieldName, text, kFieldUnits);
    *name = CutDeviceName(TruncateAtNonPrintable(std::wstring(text)));
    return !name->empty() && name->find(L'\\') == std::wstring::npos;
}

std::vector<std::wstring> MemberKeyNames(HWND list) {
    std::vector<std::wstring> names;
    const int rows = static_cast<int>(SendMessageW(list, LVM_GETITEMCOUNT, 0, 0));
    for (int row = 0; row < rows; ++row) {
        std::wstring name;
        if (MemberKeyName(list, row, &name)) names.push_back(name);
    }
    return names;
}

// Key names compared as the registry compares them: without regard to case.
bool SameKeyName(const std::wstring& first, const std::wstring& second) {
    return CompareStringOrdinal(first.c_str(), static_cast<int>(first.size()), second.c_str(),
                                static_cast<int>(second.size()), TRUE) == CSTR_EQUAL;
}

bool ContainsKeyName(const std::vector<std::wstring>& names, const std::wstring& name) {
    for (const std::wstring& n : names) {
        if (SameKeyName(n, name)) return true;
    }
    return false;
}

// An empty name would store the zone on the Zones key itself, whose subkeys are read as
// zones; a backslash would make nested keys. Both are refused before anything is written.
bool ZoneNameAccepted(HWND page, const wchar_t* name) {
    if (name[0] == 0) {
        ShowMessageBox(page, kZoneNameEmptyText, kZoneSaveErrorCaption, MB_OK | MB_ICONINFORMATION);
        return false;
    }
    if (wcschr(name, L'\\') != nullptr) {
        ShowMessageBox(page, kZoneNameBackslashText, kZoneSaveErrorCaption, MB_OK | MB_ICONINFORMATION);
        return false;
    }
    return true;
}

void StoreZone(HWND page, HKEY zones, const std::wstring& zoneName) {
    UniqueRegKey zone;
    if (RegCreateKeyExW(zones, zoneName.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, zone.put(), nullptr) !=
        ERROR_SUCCESS) {
        return;
    }
    wchar_t description[kFieldUnits] = {};
    GetDlgItemTextW(page, IDC_ZONE_DESCRIPTION, description, static_cast<int>(kFieldUnits));
    WriteStoredText(zone.get(), kZoneDescriptionValue, description);

    const std::vector<std::wstring> assigned = MemberKeyNames(GetDlgItem(page, IDC_ASSIGNED_LIST));
    for (const std::wstring& member : assigned) {
        UniqueRegKey memberKey;
        RegCreateKeyExW(zone.get(), member.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, memberKey.put(), nullptr);
    }
    // Only the zone that "Assigned" was filled with loses members: those shown then and moved
    // to "Unassigned" since. Under any other name the rows say nothing about that zone's
    // members, and members shown in neither list (not in the data file) are always kept.
    if (SameKeyName(zoneName, g_loadedZone.name)) {
        const std::vector<std::wstring> unassigned = MemberKeyNames(GetDlgItem(page, IDC_UNASSIGNED_LIST));
        for (const std::wstring& member : g_loadedZone.members) {
            if (ContainsKeyName(unassigned, member) && !ContainsKeyName(assigned, member)) {
                DeleteKeyTree(zone.get(), member.c_str());
            }
        }
    }
    // What is stored now is what "Assigned" shows: the zone counts as loaded with those rows.
    g_loadedZone.name = zoneName;
    g_loadedZone.members = assigned;
}

}  // namespace

void LoadZoneTable() {
    g_zoneTableStorage.reset();
    g_zoneTable = nullptr;
    g_zoneCount = 0;

    UniqueRegKey zones = OpenZoneTreeKey(kZonesKeyPath);
    if (!zones) return;
    const DWORD count = SubkeyCount(zones.get());
    if (count == 0) return;
    std::unique_ptr<ZoneRecord[]> table(new (std::nothrow) ZoneRecord[count]());
    if (!table) return;

    for (DWORD index = 0; index < count; ++index) {
        ZoneRecord* zone = &table[index];
        zone->nameLength = kKeyNameUnits;
        if (RegEnumKeyExW(zones.get(), index, zone->name, &zone->nameLength, nullptr, nullptr, nullptr, nullptr) !=
            ERROR_SUCCESS) {
            zone->name[0] = 0;
            zone->nameLength = 0;
            continue;
        }
        ReadZoneDescription(zone);
    }
    g_zoneTableStorage = std::move(table);
    g_zoneTable = g_zoneTableStorage.get();
    g_zoneCount = static_cast<int>(count);
}

int LoadZoneMembers(HWND page) {
    HWND assigned = GetDlgItem(page, IDC_ASSIGNED_LIST);
    HWND unassigned = GetDlgItem(page, IDC_UNASSIGNED_LIST);
    wchar_t zoneName[kKeyNameUnits];
    ForgetLoadedZone();
    // With no zone chosen (a new name being typed) there are no members to show; the Zones
    // key itself, whose subkeys are zones, is not read as a zone.
    if (!GetSelectedZoneName(page, zoneName, kKeyNameUnits) || zoneName[0] == 0) {
        SendMessageW(assigned, LVM_DELETEALLITEMS, 0, 0);
        return 1;
    }
    UniqueRegKey zone = OpenZoneTreeKey(ZoneKeyPath(zoneName));
    SendMessageW(assigned, LVM_DELETEALLITEMS, 0, 0);
    g_loadedZone.name = zoneName;
    if (!zone) return 1;

    const DWORD count = SubkeyCount(zone.get());
    for (DWORD index = 0; index < count; ++index) {
        wchar_t member[kKeyNameUnits];
        DWORD length = kKeyNameUnits;
        if (RegEnumKeyExW(zone.get(), index, member, &length, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS) {
            continue;
        }
        // A member whose phone is not in the data file is not shown.
        const int row = FindListItemByText(unassigned, member, kFieldName);
        if (row >= 0 && MovePhoneListRow(unassigned, row, assigned) >= 0) g_loadedZone.members.push_back(member);
    }
    return 1;
}

void ForgetLoadedZone() {
    g_loadedZone.name.clear();
    g_loadedZone.members.clear();
}

int SaveCurrentZone(HWND page) {
    HWND nameField = FindZoneNameField(page);
    wchar_t zoneName[kFieldUnits] = {};
    if (nameField != nullptr) {
        GetWindowTextW(nameField, zoneName, static_cast<int>(kFieldUnits));
        if (!ZoneNameAccepted(page, zoneName)) return 0;
    }

    EnableZoneSaveCancelButtons(page, FALSE);
    EnableZoneEditControls(page, TRUE);

    UniqueRegKey zones = OpenZoneTreeKey(kZonesKeyPath);
    if (!zones || nameField == nullptr) return 1;
    StoreZone(page, zones.get(), zoneName);
    return 1;
}

int RemoveCurrentZone(HWND page) {
    HWND combo = GetDlgItem(page, IDC_ZONE_COMBO);
    const LRESULT selection = SendMessageW(combo, CB_GETCURSEL, 0, 0);
    wchar_t zoneName[kKeyNameUnits];
    if (!GetSelectedZoneName(page, zoneName, kKeyNameUnits)) return 1;
    ShowMessageBox(nullptr, zoneName, nullptr, MB_OK);
    DeleteZoneKey(zoneName);
    SendMessageW(combo, CB_DELETESTRING, static_cast<WPARAM>(selection), 0);
    return 1;
}

void DeleteZoneKey(const wchar_t* zoneName) {
    UniqueRegKey zones = OpenZoneTreeKey(kZonesKeyPath);
    if (!zones) return;
    // An empty name or one with a backslash names no zone: the Zones key itself, or a key
    // below some other zone.
    if (zoneName == nullptr || zoneName[0] == 0 || wcschr(zoneName, L'\\') != nullptr) return;
    DeleteKeyTree(zones.get(), zoneName);
}

int DeleteKeyTree(HKEY parent, const wchar_t* subkey) {
    // An empty path names the parent key itself, which is never what is to go.
    if (subkey == nullptr || subkey[0] == 0) return 0;
    wchar_t path[kKeyPathUnits];
    CopyBounded(path, kKeyPathUnits, subkey);
    return DeleteKeyTreeRecurse(parent, path);
}

int DeleteKeyTreeRecurse(HKEY parent, wchar_t* path) {
    if (RegDeleteKeyW(parent, path) == ERROR_SUCCESS) return 1;

    UniqueRegKey key;
    const LONG opened = RegOpenKeyExW(parent, path, 0, KEY_READ, key.put());
    if (opened == ERROR_FILE_NOT_FOUND) return 1;
    if (opened != ERROR_SUCCESS) return 0;

    size_t base = wcslen(path);
    if (base == 0 || path[base - 1] != L'\\') {
        if (base + 1 >= kKeyPathUnits) return 0;
        path[base++] = L'\\';
        path[base] = 0;
    }
    wchar_t child[kSubkeyUnits];
    DWORD childLength = kSubkeyUnits;
    // Each deleted child moves its followers up: the next one is always at index 0.
    while (RegEnumKeyExW(key.get(), 0, child, &childLength, nullptr, nullptr, nullptr, nullptr) == ERROR_SUCCESS) {
        if (base + childLength >= kKeyPathUnits) break;
        CopyBounded(path + base, kKeyPathUnits - base, child);
        if (DeleteKeyTreeRecurse(parent, path) == 0) break;
        childLength = kSubkeyUnits;
    }
    path[base - 1] = 0;
    key.reset();
    return RegDeleteKeyW(parent, path) == ERROR_SUCCESS ? 1 : 0;
}

int FindListItemByText(HWND listView, const wchar_t* text, int column) {
    const int rows = static_cast<int>(SendMessageW(listView, LVM_GETITEMCOUNT, 0, 0));
    if (rows < 1) return -1;
    for (int row = 0; row < rows; ++row) {
        wchar_t cell[kCompareUnits];
        GetListItemText(listView, row, column, cell, kCompareUnits);
        if (wcscmp(cell, text) == 0) return row;
    }
    return -1;
}
