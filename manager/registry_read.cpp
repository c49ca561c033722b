#include "manager/registry_read.h"

#include <utility>
#include <vector>

#include "common/config_store.h"

StoredValueState ReadSettingText(HKEY key, const wchar_t* name, bool scrambled, std::wstring* text) {
    text->clear();
    std::vector<BYTE> data;
    if (key == nullptr || !ReadStoredValue(key, name, &data)) return kValueAbsent;
    if (data.empty()) return kValueEmpty;
    // A credential is read exactly as the service reads it, so that a save without edits
    // stores the same text again (one stored without its terminator loses its last unit).
    *text = scrambled ? UnscrambleStoredCredential(std::move(data)) : StoredText(data);
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
