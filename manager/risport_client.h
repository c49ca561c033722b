// The call-manager download: one RisPort SelectCmDevice request over HTTPS.
#pragma once

#include <windows.h>

#include "common/config_store.h"

// A longer device name is cut to the field, as everywhere else in the manager.
struct PhoneRecord {
    wchar_t Name[kDeviceNameCharacters + 1];
    wchar_t IpAddress[16];
    wchar_t Description[256];
    wchar_t DirNumber[256];
};

extern PhoneRecord* g_phoneRecords;
extern int g_phoneRecordCount;

int CUCMrequestDeviceList(const wchar_t* server, DWORD port, const wchar_t* user, const wchar_t* password);
