// Interim: the start-up settings' storage until the settings module lands on this branch.
#include "service/settings.h"

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
