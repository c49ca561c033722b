// The owner of a WinHTTP handle (session, connection or request): closes it when it goes out
// of scope, so that no failed step of a push leaves a handle open.
#pragma once

#include <windows.h>
#include <winhttp.h>

#include "common/unique_handle.h"

struct WinHttpHandleTraits {
    using Handle = HINTERNET;
    static Handle Invalid() noexcept { return nullptr; }
    static void Close(Handle h) noexcept { WinHttpCloseHandle(h); }
};
using UniqueWinHttpHandle = UniqueHandle<WinHttpHandleTraits>;
