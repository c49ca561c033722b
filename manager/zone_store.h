// The manager's operations on the zone tree under the Zones key: the zone table behind the
// Zones page, reading a zone's members into its lists, saving and removing a zone.
#pragma once

#include <windows.h>

#include "common/config_store.h"

// The zones as last loaded, in the registry's enumeration order; names and descriptions only.
extern ZoneRecord* g_zoneTable;
extern int g_zoneCount;

void LoadZoneTable();
// Empties "Assigned", then moves the rows of the chosen zone's members out of "Unassigned";
// that zone is then the one loaded (none when no zone is chosen).
int LoadZoneMembers(HWND page);
// No zone loaded: the lists were filled for a new zone.
void ForgetLoadedZone();
// Stores the zone named in the combobox's edit field: description and the "Assigned" rows as
// members. Saved under the loaded zone's name (compared without case, as the registry does),
// it also takes out the members shown at loading that have been moved to "Unassigned" since;
// under any other name it deletes nothing. Returns 0, writing nothing, when the name is
// refused (empty or with a backslash); 1 otherwise.
int SaveCurrentZone(HWND page);
int RemoveCurrentZone(HWND page);
void DeleteZoneKey(const wchar_t* zoneName);
// 1 when the subkey and everything below it is gone (or was never there), 0 otherwise.
int DeleteKeyTree(HKEY parent, const wchar_t* subkey);
// path: a writable buffer of MAX_PATH * 2 characters.
int DeleteKeyTreeRecurse(HKEY parent, wchar_t* path);
int FindListItemByText(HWND listView, const wchar_t* text, int column);

// Texts of the refused zone names (Save).
inline constexpr wchar_t kZoneSaveErrorCaption[] = L"Error Saving Zone";
inline constexpr wchar_t kZoneNameEmptyText[] = L"Please enter a name for the zone before saving it.";
inline constexpr wchar_t kZoneNameBackslashText[] =
    L"A zone name cannot contain a backslash (\\).\r\n\r\nPlease enter another name for the zone.";
