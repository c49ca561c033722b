// The service's event source and the one call through which every event is reported.
#pragma once

#include <windows.h>

#include "service/messages.h"  // generated from messages.mc

// Where the event viewer looks up a source's message file: this, then the source name.
inline constexpr wchar_t kEventSourceKeyPrefix[] = L"SYSTEM\\CurrentControlSet\\Services\\EventLog\\Application\\";
// The source's two categories: the first two entries of the message table.
inline constexpr DWORD kEventCategoryCount = 2;

// Creates or opens the source's key and names the running executable as its message file.
void AddEventSource(const wchar_t* sourceName, DWORD categoryCount);

// Writes one entry to the Application log; callable from any thread, reports nothing back.
// The source is registered again before every report, so a moved executable is found.
void ReportServiceEvent(DWORD eventId, WORD eventType, const wchar_t** strings, WORD count);

// Tests replace the platform's report with a recorder; nullptr restores it. The source's
// registration still happens before every report.
using EventReporter = void (*)(DWORD eventId, WORD eventType, const wchar_t** strings, WORD count);
EventReporter SetEventReporter(EventReporter reporter);
