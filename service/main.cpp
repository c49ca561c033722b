// Entry point of QAXservice: the command line chooses install, removal, a console run, or the
// service control manager.
#include <windows.h>

#include "common/maker.h"
#include "common/text.h"
#include "service/console_log.h"
#include "service/service_host.h"

namespace {

void PrintBanner() {
    ConsolePrintf("\nDravik Software - Halvenor \n");
    ConsolePrintf("%s\n", NarrowLatin1(kMakerWebAddress).c_str());
    ConsolePrintf("- QAX %s - \n\n", kServiceVersion);
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    const wchar_t* option = argc > 1 ? argv[1] : L"";
    if (lstrcmpiW(option, L"-install") == 0) {
        InstallService();
    } else if (lstrcmpiW(option, L"-uninstall") == 0) {
        UninstallService();
    } else if (lstrcmpiW(option, L"-run") == 0) {
        ConsolePrintf("Running Command-Line Version.\n");
        g_consoleMode = true;
        ServiceWorkerMain(nullptr);
    } else {
        // Returns when the service has stopped, or at once when the manager did not start us.
        StartServiceDispatcher();
        PrintBanner();
        ConsolePrintf("For HELP, please use the '/?' switch.\n\n");
    }
    return 0;
}
