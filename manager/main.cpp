// Entry point of QAXmanager: its whole life is the property sheet that the hidden main
// window's creation runs; the process ends inside that creation.
#include <winsock2.h>
#include <windows.h>
#include <commctrl.h>

#include "manager/resource.h"
#include "manager/sheet.h"

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int) {
    // The Settings page looks up the host's own addresses, which needs Winsock.
    WSADATA wsaData;
    WSAStartup(0x0202, &wsaData);
    InitCommonControls();

    wchar_t title[100] = {};
    wchar_t className[100] = {};
    LoadStringW(instance, IDS_APP_TITLE, title, 100);
    LoadStringW(instance, IDS_WINDOW_CLASS, className, 100);
    RegisterManagerWindowClass(instance);

    // Before the window: the sheet runs while the window is being created.
    g_hInstance = instance;
    // The window's creation runs the sheet and ends the process: this call returns only when
    // the window could not be created.
    CreateWindowExW(0, className, title, WS_OVERLAPPEDWINDOW, CW_USEDEFAULT, 0, CW_USEDEFAULT, 0, nullptr, nullptr,
                    g_hInstance, nullptr);
    return 0;
}
