// The Zones page: choosing, creating and removing zones and moving phones between its
// "Unassigned" and "Assigned" lists. ZonesPageProc itself is declared with the other pages.
#pragma once

#include <windows.h>

// The procedures that the zone name field and the description edit had before the page
// subclassed them.
extern WNDPROC g_prevZoneNameEditProc;
extern WNDPROC g_prevDescriptionEditProc;

LRESULT CALLBACK ZoneNameEditProc(HWND edit, UINT message, WPARAM wParam, LPARAM lParam);
LRESULT CALLBACK DescriptionEditProc(HWND edit, UINT message, WPARAM wParam, LPARAM lParam);

// Each takes the page and returns 1.
int EnableZoneEditing(HWND page);
int ResetZonesPage(HWND page);
int CancelZoneEdit(HWND page);
int EnableZoneSaveCancel(HWND page);
int ShowZoneDescription(HWND page);
int FillZoneCombo(HWND page);
