#include "tests/unit/service_recorders.h"

#include <fcntl.h>
#include <io.h>

#include <cstdio>

#include <gtest/gtest.h>

#include "common/message_box.h"
#include "common/config_store.h"
#include "service/event_log.h"
#include "service/service_host.h"

namespace {

std::vector<RecordedEvent> g_events;
std::vector<RecordedBox> g_boxes;

void RecordEvent(DWORD id, WORD type, const wchar_t** strings, WORD count) {
    RecordedEvent event{id, type, {}};
    for (WORD i = 0; i < count; ++i) event.strings.push_back(strings[i] != nullptr ? strings[i] : L"(null)");
    g_events.push_back(event);
}

int RecordBox(HWND owner, const wchar_t* text, const wchar_t* caption, UINT flags) {
    g_boxes.push_back({owner, text != nullptr ? text : L"", caption != nullptr ? caption : L"", flags});
    return IDOK;
}

}  // namespace

EventRecorder::EventRecorder() {
    g_events.clear();
    SetEventReporter(RecordEvent);
}
EventRecorder::~EventRecorder() { SetEventReporter(nullptr); }
const std::vector<RecordedEvent>& EventRecorder::events() const { return g_events; }

MessageBoxRecorder::MessageBoxRecorder() {
    g_boxes.clear();
    SetMessageBoxHandler(RecordBox);
}
MessageBoxRecorder::~MessageBoxRecorder() { SetMessageBoxHandler(nullptr); }
const std::vector<RecordedBox>& MessageBoxRecorder::boxes() const { return g_boxes; }

ConsoleCapture::ConsoleCapture() : path_(TemporaryFilePath()) {
    fflush(stdout);
    savedStdout_ = _dup(_fileno(stdout));
    int fd = _wopen(path_.c_str(), _O_WRONLY | _O_BINARY | _O_TRUNC);
    if (fd >= 0) {
        _dup2(fd, _fileno(stdout));
        _close(fd);
    }
}

ConsoleCapture::~ConsoleCapture() { Finish(); }

std::string ConsoleCapture::Finish() {
    if (savedStdout_ < 0) return {};
    fflush(stdout);
    _dup2(savedStdout_, _fileno(stdout));
    _close(savedStdout_);
    savedStdout_ = -1;

    std::string text;
    if (FILE* file = _wfopen(path_.c_str(), L"rb")) {
        char chunk[4096];
        size_t n;
        while ((n = fread(chunk, 1, sizeof chunk, file)) > 0) text.append(chunk, n);
        fclose(file);
    }
    DeleteFileW(path_.c_str());
    return text;
}

void DeleteMachineKeyTree(const wchar_t* path) {
    LONG result = RegDeleteTreeW(HKEY_LOCAL_MACHINE, path);
    if (result == ERROR_SUCCESS) RegDeleteKeyW(HKEY_LOCAL_MACHINE, path);
}

ScratchKey::ScratchKey(std::wstring path) : path_(std::move(path)) {
    DeleteMachineKeyTree(path_.c_str());
    LONG result = RegCreateKeyExW(HKEY_LOCAL_MACHINE, path_.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key_, nullptr);
    EXPECT_EQ(result, ERROR_SUCCESS) << "cannot create the test key";
}

ScratchKey::~ScratchKey() {
    if (key_ != nullptr) RegCloseKey(key_);
    DeleteMachineKeyTree(path_.c_str());
}

void ScratchKey::SetText(const wchar_t* name, const std::wstring& text) {
    EXPECT_EQ(WriteStoredText(key_, name, text), ERROR_SUCCESS);
}

void ScratchKey::SetBytes(const wchar_t* name, const std::vector<BYTE>& bytes) {
    EXPECT_EQ(WriteStoredBytes(key_, name, bytes), ERROR_SUCCESS);
}

void ScratchKey::CreateSubkey(const std::wstring& relativePath) {
    HKEY sub = nullptr;
    EXPECT_EQ(RegCreateKeyExW(key_, relativePath.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &sub, nullptr),
              ERROR_SUCCESS);
    if (sub != nullptr) RegCloseKey(sub);
}

std::wstring ProgramDirectory() {
    wchar_t path[MAX_PATH];
    DWORD n = GetModuleFileNameW(nullptr, path, MAX_PATH);
    std::wstring text(path, n);
    return text.substr(0, text.find_last_of(L'\\') + 1);
}

std::wstring TemporaryFilePath() {
    wchar_t dir[MAX_PATH];
    wchar_t file[MAX_PATH];
    GetTempPathW(MAX_PATH, dir);
    GetTempFileNameW(dir, L"qax", 0, file);
    return file;
}

void WriteFileBytes(const std::wstring& path, const std::string& bytes) {
    FILE* file = _wfopen(path.c_str(), L"wb");
    ASSERT_NE(file, nullptr);
    fwrite(bytes.data(), 1, bytes.size(), file);
    fclose(file);
}

namespace {
// The worker creates the service's lock before anything uses it; so does the test program.
const bool kPortSlotLockReady = InitializeCriticalSectionAndSpinCount(&g_portSlotLock, 1024) != 0;
}  // namespace
