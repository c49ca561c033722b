#include "manager/registry_read.h"

#include <vector>

#include "common/config_store.h"

StoredValueState ReadSettingText(HKEY key, const wchar_t* name, bool scrambled, std::wstring* text) {
    text->clear();
    std::vector<BYTE> data;
    if (key == nullptr || !ReadStoredValue(key, name, &data)) return kValueAbsent;
    if (data.empty()) return kValueEmpty;
    if (scrambled) UnscrambleCredential(data.data(), static_cast<int>(data.size()) - 2);
    *text = StoredText(data);
    return kValuePresent;
}

StoredValueState ReadSettingIntoControl(HWND page, int controlId, HKEY key, const wchar_t* name,
                                        bool scrambled, bool boxWhenAbsent) {
    std::wstring text;
    StoredValueState state = ReadSettingText(key, name, scrambled, &text);
    if (state == kValueAbsent && boxWhenAbsent) ShowAbsentValueBox();
    if (state == kValuePresent) SetDlgItemTextW(page, controlId, text.c_str());
    return state;
}
