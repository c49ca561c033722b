// The call-manager download: one RisPort SelectCmDevice request over HTTPS.
#pragma once

#include <windows.h>

struct PhoneRecord {
    wchar_t Name[256];
    wchar_t IpAddress[16];
    wchar_t Description[256];
    wchar_t DirNumber[256];
};

extern PhoneRecord* g_phoneRecords;
extern int g_phoneRecordCount;

int CUCMrequestDeviceList(const wchar_t* server, DWORD port, const wchar_t* user, const wchar_t* password);
