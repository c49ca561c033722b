// Test support for the IP Phone List page and the data file: a parent window that records
// what the page tells the sheet, the page built from its own template, message boxes
// recorded and answered as the test chooses, and scratch files in a directory of their own.
#pragma once

#include <windows.h>
#include <commctrl.h>

#include <string>
#include <vector>

#include "sheet_harness.h"

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

// Records every box shown through ShowMessageBox and answers each with `answer`.
class AnsweringBoxRecorder {
public:
    explicit AnsweringBoxRecorder(int answer = IDOK);
    ~AnsweringBoxRecorder();
    AnsweringBoxRecorder(const AnsweringBoxRecorder&) = delete;
    AnsweringBoxRecorder& operator=(const AnsweringBoxRecorder&) = delete;

    const std::vector<RecordedBox>& boxes() const;
    void setAnswer(int answer);
};

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

// List-view reading for assertions.
std::wstring ItemText(HWND listView, int row, int column);
std::vector<std::wstring> ColumnTexts(HWND listView, int column);
bool IsTicked(HWND listView, int row);
// Adds a row at the end with the four column texts.
void AppendRow(HWND listView, const std::vector<std::wstring>& columns);

std::wstring WindowText(HWND window);

// The certificate dialog answered as a user who accepts does: the request is set to trust
// the unknown issuer, and the dialog returns ERROR_SUCCESS.
DWORD AcceptCertificateAsUser(HWND parent, void* request, DWORD error, DWORD flags);
// The fake call manager's address from the environment (tests/e2e/test_risport.py sets it);
// false when it is not there.
bool FakeCucmAddress(const char* serverVariable, const char* portVariable, std::wstring* server, DWORD* port);
