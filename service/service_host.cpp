#include <winsock2.h>

#include "service/service_host.h"

#include "common/text.h"
#include "common/unique_handle.h"
#include "service/broadcast.h"
#include "service/console_log.h"
#include "service/event_log.h"
#include "service/http_server.h"
#include "service/port_slots.h"
#include "service/settings.h"

SERVICE_STATUS g_serviceStatus;
SERVICE_STATUS_HANDLE g_serviceStatusHandle = nullptr;
HANDLE g_serviceStopEvent = nullptr;
CRITICAL_SECTION g_portSlotLock;
bool g_consoleMode = false;

namespace {

constexpr DWORD kSpinCount = 1024;
constexpr DWORD kIdleMs = 86400000;
constexpr DWORD kAcceptStopAndShutdown = SERVICE_ACCEPT_STOP | SERVICE_ACCEPT_SHUTDOWN;

void ReportStatus(DWORD state) {
    g_serviceStatus.dwCurrentState = state;
    if (g_serviceStatusHandle != nullptr) SetServiceStatus(g_serviceStatusHandle, &g_serviceStatus);
}

void StartThread(LPTHREAD_START_ROUTINE procedure, LPVOID parameter) {
    UniqueKernelHandle thread(CreateThread(nullptr, 0, procedure, parameter, 0, nullptr));
}

// Under the service manager the service is already STOP_PENDING here, so the manager refuses
// this request; it matters only when something else calls the handler.
void AskManagerToStop() {
    UniqueServiceHandle manager(OpenSCManagerW(nullptr, nullptr, SC_MANAGER_CONNECT));
    if (!manager) return;
    UniqueServiceHandle service(OpenServiceW(manager.get(), kServiceName, kServiceControlAccess));
    if (!service) return;
    ConsolePrintf("Preparing to stop service... ");
    SERVICE_STATUS status;
    if (QueryServiceStatus(service.get(), &status)) ControlService(service.get(), SERVICE_CONTROL_STOP, &status);
}

// A console run has no service to stop: asking the manager would stop an installed service of
// the same name, so the console process ends by itself.
[[noreturn]] void EndConsoleRun() {
    ConsolePrintf("Fatal Error: The HTTP server could not start. Exiting.\r\n");
    ExitProcess(1);
}

}  // namespace

void StartServiceDispatcher() {
    SERVICE_TABLE_ENTRYW table[] = {{const_cast<LPWSTR>(kServiceName), ServiceMain}, {nullptr, nullptr}};
    StartServiceCtrlDispatcherW(table);
}

void WINAPI ServiceMain(DWORD, LPWSTR*) {
    g_serviceStatus = SERVICE_STATUS{SERVICE_WIN32, SERVICE_STOPPED, 0, NO_ERROR, 0, 0, 0};
    g_serviceStatusHandle = RegisterServiceCtrlHandlerW(kServiceName, ServiceCtrlHandler);
    if (g_serviceStatusHandle == nullptr) return;

    ReportStatus(SERVICE_START_PENDING);
    g_serviceStopEvent = CreateEventW(nullptr, FALSE, FALSE, nullptr);
    g_serviceStatus.dwControlsAccepted = kAcceptStopAndShutdown;
    ReportStatus(SERVICE_RUNNING);
    ReportServiceEvent(MSG_SERVICE_STARTED, EVENTLOG_INFORMATION_TYPE, nullptr, 0);

    static DWORD workerParameter = 1;
    StartThread(ServiceWorkerMain, &workerParameter);
    WaitForSingleObject(g_serviceStopEvent, INFINITE);

    ReportStatus(SERVICE_STOP_PENDING);
    HANDLE stopEvent = g_serviceStopEvent;
    g_serviceStopEvent = nullptr;
    if (stopEvent != nullptr) CloseHandle(stopEvent);
    g_serviceStatus.dwControlsAccepted &= ~kAcceptStopAndShutdown;
    g_serviceStatus.dwWin32ExitCode = NO_ERROR;
    ReportStatus(SERVICE_STOPPED);
}

void WINAPI ServiceCtrlHandler(DWORD control) {
    if (control != SERVICE_CONTROL_STOP && control != SERVICE_CONTROL_SHUTDOWN) {
        ReportStatus(g_serviceStatus.dwCurrentState);
        return;
    }
    ReportServiceEvent(MSG_SERVICE_STOPPING, EVENTLOG_INFORMATION_TYPE, nullptr, 0);
    if (g_consoleMode) EndConsoleRun();
    ReportStatus(SERVICE_STOP_PENDING);
    if (g_serviceStopEvent != nullptr) SetEvent(g_serviceStopEvent);
    AskManagerToStop();
    ConsolePrintf("\r\nThe process has completed successfully.");
}

void PrintStartupSummary() {
    ConsolePrintf("wzMulticastTargetIP: %s\r\n", NarrowLatin1(wzMulticastTargetIP).c_str());
    ConsolePrintf("wzMulticastMessageText: %s\r\n", NarrowLatin1(wzMulticastMessageText).c_str());
    ConsolePrintf("wzMulticastAlertSound: %s\r\n", NarrowLatin1(wzMulticastAlertSound).c_str());
    ConsolePrintf("iMulticastVolume: %d\r\n", iMulticastVolume);
    ConsolePrintf("Servicing the following %d phones:\r\n", g_phoneClientCount);
    for (int i = 0; i < g_phoneClientCount; ++i)
        ConsolePrintf("%s and %s\r\n", NarrowLatin1(g_phoneClients[i].deviceName).c_str(), g_phoneClients[i].ip);
}

DWORD WINAPI ServiceWorkerMain(LPVOID) {
    if (!InitializeCriticalSectionAndSpinCount(&g_portSlotLock, kSpinCount)) {
        ConsolePrintf("Fatal Error: Could not initialize CriticalSection!\r\n");
        return 0;
    }
    ReadProgramSettings();
    PrintStartupSummary();

    WSADATA winsock;
    WSAStartup(MAKEWORD(2, 2), &winsock);
    StartThread(HttpServerThread, nullptr);
    // The sweep ends a broadcast that outlived MulticastMaxDuration before it frees the port.
    SetExpiredBroadcastHandler(EndExpiredBroadcast);
    StartThread(RTPportExpiryThread, nullptr);
    ConsolePrintf("Threads running...\r\n");
    for (;;) Sleep(kIdleMs);
}
