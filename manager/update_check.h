// The About page's update check against the maker's version file.
#pragma once

int CheckForUpdates();
// The same check against any version-file address (tests point it at a local server).
int CheckForUpdatesAt(const wchar_t* versionFileUrl);
