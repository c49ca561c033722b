// The owner of a WinINet handle (a session, a connection, a request or a URL): each closes
// with InternetCloseHandle when it goes out of scope, so that no early return leaks one.
// A header of its own: wininet.h and winhttp.h cannot stand in one translation unit.
#pragma once

#include <windows.h>
#include <wininet.h>

#include "common/unique_handle.h"

struct InternetHandleTraits {
    using Handle = HINTERNET;
    static Handle Invalid() noexcept { return nullptr; }
    static void Close(Handle h) noexcept { InternetCloseHandle(h); }
};
using UniqueInternetHandle = UniqueHandle<InternetHandleTraits>;
