// Installing and removing the service's registration with the service control manager.
#include <string>

#include "common/maker.h"
#include "common/unique_handle.h"
#include "service/console_log.h"
#include "service/service_host.h"

namespace {

constexpr DWORD kPathUnits = 261;
constexpr DWORD kStopWaitMs = 3000;
constexpr DWORD kStopPollMs = 100;

const std::wstring kDescription =
    std::wstring(L"Dravik Software - Halvenor [QAX]\r\n\r\nDravik Software QAX provides simultaneously, live audio paging "
                 L"to Cisco IP telephones in your organization at the push of a button.\r\n\r\nFor more information, "
                 L"visit ") +
    kMakerWebAddress;

// The manager splits an unquoted path at its blanks and would try "C:\Program.exe" first,
// as LocalSystem: a path with a blank is registered in quotes.
std::wstring ImagePath(const std::wstring& path) {
    return path.find(L' ') == std::wstring::npos ? path : L"\"" + path + L"\"";
}

// Waits up to kStopWaitMs for the service to report SERVICE_STOPPED.
void WaitUntilStopped(SC_HANDLE service) {
    for (DWORD waited = 0; waited < kStopWaitMs; waited += kStopPollMs) {
        SERVICE_STATUS status;
        if (QueryServiceStatus(service, &status) && status.dwCurrentState == SERVICE_STOPPED) return;
        Sleep(kStopPollMs);
    }
}

void SetDescription(SC_HANDLE manager) {
    UniqueServiceHandle service(OpenServiceW(manager, kServiceName, SERVICE_ALL_ACCESS));
    if (!service) return;
    SERVICE_DESCRIPTIONW description{const_cast<LPWSTR>(kDescription.c_str())};
    ChangeServiceConfig2W(service.get(), SERVICE_CONFIG_DESCRIPTION, &description);
}

}  // namespace

void InstallService() {
    ConsolePrintf("Initializing... ");
    UninstallService();
    UniqueServiceHandle manager(OpenSCManagerW(nullptr, nullptr, SC_MANAGER_CREATE_SERVICE));
    wchar_t path[kPathUnits];
    const DWORD length = manager ? GetModuleFileNameW(nullptr, path, kPathUnits) : 0;
    if (length > 0 && length < kPathUnits) {
        ConsolePrintf("Installing service...");
        const std::wstring imagePath = ImagePath(std::wstring(path, length));
        UniqueServiceHandle created(CreateServiceW(manager.get(), kServiceName, kServiceName, SERVICE_ALL_ACCESS,
                                                   SERVICE_WIN32_OWN_PROCESS, SERVICE_AUTO_START, SERVICE_ERROR_IGNORE,
                                                   imagePath.c_str(), nullptr, nullptr, nullptr, nullptr, nullptr));
        if (created) ConsolePrintf("Success!");
        // A registration that survived the removal gets the description as well.
        SetDescription(manager.get());
    }
    ConsolePrintf("\r\nThe process has completed successfully.");
}

void UninstallService() {
    ConsolePrintf("Initializing... ");
    UniqueServiceHandle manager(OpenSCManagerW(nullptr, nullptr, SC_MANAGER_CONNECT));
    UniqueServiceHandle service(manager ? OpenServiceW(manager.get(), kServiceName, kServiceControlAccess) : nullptr);
    if (service) {
        ConsolePrintf("Preparing to uninstall service... ");
        SERVICE_STATUS status;
        if (QueryServiceStatus(service.get(), &status)) {
            if (ControlService(service.get(), SERVICE_CONTROL_STOP, &status)) WaitUntilStopped(service.get());
            // A service still running is removed by the manager as soon as it has stopped.
            DeleteService(service.get());
        }
    }
    ConsolePrintf("\r\nThe process has completed successfully.");
}
