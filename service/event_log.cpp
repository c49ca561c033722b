#include "service/event_log.h"

#include <string>

#include "common/unique_handle.h"
#include "service/service_host.h"

namespace {

EventReporter g_eventReporter = nullptr;

void SetExpandText(HKEY key, const wchar_t* name, const wchar_t* text, DWORD characters) {
    RegSetValueExW(key, name, 0, REG_EXPAND_SZ, reinterpret_cast<const BYTE*>(text), (characters + 1) * sizeof(wchar_t));
}

void SetNumber(HKEY key, const wchar_t* name, DWORD value) {
    RegSetValueExW(key, name, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&value), sizeof value);
}

void ReportToPlatform(DWORD eventId, WORD eventType, const wchar_t** strings, WORD count) {
    UniqueEventSource source(RegisterEventSourceW(nullptr, kServiceName));
    if (!source) return;
    ReportEventW(source.get(), eventType, 0, eventId, nullptr, count, 0, strings, nullptr);
}

}  // namespace

void AddEventSource(const wchar_t* sourceName, DWORD categoryCount) {
    const std::wstring keyPath = std::wstring(kEventSourceKeyPrefix) + sourceName;
    UniqueRegKey key;
    if (RegCreateKeyW(HKEY_LOCAL_MACHINE, keyPath.c_str(), key.put()) != ERROR_SUCCESS) return;

    wchar_t path[MAX_PATH];
    DWORD characters = GetModuleFileNameW(nullptr, path, MAX_PATH);
    // A path cut at the buffer's end would name a file that does not exist.
    if (characters == 0 || characters >= MAX_PATH) return;

    SetExpandText(key.get(), L"EventMessageFile", path, characters);
    SetNumber(key.get(), L"TypesSupported", EVENTLOG_ERROR_TYPE | EVENTLOG_WARNING_TYPE | EVENTLOG_INFORMATION_TYPE);
    if (categoryCount != 0) {
        SetExpandText(key.get(), L"CategoryMessageFile", path, characters);
        SetNumber(key.get(), L"CategoryCount", categoryCount);
    }
}

void ReportServiceEvent(DWORD eventId, WORD eventType, const wchar_t** strings, WORD count) {
    AddEventSource(kServiceName, kEventCategoryCount);
    EventReporter reporter = g_eventReporter;
    if (reporter != nullptr) {
        reporter(eventId, eventType, strings, count);
        return;
    }
    ReportToPlatform(eventId, eventType, strings, count);
}

EventReporter SetEventReporter(EventReporter reporter) {
    EventReporter previous = g_eventReporter;
    g_eventReporter = reporter;
    return previous;
}
