#include "service/settings.h"

#include <climits>
#include <string>

#include "common/message_box.h"
#include "common/text.h"
#include "common/unique_handle.h"
#include "service/console_log.h"
#include "service/event_log.h"
#include "service/port_slots.h"
#include "service/service_host.h"

wchar_t g_dataFilePath[kPathUnits];
wchar_t httpServerIP[kAddressUnits];
int httpServerPort = 80;
wchar_t wzMulticastTargetIP[kAddressUnits];
wchar_t wzMulticastUsername[kTextUnits];
wchar_t wzMulticastPassword[kTextUnits];
int iMulticastVolume = 80;
wchar_t wzMulticastMessageText[kTextUnits];
wchar_t wzMulticastAlertSound[kTextUnits];
int MulticastMaxDuration = 5;

PhoneClient* g_phoneClients = nullptr;
int g_phoneClientCount = 0;
ZoneRecord* g_zoneTable = nullptr;
int g_zoneCount = 0;

namespace {

constexpr int kDefaultHttpServerPort = 80;
constexpr int kDefaultMulticastVolume = 80;
constexpr int kDefaultMaxDuration = 5;
// A selection item is looked up by at most this many characters; a target's device name
// holds at most 15 (PhoneClient::deviceName).
constexpr size_t kLookupNameUnits = 25;
constexpr size_t kTargetNameCharacters = 15;

std::string N(const wchar_t* text) { return NarrowLatin1(text); }
std::string N(const std::wstring& text) { return NarrowLatin1(text); }

void* AllocateZeroed(size_t bytes) { return HeapAlloc(GetProcessHeap(), HEAP_ZERO_MEMORY, bytes); }

void Release(void* block) {
    if (block != nullptr) HeapFree(GetProcessHeap(), 0, block);
}

// Start-up fills everything once; starting again from the defaults keeps a second reading
// (in tests) from inheriting the first one's values.
void ResetToDefaults() {
    g_dataFilePath[0] = httpServerIP[0] = wzMulticastTargetIP[0] = 0;
    wzMulticastUsername[0] = wzMulticastPassword[0] = wzMulticastMessageText[0] = wzMulticastAlertSound[0] = 0;
    httpServerPort = kDefaultHttpServerPort;
    iMulticastVolume = kDefaultMulticastVolume;
    MulticastMaxDuration = kDefaultMaxDuration;
    Release(g_phoneClients);
    g_phoneClients = nullptr;
    g_phoneClientCount = 0;
    Release(g_zoneTable);
    g_zoneTable = nullptr;
    g_zoneCount = 0;
}

void ReportMissingSettingsKey(LONG error) {
    const std::wstring key = std::wstring(L"HKEY_LOCAL_MACHINE\\") + kSettingsKeyPath;
    const std::wstring code = std::to_wstring(error);
    const wchar_t* strings[] = {key.c_str(), code.c_str()};
    ReportServiceEvent(MSG_SETTINGS_KEY_ERROR, EVENTLOG_ERROR_TYPE, strings, 2);
}

// Under the service control manager a plain box would wait on a desktop that nobody sees,
// holding the worker for good while the service reports RUNNING; there the boxes go to the
// interactive user's desktop, and the event log keeps the failure for the administrator.
[[noreturn]] void ExitForMissingSettingsKey(LONG error) {
    UINT flags = MB_ICONERROR;
    if (!g_consoleMode) {
        ReportMissingSettingsKey(error);
        flags |= MB_SERVICE_NOTIFICATION;
    }
    ShowMessageBox(nullptr, L"Could not open registry to query information.", L"Dravik QAX Configurator", flags);
    ShowMessageBox(nullptr,
                   L"An error occured while attempting to read settings from the registry.  The settings were either "
                   L"not found or invalid.\r\n\r\nThe program will now exit.",
                   L"Dravik Software - QAX Configurator", flags);
    ExitProcess(0);
}

// Reads a text value into a fixed field, cut at the field's capacity; the field is zeroed
// first, and an absent or empty value leaves it empty.
void ReadTextInto(HKEY key, const wchar_t* name, std::vector<BYTE>* buffer, wchar_t* field, size_t capacity) {
    field[0] = 0;
    if (QueryRegistryValue(key, name, buffer, true) != 0) CopyBounded(field, capacity, StoredText(*buffer).c_str());
}

void ReadNumberInto(HKEY key, const wchar_t* name, std::vector<BYTE>* buffer, int* number) {
    if (QueryRegistryValue(key, name, buffer, true) != 0) *number = ParseStoredNumber(StoredText(*buffer));
}

void ReadCredentialInto(HKEY key, const wchar_t* name, std::vector<BYTE>* buffer, wchar_t* field) {
    field[0] = 0;
    if (QueryRegistryValue(key, name, buffer, true) != 0)
        CopyBounded(field, kTextUnits, UnscrambleStoredCredential(*buffer).c_str());
}

DWORD SubkeyCount(HKEY key) {
    DWORD count = 0;
    if (key == nullptr) return 0;
    if (RegQueryInfoKeyW(key, nullptr, nullptr, nullptr, &count, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr,
                         nullptr) != ERROR_SUCCESS)
        return 0;
    return count;
}

// Appends one member name and its ";" only when both fit: a name cut short could be the name
// of another phone.
void AppendMember(ZoneRecord* zone, size_t* length, const wchar_t* member) {
    const size_t add = wcslen(member) + 1;
    if (*length + add >= kZoneMembersUnits) return;
    wcscpy_s(zone->members + *length, kZoneMembersUnits - *length, member);
    *length += add - 1;
    zone->members[(*length)++] = L';';
    zone->members[*length] = 0;
}

void LoadZoneMembers(HKEY zoneKey, ZoneRecord* zone) {
    size_t length = 0;
    const DWORD count = SubkeyCount(zoneKey);
    for (DWORD j = 0; j < count; ++j) {
        wchar_t member[256];
        DWORD memberLength = _countof(member);
        if (RegEnumKeyExW(zoneKey, j, member, &memberLength, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS) continue;
        ConsolePrintf("READ: %s\r\n", N(member).c_str());
        AppendMember(zone, &length, member);
    }
    if (length > 0) zone->members[length - 1] = 0;  // no ";" after the last name
}

void LoadZone(HKEY zonesKey, DWORD index, ZoneRecord* zone) {
    zone->nameLength = _countof(zone->name);
    zone->descriptionSize = sizeof zone->description;
    if (RegEnumKeyExW(zonesKey, index, zone->name, &zone->nameLength, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS) {
        zone->name[0] = 0;
        zone->nameLength = 0;
        return;
    }
    const std::wstring path = std::wstring(kZonesKeyPath) + L"\\" + zone->name;
    UniqueRegKey zoneKey(OpenSettingsKey(path.c_str()));

    std::vector<BYTE> description;
    if (zoneKey && ReadStoredValue(zoneKey.get(), kZoneDescriptionValue, &description)) {
        const size_t kept = CopyBounded(zone->description, _countof(zone->description), StoredText(description).c_str());
        zone->descriptionSize = static_cast<DWORD>(description.size() <= sizeof zone->description
                                                       ? description.size()
                                                       : (kept + 1) * sizeof(wchar_t));
    } else {
        zone->descriptionSize = 0;
    }
    LoadZoneMembers(zoneKey.get(), zone);
    ConsolePrintf("ZONE: %s\tMEMBERS: %s\r\n", N(zone->name).c_str(), N(zone->members).c_str());
}

}  // namespace

DWORD QueryRegistryValue(HKEY key, const wchar_t* valueName, std::vector<BYTE>* buffer, bool showBox) {
    if (!ReadStoredValue(key, valueName, buffer)) {
        if (showBox) ShowRegistryBox(nullptr, kAbsentValueText);
        return 0;
    }
    return static_cast<DWORD>(buffer->size());
}

HKEY OpenSettingsKey(const wchar_t* subkeyPath) {
    HKEY key = nullptr;
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, subkeyPath, 0, KEY_ALL_ACCESS, &key) != ERROR_SUCCESS) {
        ShowRegistryBox(nullptr, kKeyOpenErrorText);
        return nullptr;
    }
    return key;
}

int ReadProgramSettings() {
    ResetToDefaults();
    UniqueRegKey key;
    const LONG opened = RegOpenKeyExW(HKEY_LOCAL_MACHINE, kSettingsKeyPath, 0, KEY_READ, key.put());
    if (opened != ERROR_SUCCESS) ExitForMissingSettingsKey(opened);

    std::vector<BYTE> buffer;
    ReadTextInto(key.get(), kValueDataFile, &buffer, g_dataFilePath, kPathUnits);
    if (buffer.empty()) CopyBounded(g_dataFilePath, kPathUnits, kDefaultDataFilePath);

    if (QueryRegistryValue(key.get(), kValueDeviceSelections, &buffer, true) != 0)
        InitializePhoneClientList(StoredText(buffer).c_str());

    ReadTextInto(key.get(), kValueHttpServerIP, &buffer, httpServerIP, kAddressUnits);
    ConsolePrintf("httpServerIP: %s\n", N(httpServerIP).c_str());
    ReadNumberInto(key.get(), kValueHttpServerPort, &buffer, &httpServerPort);
    ConsolePrintf("httpServerPort: %d\n", httpServerPort);
    ReadTextInto(key.get(), kValueMulticastTargetIP, &buffer, wzMulticastTargetIP, kAddressUnits);
    ConsolePrintf("MulticastTargetIP: %s\n", N(wzMulticastTargetIP).c_str());

    int rangeStart = 0;
    int rangeEnd = 0;
    ReadNumberInto(key.get(), kValuePortRangeStart, &buffer, &rangeStart);
    ConsolePrintf("MulticastTargetPortRangeStart: %d\n", rangeStart);
    ReadNumberInto(key.get(), kValuePortRangeEnd, &buffer, &rangeEnd);
    ConsolePrintf("MulticastTargetPortRangeEnd: %d\n", rangeEnd);
    if (RTPportCreateTable(rangeStart, rangeEnd) == 0) return 0;

    ReadCredentialInto(key.get(), kValueMulticastUsername, &buffer, wzMulticastUsername);
    ReadCredentialInto(key.get(), kValueMulticastPassword, &buffer, wzMulticastPassword);
    ReadNumberInto(key.get(), kValueMulticastVolume, &buffer, &iMulticastVolume);
    ConsolePrintf("MulticastVolume: %d\n", iMulticastVolume);
    ReadTextInto(key.get(), kValueMessageText, &buffer, wzMulticastMessageText, kTextUnits);
    ConsolePrintf("MulticastMessageText: %s\n", N(wzMulticastMessageText).c_str());
    ReadTextInto(key.get(), kValueAlertSound, &buffer, wzMulticastAlertSound, kTextUnits);
    ConsolePrintf("MulticastAlertSound: %s\n", N(wzMulticastAlertSound).c_str());
    ReadNumberInto(key.get(), kValueMaxDuration, &buffer, &MulticastMaxDuration);
    ConsolePrintf("MulticastMaxDuration: %d\n", MulticastMaxDuration);

    LoadZones();
    return 1;
}

void LoadZones() {
    UniqueRegKey zones(OpenSettingsKey(kZonesKeyPath));
    const DWORD count = SubkeyCount(zones.get());
    if (count == 0 || count > INT_MAX / sizeof(ZoneRecord)) return;
    g_zoneTable = static_cast<ZoneRecord*>(AllocateZeroed(count * sizeof(ZoneRecord)));
    if (g_zoneTable == nullptr) return;
    g_zoneCount = static_cast<int>(count);
    for (DWORD i = 0; i < count; ++i) LoadZone(zones.get(), i, &g_zoneTable[i]);
}

void InitializePhoneClientList(const wchar_t* selectionText) {
    ConsolePrintf("InitializePhoneClientList()...\r\n");
    Release(g_phoneClients);
    g_phoneClientCount = 0;
    g_phoneClients = static_cast<PhoneClient*>(AllocateZeroed(kMaxPhoneClients * sizeof(PhoneClient)));
    if (g_phoneClients == nullptr) {
        ConsolePrintf("Memory allocation for MulticastClientIPList has failed.\r\n");
        return;
    }
    ConsolePrintf("Using this list...%s\r\n", N(selectionText).c_str());

    for (const std::wstring& item : SplitSelectionList(selectionText)) {
        wchar_t name[kLookupNameUnits];
        CopyBounded(name, kLookupNameUnits, item.c_str());
        TruncateAtNonPrintable(name, kLookupNameUnits);
        ConsolePrintf("Searching for element %s...\r\n", N(name).c_str());
        // A longer name would not fit the target's device name: it cannot be paged.
        if (name[0] == 0 || wcslen(name) > kTargetNameCharacters) continue;

        wchar_t ip[kAddressUnits];
        if (CUCMreadFileSEPtoIP(name, ip, kAddressUnits) == 0) continue;
        PhoneClient& client = g_phoneClients[g_phoneClientCount];
        CopyBounded(client.deviceName, _countof(client.deviceName), name);
        NarrowLatin1Into(client.ip, sizeof client.ip, ip);
        ConsolePrintf("Success!\t%s === %s\r\n", N(client.deviceName).c_str(), client.ip);
        if (++g_phoneClientCount == kMaxPhoneClients) break;
    }
}

int CUCMreadFileSEPtoIP(const wchar_t* deviceName, wchar_t* ipOut, size_t ipCapacity) {
    ConsolePrintf("CUCMreadFileSEPtoIP(): Looking for %s...", N(deviceName).c_str());
    DataFileReader reader(g_dataFilePath);
    if (!reader.IsOpen()) {
        ConsolePrintf("Could not open data file!\r\n");
        return 0;
    }
    std::wstring line;
    while (reader.NextLine(&line)) {
        const CUCMdataRecord record = ParseDataFileLine(line);
        if (record.fieldCount < 4) continue;
        const std::wstring candidate = record.fields[kFieldIpAddress].substr(0, kAddressUnits - 1);
        const std::wstring name = TruncateAtNonPrintable(record.fields[kFieldName]);
        ConsolePrintf("Comparing... <%s> to <%s> \r\n", N(name).c_str(), N(deviceName).c_str());
        // A phone without a name is never a target.
        if (!name.empty() && name == deviceName) {
            CopyBounded(ipOut, ipCapacity, candidate.c_str());
            return 1;
        }
    }
    return 0;
}
