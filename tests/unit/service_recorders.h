// What the service's unit tests put in place of the platform: a recorder of event reports,
// a recorder of message boxes, the console captured into a file, and a scratch registry key.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

struct RecordedEvent {
    DWORD id;
    WORD type;
    std::vector<std::wstring> strings;
};

// Records every ReportServiceEvent for as long as it lives.
class EventRecorder {
public:
    EventRecorder();
    ~EventRecorder();
    EventRecorder(const EventRecorder&) = delete;
    EventRecorder& operator=(const EventRecorder&) = delete;
    const std::vector<RecordedEvent>& events() const;
};

struct RecordedBox {
    HWND owner;
    std::wstring text;
    std::wstring caption;
    UINT flags;
};

// Records every ShowMessageBox (answering IDOK) for as long as it lives.
class MessageBoxRecorder {
public:
    MessageBoxRecorder();
    ~MessageBoxRecorder();
    MessageBoxRecorder(const MessageBoxRecorder&) = delete;
    MessageBoxRecorder& operator=(const MessageBoxRecorder&) = delete;
    const std::vector<RecordedBox>& boxes() const;
};

// Sends the process's standard output into a temporary file until Finish() returns it.
class ConsoleCapture {
public:
    ConsoleCapture();
    ~ConsoleCapture();
    ConsoleCapture(const ConsoleCapture&) = delete;
    ConsoleCapture& operator=(const ConsoleCapture&) = delete;
    std::string Finish();

private:
    int savedStdout_ = -1;
    std::wstring path_;
};

// Deletes the key tree under HKEY_LOCAL_MACHINE (nothing when absent).
void DeleteMachineKeyTree(const wchar_t* path);

// Creates a key under HKEY_LOCAL_MACHINE and writes values into it; the tree is deleted when
// the object goes.
class ScratchKey {
public:
    explicit ScratchKey(std::wstring path);
    ~ScratchKey();
    ScratchKey(const ScratchKey&) = delete;
    ScratchKey& operator=(const ScratchKey&) = delete;

    HKEY get() const { return key_; }
    // A text in its stored form (with its terminator; "" as zero bytes).
    void SetText(const wchar_t* name, const std::wstring& text);
    // Bytes exactly as given, as REG_SZ.
    void SetBytes(const wchar_t* name, const std::vector<BYTE>& bytes);
    // A subkey path below this key, created with its parents.
    void CreateSubkey(const std::wstring& relativePath);

private:
    std::wstring path_;
    HKEY key_ = nullptr;
};

// The directory of the running test program, with a trailing backslash.
std::wstring ProgramDirectory();
// A fresh temporary file name (the file exists and is empty).
std::wstring TemporaryFilePath();
// Writes bytes to a file, replacing it.
void WriteFileBytes(const std::wstring& path, const std::string& bytes);
