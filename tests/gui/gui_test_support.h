// What the in-process tests of the manager's windows share: message boxes recorded and
// answered in place of a user, scratch files, a plain window standing in for the property
// sheet, and reading list views and windows.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

// One box shown through the program's message-box function.
struct RecordedBox {
    HWND owner;
    std::wstring text;
    std::wstring caption;
    UINT flags;
    bool hasCaption;  // false for a box shown without a caption of its own (the platform's)
};

// A file's bytes ("" when it cannot be read), and writing a file's bytes anew.
std::string ReadFileBytes(const std::wstring& path);
void WriteFileBytes(const std::wstring& path, const std::string& bytes);

namespace guitest {

// From now on every box shown through ShowMessageBox is recorded, printed to standard error
// (where a death test reads the boxes its dying child showed) and answered with the next
// queued answer, or with the default answer when none is queued.
void RecordBoxes();
// MessageBoxW again; the default answer back to IDOK, no answer queued.
void StopRecordingBoxes();
// The boxes recorded since the last clear(), in the order shown.
std::vector<RecordedBox>& Boxes();
void QueueBoxAnswer(int button);
void SetDefaultBoxAnswer(int button);  // IDOK unless set

// A fresh directory under the temporary directory, removed with its files at the end.
class ScratchDirectory {
public:
    ScratchDirectory();
    ~ScratchDirectory();
    ScratchDirectory(const ScratchDirectory&) = delete;
    ScratchDirectory& operator=(const ScratchDirectory&) = delete;

    const std::wstring& path() const { return path_; }
    std::wstring file(const wchar_t* name) const { return path_ + L"\\" + name; }

private:
    std::wstring path_;
};

bool FileExists(const std::wstring& path);

// A plain top-level window standing in for the property sheet: it counts PSM_CHANGED.
class SheetStandIn {
public:
    SheetStandIn();
    ~SheetStandIn();
    SheetStandIn(const SheetStandIn&) = delete;
    SheetStandIn& operator=(const SheetStandIn&) = delete;

    HWND window() const { return window_; }
    int changedCount() const;
    void resetChanged();

private:
    HWND window_ = nullptr;
};

// Creates dialog `templateId` of this executable as a child of `parent` with `proc`.
HWND CreatePageFromTemplate(int templateId, HWND parent, DLGPROC proc);

// List views and windows, read for assertions.
std::wstring ItemText(HWND listView, int row, int column);
std::vector<std::wstring> ColumnTexts(HWND listView, int column);
// Adds a row at the end (a sorted list puts it in its sort place) with the column texts.
void AppendRow(HWND listView, const std::vector<std::wstring>& columns);
std::wstring WindowText(HWND window);

}  // namespace guitest
