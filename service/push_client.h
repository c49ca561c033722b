// The phones' side of a broadcast: one job thread per phone posts its XML objects to the
// phone's CGI/Execute.
#pragma once

#include <windows.h>

struct BroadcastJob {
    DWORD mode;  // 1: the initiator (transmits); 0: a member (receives)
    wchar_t phoneIP[256];
    wchar_t multicastIP[256];
    DWORD port;
    wchar_t username[256];
    wchar_t password[256];
    wchar_t messageText[256];
    wchar_t alertSound[256];
    wchar_t zoneName[256];
};

DWORD WINAPI BroadcastStartThread(LPVOID job);
DWORD WINAPI BroadcastStopThread(LPVOID job);
void SendRtpStreamCommand(DWORD mode, const wchar_t* phoneIP, const wchar_t* multicastIP, DWORD port,
                          const wchar_t* username, const wchar_t* password);
void SendRtpStopCommand(DWORD mode, const wchar_t* phoneIP, const wchar_t* username, const wchar_t* password);
void VESKA_AlertCiscoPhones_Text(DWORD mode, const wchar_t* phoneIP, const wchar_t* username,
                                 const wchar_t* password, const wchar_t* text, const wchar_t* sound,
                                 const wchar_t* zoneName);
void DismissAlert(const wchar_t* wzTargetedDevice, const wchar_t* wzUserName, const wchar_t* wzPassword);
