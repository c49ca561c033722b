// Drives the manager's configuration sheet in-process: the real pages, built modeless by the
// program's own code, on the real registry of the Wine prefix, with every message box
// recorded and answered.
#pragma once

#include <windows.h>

#include <map>
#include <string>
#include <vector>

#include "gui_test_support.h"

// Boxes shown since the last ClearBoxes(); each is answered with IDOK unless the test queued
// another answer (guitest::QueueBoxAnswer).
const std::vector<RecordedBox>& RecordedBoxes();
void ClearBoxes();
void RecordMessageBoxes();

// Registry: the settings key replaced by exactly these values (text stored with its
// terminator, "" as zero bytes) and an empty Zones key.
using StoredValues = std::map<std::wstring, std::vector<BYTE>>;
std::vector<BYTE> Stored(const std::wstring& text);
void SeedSettings(const std::map<std::wstring, std::wstring>& texts, const StoredValues& raw = {});
void RemoveSettingsKey();
// Every value under the settings key: name -> (type, bytes).
struct RawValue {
    DWORD type;
    std::vector<BYTE> data;
    bool operator==(const RawValue& other) const { return type == other.type && data == other.data; }
};
std::map<std::wstring, RawValue> ReadAllSettings();

// A directory of its own under the Wine temp folder, for data files.
std::wstring TestDirectory();

namespace guitest {
// A site with a value for every field of the Settings and IP Phone List pages (the
// credentials apart), its phone data file at `dataFile`.
std::map<std::wstring, std::wstring> SiteTexts(const std::wstring& dataFile);
// The site's four credentials as the manager stores them, byte for byte: "pager", "s3cret",
// "axl" and "cm-pass", each UTF-16LE byte XOR 0x37, then a zero terminator.
StoredValues SiteCredentials();
}  // namespace guitest

// Lets the windows process what was sent or posted to them.
void PumpMessages(DWORD milliseconds = 50);

class SheetHarness {
public:
    // Opens the settings key as the program does and creates the sheet modeless.
    SheetHarness();
    ~SheetHarness();
    SheetHarness(const SheetHarness&) = delete;
    SheetHarness& operator=(const SheetHarness&) = delete;

    HWND sheet() const { return sheet_; }
    HWND page(int index) const;
    HWND control(int pageIndex, int id) const { return GetDlgItem(page(pageIndex), id); }
    std::wstring Text(int pageIndex, int id) const;
    void Type(int pageIndex, int id, const std::wstring& text);  // WM_SETTEXT: fires EN_CHANGE
    void Click(int pageIndex, int id);
    void Apply();   // the Apply button
    void Ok();
    void Cancel();
    bool ApplyEnabled() const;
    bool Closed() const;  // the sheet ended (OK or Cancel)

private:
    HWND sheet_ = nullptr;
};
