// The phones' side of a broadcast: one job thread per phone posts its XML objects to the
// phone's CGI/Execute, each object in an HTTP POST of its own.
#pragma once

#include <windows.h>

#include <memory>

#include "service/push_order.h"

// The task of one job thread: one phone in one broadcast start or stop. The thread that is
// handed a job owns it and frees it when it ends.
struct BroadcastJob {
    DWORD mode;  // 1: the initiator (transmits); 0: a member (receives)
    wchar_t phoneIP[256];
    wchar_t multicastIP[256];
    DWORD port;
    wchar_t username[256];
    wchar_t password[256];
    wchar_t messageText[256];
    // As wide as the settings and zone names they copy, so that a long zone name still
    // matches its own stop request.
    wchar_t alertSound[256];
    wchar_t zoneName[256];
    // The job's place among the pushes to its phone; taken when the thread is started.
    PushTurn turn;
};

DWORD WINAPI BroadcastStartThread(LPVOID job);
DWORD WINAPI BroadcastStopThread(LPVOID job);

// Starts `threadProc` on a thread of its own with the job, which the thread then owns; the
// job's pushes go out after those of the jobs already started for the same phone. When the
// thread cannot be started the job is freed here (its turn given up) and false returned.
bool StartJobThread(LPTHREAD_START_ROUTINE threadProc, std::unique_ptr<BroadcastJob> job);

// The pushes. Given a job's turn, a push that would overtake a later job's pushes to the same
// phone is dropped (and the operation's second push with it).
void SendRtpStreamCommand(DWORD mode, const wchar_t* phoneIP, const wchar_t* multicastIP, DWORD port,
                          const wchar_t* username, const wchar_t* password, const PushTurn* turn = nullptr);
void SendRtpStopCommand(DWORD mode, const wchar_t* phoneIP, const wchar_t* username, const wchar_t* password,
                        const PushTurn* turn = nullptr);
void VESKA_AlertCiscoPhones_Text(DWORD mode, const wchar_t* phoneIP, const wchar_t* username,
                                 const wchar_t* password, const wchar_t* text, const wchar_t* sound,
                                 const wchar_t* zoneName, const PushTurn* turn = nullptr);
void DismissAlert(const wchar_t* wzTargetedDevice, const wchar_t* wzUserName, const wchar_t* wzPassword,
                  const PushTurn* turn = nullptr);
