// The About page's update check: fetches the current release number from the maker's web
// server, compares it with this program's own and tells the user.
#pragma once

// The check against the maker's version file. Result 0.
int CheckForUpdates();
// The same check against any version-file address (tests point it at a local server).
int CheckForUpdatesAt(const wchar_t* versionFileUrl);

// The product page is opened in the default browser through this handler (ShellExecuteW by
// default), so that a test answering "Yes" records the address instead of starting a browser.
using OpenProductPageHandler = void (*)(const wchar_t* url);
// nullptr restores ShellExecuteW. Returns the previous handler.
OpenProductPageHandler SetOpenProductPageHandler(OpenProductPageHandler handler);
