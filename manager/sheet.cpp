// The hidden main window, whose creation runs the property sheet, and the sheet itself.
#include "manager/sheet.h"

#include <commctrl.h>

#include "common/message_box.h"
#include "manager/config_sheet.h"
#include "manager/resource.h"
#include "manager/settings_key.h"
#include "common/config_store.h"

HINSTANCE g_hInstance = nullptr;
HKEY g_hSettingsKey = nullptr;

namespace {

constexpr wchar_t kClosingNotice[] = L"The Dravik QAX service must be restarted for any changes to take effect.";
constexpr wchar_t kClosingCaption[] = L"QAX Manager";
constexpr wchar_t kConfigurationErrorText[] = L"Error reading configuration from the registry.";
constexpr wchar_t kConfigurationErrorCaption[] = L"Dravik QAX";

struct PageDefinition {
    const wchar_t* title;
    int templateId;
    DLGPROC procedure;
};

// The order is the tab order, and the order in which the callback creates the pages: the
// IP Phone List page sets the data file path that the Zones page reads when it is created.
const PageDefinition kPages[] = {
    {L"Settings", IDD_SETTINGS, SettingsPageProc},
    {L"IP Phone List", IDD_PHONE_LIST, PhoneListPageProc},
    {L"Zones", IDD_ZONES, ZonesPageProc},
    {L"About", IDD_ABOUT, AboutPageProc},
};
constexpr int kPageCount = static_cast<int>(sizeof kPages / sizeof kPages[0]);

void DescribePage(const PageDefinition& definition, PROPSHEETPAGEW* page) {
    *page = PROPSHEETPAGEW{};
    page->dwSize = sizeof *page;
    page->dwFlags = PSP_USETITLE | PSP_USEICONID;
    page->hInstance = g_hInstance;
    page->pszTemplate = MAKEINTRESOURCEW(definition.templateId);
    page->pszIcon = nullptr;
    page->pfnDlgProc = definition.procedure;
    page->pszTitle = definition.title;
    page->lParam = 0;
}

// The sheet key is opened once before the sheet, for the pages; without it nothing can be
// shown or saved, so the manager ends.
void OpenSettingsKeyForPages() {
    if (OpenSettingsKey(&g_hSettingsKey) == ERROR_SUCCESS) return;
    ShowKeyOpenErrorBox();
    ShowMessageBox(nullptr, kConfigurationErrorText, kConfigurationErrorCaption, MB_ICONERROR);
    ExitManager();
}

}  // namespace

INT_PTR RunConfigurationSheet(HWND owner, DWORD extraFlags) {
    PROPSHEETPAGEW pages[kPageCount];
    for (int i = 0; i < kPageCount; ++i) DescribePage(kPages[i], &pages[i]);

    PROPSHEETHEADERW header{};
    header.dwSize = sizeof header;
    header.dwFlags = PSH_PROPSHEETPAGE | PSH_USECALLBACK | PSH_USEICONID | extraFlags;
    header.hwndParent = owner;
    header.hInstance = g_hInstance;
    header.pszIcon = nullptr;
    header.pszCaption = kSheetCaption;
    header.nPages = kPageCount;
    header.nStartPage = 0;
    header.ppsp = pages;
    header.pfnCallback = ConfigSheetCallback;
    return PropertySheetW(&header);
}

void RegisterManagerWindowClass(HINSTANCE instance) {
    wchar_t className[100] = {};
    LoadStringW(instance, IDS_WINDOW_CLASS, className, 100);
    HICON icon = LoadIconW(instance, MAKEINTRESOURCEW(IDI_QAX));

    WNDCLASSEXW windowClass{};
    windowClass.cbSize = sizeof windowClass;
    windowClass.style = CS_HREDRAW | CS_VREDRAW;
    windowClass.lpfnWndProc = ManagerWndProc;
    windowClass.hInstance = instance;
    windowClass.hIcon = icon;
    windowClass.hIconSm = icon;
    windowClass.hCursor = LoadCursorW(nullptr, IDC_ARROW);
    windowClass.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1);
    windowClass.lpszClassName = className;
    RegisterClassExW(&windowClass);
}

LRESULT CALLBACK ManagerWndProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message != WM_CREATE) return DefWindowProcW(window, message, wParam, lParam);
    ShowConfigurationSheet(window);
    ShowMessageBox(window, kClosingNotice, kClosingCaption, MB_OK | MB_ICONINFORMATION);
    ExitManager();
}

void ShowConfigurationSheet(HWND mainWindow) {
    OpenSettingsKeyForPages();
    RunConfigurationSheet(mainWindow, 0);
}

int CALLBACK ConfigSheetCallback(HWND sheet, UINT message, LPARAM) {
    if (message != PSCB_INITIALIZED) return 0;
    // Every page is created now, in order, so that all exist before OK or Apply can be pressed.
    for (int i = 0; i < kPageCount; ++i) SendMessageW(sheet, PSM_SETCURSEL, i, 0);
    SendMessageW(sheet, PSM_SETCURSEL, 0, 0);
    return 0;
}
