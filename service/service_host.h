// The service shell: the service main function, its control handler, and the worker that
// reads the settings and starts the long-lived threads; install and removal live in
// service_install.cpp, the command line in main.cpp.
#pragma once

#include <windows.h>

inline constexpr wchar_t kServiceName[] = L"Dravik QAX";
inline constexpr char kServiceVersion[] = "v.2.5";
// How removal and the control handler open the service: the standard rights (DELETE among
// them) with querying and changing its configuration, querying its status, enumerating its
// dependents, starting and stopping it.
inline constexpr DWORD kServiceControlAccess = 0xF003F;

extern SERVICE_STATUS g_serviceStatus;
extern SERVICE_STATUS_HANDLE g_serviceStatusHandle;
extern HANDLE g_serviceStopEvent;
// The service's one lock: guards the port slot table and nothing else.
extern CRITICAL_SECTION g_portSlotLock;
// True while the worker runs in a console ("-run") rather than under the service manager.
extern bool g_consoleMode;

void StartServiceDispatcher();
void WINAPI ServiceMain(DWORD argc, LPWSTR* argv);
// STOP and SHUTDOWN stop the service; in a console run they end the process with exit code 1
// and leave any installed service of the same name alone. Other controls re-report the status.
void WINAPI ServiceCtrlHandler(DWORD control);
DWORD WINAPI ServiceWorkerMain(LPVOID parameter);
// What the worker prints once the settings are read: the broadcast settings and the targets.
void PrintStartupSummary();
void InstallService();
void UninstallService();
