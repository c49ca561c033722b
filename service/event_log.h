// The service's event source and the one call through which every event is reported.
#pragma once

#include <windows.h>

#include "service/messages.h"  // generated from messages.mc

void AddEventSource(const wchar_t* sourceName, DWORD categoryCount);

// Writes one entry to the Application log; callable from any thread, reports nothing back.
void ReportServiceEvent(DWORD eventId, WORD eventType, const wchar_t** strings, WORD count);

// Tests replace the platform's report with a recorder; nullptr restores it.
using EventReporter = void (*)(DWORD eventId, WORD eventType, const wchar_t** strings, WORD count);
EventReporter SetEventReporter(EventReporter reporter);
