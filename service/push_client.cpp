#include "service/push_client.h"

#include <cstdlib>
#include <cstring>
#include <string>

#include "common/text.h"
#include "common/winhttp_handle.h"
#include "service/console_log.h"
#include "service/phone_xml.h"
#include "service/settings.h"

namespace {

struct FreeDeleter {
    void operator()(char* p) const noexcept { free(p); }
};

enum class ReplyLog { kNone, kStreamCommand, kWhole };

// The console texts of one push; %s stands for the phone's address.
struct PushLog {
    const char* openFailed = "WinHttpOpen failed (%s).";
    const char* connectFailed = "WinHttpConnect failed (%s).";
    const char* beforeSend = nullptr;
    ReplyLog reply = ReplyLog::kNone;
};

void LogReplyChunk(const char* chunk, const char* phone, ReplyLog log) {
    if (log == ReplyLog::kWhole) {
        ConsolePrintf("%s", chunk);
    } else if (log == ReplyLog::kStreamCommand) {
        ConsolePrintf("WinHttpReadData: %s", chunk);
        if (strstr(chunk, "Status=\"0\"") != nullptr) ConsolePrintf("Broadcast success: %s\r\n", phone);
    }
}

// Reads the phone's answer to its end, one allocation per chunk. Nothing relies on it but
// the console.
void ReadReply(HINTERNET request, const char* phone, ReplyLog log) {
    for (;;) {
        DWORD count = 0;
        if (!WinHttpQueryDataAvailable(request, &count)) {
            ConsolePrintf("Error %u in WinHttpQueryDataAvailable.\n", static_cast<unsigned>(GetLastError()));
        }
        if (count == 0) return;
        std::unique_ptr<char, FreeDeleter> chunk(static_cast<char*>(calloc(static_cast<size_t>(count) + 1, 1)));
        if (!chunk) {
            ConsolePrintf("Out of memory\n");
            return;
        }
        DWORD read = 0;
        if (!WinHttpReadData(request, chunk.get(), count, &read)) {
            ConsolePrintf("Error %u in WinHttpReadData.\n", static_cast<unsigned>(GetLastError()));
            continue;
        }
        LogReplyChunk(chunk.get(), phone, log);
    }
}

// The handles of one push; they close in the reverse order: request, connection, session.
struct PushHandles {
    UniqueWinHttpHandle session;
    UniqueWinHttpHandle connection;
    UniqueWinHttpHandle request;
};

// Opens a session of the push's own, the connection to the phone's port 80 and the POST of
// "CGI/Execute" with the Basic credentials. False, after the failed step's console line,
// when the phone cannot be addressed at all.
bool OpenPush(PushHandles* push, const wchar_t* phoneIP, const wchar_t* username, const wchar_t* password,
              const PushLog& log, const char* phone) {
    push->session.reset(WinHttpOpen(L"Dravik VESKA", WINHTTP_ACCESS_TYPE_DEFAULT_PROXY, WINHTTP_NO_PROXY_NAME,
                                    WINHTTP_NO_PROXY_BYPASS, 0));
    if (!push->session) {
        ConsolePrintf(log.openFailed, phone);
        return false;
    }
    push->connection.reset(WinHttpConnect(push->session.get(), phoneIP, INTERNET_DEFAULT_HTTP_PORT, 0));
    if (!push->connection) {
        ConsolePrintf(log.connectFailed, phone);
        return false;
    }
    push->request.reset(WinHttpOpenRequest(push->connection.get(), L"POST", L"CGI/Execute", nullptr,
                                           WINHTTP_NO_REFERER, WINHTTP_DEFAULT_ACCEPT_TYPES, 0));
    if (!push->request) {
        ConsolePrintf("WinHttpOpenRequest() failed (%d). \r\n", static_cast<int>(GetLastError()));
        return false;
    }
    if (!WinHttpSetCredentials(push->request.get(), WINHTTP_AUTH_TARGET_SERVER, WINHTTP_AUTH_SCHEME_BASIC, username,
                               password, nullptr)) {
        ConsolePrintf("WinHttpSetCredentials() failed (%d). \r\n", static_cast<int>(GetLastError()));
        return false;
    }
    return true;
}

// One POST of one body to the phone's CGI/Execute. Returns false when it failed before the
// body could be sent (the phone cannot be addressed at all) or was dropped to keep the
// phone's pushes in order, true once the request went out, whatever came back.
bool PushToPhone(const wchar_t* phoneIP, const wchar_t* username, const wchar_t* password, const PushBody& body,
                 const PushLog& log, const PushTurn* turn) {
    const std::string phone = NarrowLatin1(phoneIP);
    if (turn != nullptr && !turn->StillInTurn()) {
        ConsolePrintf("Push to %s dropped: a later push to this phone has gone out.\r\n", phone.c_str());
        return false;
    }
    PushHandles push;
    if (!OpenPush(&push, phoneIP, username, password, log, phone.c_str())) return false;
    if (log.beforeSend != nullptr) ConsolePrintf("%s", log.beforeSend);
    const DWORD length = static_cast<DWORD>(body.length);
    if (!WinHttpSendRequest(push.request.get(), L"Content-Type: text/xml\r\n", static_cast<DWORD>(-1),
                            const_cast<char*>(body.text), length, length, 0)) {
        const int error = static_cast<int>(GetLastError());
        ConsolePrintf("WinHttpSendRequest() failed (%d). \r\n", error);
        ConsolePrintf("Error %d has occurred.\n", error);
        return true;
    }
    if (!WinHttpReceiveResponse(push.request.get(), nullptr)) {
        ConsolePrintf("Error %d has occurred.\n", static_cast<int>(GetLastError()));
        return true;
    }
    ReadReply(push.request.get(), phone.c_str(), log.reply);
    return true;
}

}  // namespace

void SendRtpStreamCommand(DWORD mode, const wchar_t* phoneIP, const wchar_t* multicastIP, DWORD port,
                          const wchar_t* username, const wchar_t* password, const PushTurn* turn) {
    PushBody body;
    if (mode == 1) {
        BuildTransmitBody(&body, multicastIP, port);
    } else {
        // The volume as it is set when the push is made.
        BuildReceiveBody(&body, multicastIP, port, iMulticastVolume);
    }
    PushLog log;
    log.reply = ReplyLog::kStreamCommand;
    PushToPhone(phoneIP, username, password, body, log, turn);
}

void SendRtpStopCommand(DWORD mode, const wchar_t* phoneIP, const wchar_t* username, const wchar_t* password,
                        const PushTurn* turn) {
    PushBody body;
    if (mode == 1) {
        BuildTransmitStopBody(&body);
    } else {
        BuildReceiveStopBody(&body);
    }
    PushToPhone(phoneIP, username, password, body, PushLog(), turn);
}

void VESKA_AlertCiscoPhones_Text(DWORD mode, const wchar_t* phoneIP, const wchar_t* username,
                                 const wchar_t* password, const wchar_t* text, const wchar_t* sound,
                                 const wchar_t* zoneName, const PushTurn* turn) {
    PushBody body;
    if (mode == 1) {
        BuildInitiatorTextBody(&body, text, httpServerIP, httpServerPort, zoneName);
    } else {
        BuildMemberTextBody(&body, text);
    }
    PushLog textLog;
    textLog.openFailed = "VESKA_AlertCiscoPhones_Text: WinHttpOpen failed (%s).";
    // A phone that cannot even be addressed will not play the sound either; one that failed
    // later may still.
    if (!PushToPhone(phoneIP, username, password, body, textLog, turn)) return;
    BuildPlayBody(&body, sound);
    PushToPhone(phoneIP, username, password, body, PushLog(), turn);
}

void DismissAlert(const wchar_t* wzTargetedDevice, const wchar_t* wzUserName, const wchar_t* wzPassword,
                  const PushTurn* turn) {
    const std::string phone = NarrowLatin1(wzTargetedDevice);
    PushBody body;
    ConsolePrintf("Connecting to %s for dismissal step 1...\r\n", phone.c_str());
    BuildBlankTextBody(&body);
    PushLog blankLog;
    blankLog.beforeSend = "SENDING <CLEAR/BLANK> MESSAGE!!!";
    if (!PushToPhone(wzTargetedDevice, wzUserName, wzPassword, body, blankLog, turn)) return;

    ConsolePrintf("Connecting to %s for dismissal step 2...\r\n", phone.c_str());
    BuildServicesBody(&body);
    PushLog servicesLog;
    servicesLog.openFailed = "WinHttpOpen failed (%s)!";
    servicesLog.connectFailed = "WinHttpConnect failed (%s)!";
    servicesLog.reply = ReplyLog::kWhole;
    PushToPhone(wzTargetedDevice, wzUserName, wzPassword, body, servicesLog, turn);
}

namespace {

// A job's pushes wait for the phone's earlier job to end, within bounds.
void WaitForPhone(BroadcastJob* job) {
    if (!job->turn.WaitForTurn(kPushTurnWaitMs)) {
        ConsolePrintf("%s has not answered an earlier push for %u ms; going on.\r\n",
                      NarrowLatin1(job->phoneIP).c_str(), static_cast<unsigned>(kPushTurnWaitMs));
    }
}

}  // namespace

DWORD WINAPI BroadcastStartThread(LPVOID parameter) {
    std::unique_ptr<BroadcastJob> job(static_cast<BroadcastJob*>(parameter));
    if (!job) return 1;
    WaitForPhone(job.get());
    const PushTurn* turn = &job->turn;
    SendRtpStreamCommand(job->mode, job->phoneIP, job->multicastIP, job->port, job->username, job->password, turn);
    ConsolePrintf("MODE: %d ZONE: %s\r\n", static_cast<int>(job->mode), NarrowLatin1(job->zoneName).c_str());
    if (job->mode == 1) {
        VESKA_AlertCiscoPhones_Text(1, job->phoneIP, job->username, job->password, kInitiatorMessage,
                                    job->alertSound, job->zoneName, turn);
    } else {
        VESKA_AlertCiscoPhones_Text(0, job->phoneIP, job->username, job->password, job->messageText,
                                    job->alertSound, nullptr, turn);
    }
    return 1;
}

DWORD WINAPI BroadcastStopThread(LPVOID parameter) {
    std::unique_ptr<BroadcastJob> job(static_cast<BroadcastJob*>(parameter));
    if (!job) return 1;
    WaitForPhone(job.get());
    const PushTurn* turn = &job->turn;
    SendRtpStopCommand(job->mode, job->phoneIP, job->username, job->password, turn);
    // The initiator's screen is left to the answer to its own STOP request.
    if (job->mode != 1) DismissAlert(job->phoneIP, job->username, job->password, turn);
    return 1;
}

bool StartJobThread(LPTHREAD_START_ROUTINE threadProc, std::unique_ptr<BroadcastJob> job) {
    if (!job) return false;
    job->turn = PushTurn::Join(job->phoneIP);
    UniqueKernelHandle thread(CreateThread(nullptr, 0, threadProc, job.get(), 0, nullptr));
    if (!thread) return false;  // the job goes with `job`, and its turn with it
    job.release();              // the thread frees it
    return true;
}
