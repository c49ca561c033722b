// The message table of the built QAXservice.exe, the event source's registration, and the
// reports as the recorder sees them (Wine stores no events).
#include "service/event_log.h"

#include <gtest/gtest.h>

#include <map>
#include <string>

#include "common/unique_handle.h"
#include "service/service_host.h"
#include "tests/unit/service_recorders.h"

namespace {

// The table's texts as the message compiler must store them, %r escapes included.
const std::map<DWORD, std::string> kMessageTexts = {
    {0x00000001, "First category event\r\n"},
    {0x00000002, "Second category event\r\n"},
    {0x00000003, "Dravik QAX Service has started successfully.\r\n%r%r\r\n"},
    {0x00000004, "Dravik QAX Service is now stopping.\r\n%r%r\r\n"},
    {0x00000009, "Dravik QAX Service is now servicing HTTP requests at http://%1:%2\r\n%r%r\r\n"},
    {0x4000000B,
     "Dravik QAX Service has started an audio broadcast to zone \"%1\" using multicast address %2.  "
     "Action initiated by device at IP %3\r\n%r%r\r\n"},
    {0x4000000C,
     "Dravik QAX Service has stopped the audio broadcast to zone \"%1\" using multicast address %2.  "
     "Action initiated by device at IP %3\r\n%r%r\r\n"},
    {0xC0000008, "Dravik QAX Service encountered a critical network error.  Error code: %1\r\n%r%r\r\n"},
    {0xC000000A,
     "Dravik QAX Service was not able to bind to the IP address %1 on TCP port %2 - Error code: %3\r\n%r%r\r\n"},
    {0xC000000D,
     "Dravik QAX Service was not able to open its settings key %1 and will now exit - Error code: %2\r\n%r%r\r\n"},
};

struct ServiceModule {
    ServiceModule() {
        const std::wstring path = ProgramDirectory() + L"QAXservice.exe";
        module = LoadLibraryExW(path.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
    }
    ~ServiceModule() {
        if (module != nullptr) FreeLibrary(module);
    }
    HMODULE module = nullptr;
};

std::wstring Format(HMODULE module, DWORD id, const wchar_t** inserts) {
    wchar_t* text = nullptr;
    DWORD flags = FORMAT_MESSAGE_FROM_HMODULE | FORMAT_MESSAGE_ALLOCATE_BUFFER |
                  (inserts != nullptr ? FORMAT_MESSAGE_ARGUMENT_ARRAY : FORMAT_MESSAGE_IGNORE_INSERTS);
    DWORD n = FormatMessageW(flags, module, id, MAKELANGID(LANG_ENGLISH, SUBLANG_ENGLISH_US),
                             reinterpret_cast<wchar_t*>(&text), 0,
                             reinterpret_cast<va_list*>(const_cast<wchar_t**>(inserts)));
    std::wstring result = n != 0 ? std::wstring(text, n) : L"<FormatMessageW failed " + std::to_wstring(GetLastError()) + L">";
    LocalFree(text);
    return result;
}

std::wstring Widen(const std::string& text) { return std::wstring(text.begin(), text.end()); }

std::wstring WithLoneCarriageReturns(std::wstring text) {
    for (size_t at; (at = text.find(L"%r")) != std::wstring::npos;) text.replace(at, 2, L"\r");
    return text;
}

// The raw entries of message table 1 in language 1033: id -> (flags, text).
std::map<DWORD, std::pair<WORD, std::string>> RawEntries(HMODULE module) {
    std::map<DWORD, std::pair<WORD, std::string>> entries;
    HRSRC resource = FindResourceExW(module, RT_MESSAGETABLE, MAKEINTRESOURCEW(1), MAKELANGID(LANG_ENGLISH, SUBLANG_ENGLISH_US));
    if (resource == nullptr) return entries;
    const BYTE* base = static_cast<const BYTE*>(LockResource(LoadResource(module, resource)));
    const auto* table = reinterpret_cast<const MESSAGE_RESOURCE_DATA*>(base);
    for (DWORD b = 0; b < table->NumberOfBlocks; ++b) {
        const MESSAGE_RESOURCE_BLOCK& block = table->Blocks[b];
        const BYTE* entry = base + block.OffsetToEntries;
        for (DWORD id = block.LowId; id <= block.HighId; ++id) {
            const auto* e = reinterpret_cast<const MESSAGE_RESOURCE_ENTRY*>(entry);
            std::string text(reinterpret_cast<const char*>(e->Text), e->Length - 4);
            text = text.substr(0, text.find('\0'));
            entries[id] = {e->Flags, text};
            entry += e->Length;
        }
    }
    return entries;
}

}  // namespace

TEST(MessageTable, HoldsExactlyTheServiceMessagesAsEightBitText) {
    ServiceModule service;
    ASSERT_NE(service.module, nullptr) << "QAXservice.exe must lie beside unit_tests.exe";
    auto entries = RawEntries(service.module);
    ASSERT_EQ(entries.size(), kMessageTexts.size());
    for (const auto& [id, text] : kMessageTexts) {
        SCOPED_TRACE(testing::Message() << "message 0x" << std::hex << id);
        ASSERT_EQ(entries.count(id), 1u);
        EXPECT_EQ(entries[id].first, 0) << "entry stored as UTF-16";
        EXPECT_EQ(entries[id].second, text);
    }
}

TEST(MessageTable, FormatsEveryMessageWithLoneCarriageReturns) {
    ServiceModule service;
    ASSERT_NE(service.module, nullptr);
    for (const auto& [id, text] : kMessageTexts) {
        SCOPED_TRACE(testing::Message() << "message 0x" << std::hex << id);
        EXPECT_EQ(Format(service.module, id, nullptr), WithLoneCarriageReturns(Widen(text)));
    }
}

TEST(MessageTable, PutsInsertionStringsInPlace) {
    ServiceModule service;
    ASSERT_NE(service.module, nullptr);
    const wchar_t* broadcast[] = {L"Zone & \"One\"", L"239.1.2.3:20480", L"127.0.10.7"};
    EXPECT_EQ(Format(service.module, 0x4000000B, broadcast),
              L"Dravik QAX Service has started an audio broadcast to zone \"Zone & \"One\"\" using multicast "
              L"address 239.1.2.3:20480.  Action initiated by device at IP 127.0.10.7\r\n\r\r\r\n");
    const wchar_t* bind[] = {L"127.0.10.1", L"70000", L"10049"};
    EXPECT_EQ(Format(service.module, 0xC000000A, bind),
              L"Dravik QAX Service was not able to bind to the IP address 127.0.10.1 on TCP port 70000 - "
              L"Error code: 10049\r\n\r\r\r\n");
}

namespace {

const std::wstring kTestSource = L"Dravik QAX unit test source";

std::wstring SourceKeyPath(const std::wstring& source) { return kEventSourceKeyPrefix + source; }

struct StoredValue {
    DWORD type = 0;
    std::vector<BYTE> data;
    bool present = false;
};

StoredValue ReadValue(const std::wstring& keyPath, const wchar_t* name) {
    StoredValue value;
    UniqueRegKey key;
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, keyPath.c_str(), 0, KEY_READ, key.put()) != ERROR_SUCCESS) return value;
    DWORD size = 0;
    if (RegQueryValueExW(key.get(), name, nullptr, &value.type, nullptr, &size) != ERROR_SUCCESS) return value;
    value.data.resize(size);
    value.present = RegQueryValueExW(key.get(), name, nullptr, &value.type, value.data.data(), &size) == ERROR_SUCCESS;
    return value;
}

std::vector<BYTE> PathWithTerminator(const std::wstring& path) {
    const BYTE* bytes = reinterpret_cast<const BYTE*>(path.c_str());
    return std::vector<BYTE>(bytes, bytes + (path.size() + 1) * sizeof(wchar_t));
}

std::wstring ThisProgram() {
    wchar_t path[MAX_PATH];
    DWORD n = GetModuleFileNameW(nullptr, path, MAX_PATH);
    return std::wstring(path, n);
}

DWORD Number(const StoredValue& value) {
    DWORD number = 0;
    if (value.data.size() == sizeof number) memcpy(&number, value.data.data(), sizeof number);
    return number;
}

}  // namespace

TEST(EventSource, NamesTheRunningProgramAsMessageAndCategoryFile) {
    DeleteMachineKeyTree(SourceKeyPath(kTestSource).c_str());
    AddEventSource(kTestSource.c_str(), 2);
    const std::wstring key = SourceKeyPath(kTestSource);

    StoredValue messageFile = ReadValue(key, L"EventMessageFile");
    ASSERT_TRUE(messageFile.present);
    EXPECT_EQ(messageFile.type, static_cast<DWORD>(REG_EXPAND_SZ));
    EXPECT_EQ(messageFile.data, PathWithTerminator(ThisProgram()));

    StoredValue types = ReadValue(key, L"TypesSupported");
    EXPECT_EQ(types.type, static_cast<DWORD>(REG_DWORD));
    EXPECT_EQ(Number(types), 7u);

    StoredValue categoryFile = ReadValue(key, L"CategoryMessageFile");
    EXPECT_EQ(categoryFile.type, static_cast<DWORD>(REG_EXPAND_SZ));
    EXPECT_EQ(categoryFile.data, PathWithTerminator(ThisProgram()));

    StoredValue categories = ReadValue(key, L"CategoryCount");
    EXPECT_EQ(categories.type, static_cast<DWORD>(REG_DWORD));
    EXPECT_EQ(Number(categories), 2u);
    DeleteMachineKeyTree(key.c_str());
}

TEST(EventSource, WithoutCategoriesWritesNoCategoryValues) {
    const std::wstring key = SourceKeyPath(kTestSource);
    DeleteMachineKeyTree(key.c_str());
    AddEventSource(kTestSource.c_str(), 0);
    EXPECT_TRUE(ReadValue(key, L"EventMessageFile").present);
    EXPECT_EQ(Number(ReadValue(key, L"TypesSupported")), 7u);
    EXPECT_FALSE(ReadValue(key, L"CategoryMessageFile").present);
    EXPECT_FALSE(ReadValue(key, L"CategoryCount").present);
    DeleteMachineKeyTree(key.c_str());
}

TEST(ReportServiceEvent, RegistersTheServiceSourceAgainBeforeEveryReport) {
    EventRecorder recorder;
    const std::wstring key = SourceKeyPath(kServiceName);
    DeleteMachineKeyTree(key.c_str());

    ReportServiceEvent(MSG_SERVICE_STARTED, EVENTLOG_INFORMATION_TYPE, nullptr, 0);
    EXPECT_EQ(ReadValue(key, L"EventMessageFile").data, PathWithTerminator(ThisProgram()));
    EXPECT_EQ(Number(ReadValue(key, L"CategoryCount")), 2u);

    // A moved executable: the next report names the program's new place.
    {
        UniqueRegKey source;
        ASSERT_EQ(RegOpenKeyExW(HKEY_LOCAL_MACHINE, key.c_str(), 0, KEY_SET_VALUE, source.put()), ERROR_SUCCESS);
        const wchar_t old[] = L"C:\\Old place\\QAXservice.exe";
        RegSetValueExW(source.get(), L"EventMessageFile", 0, REG_EXPAND_SZ, reinterpret_cast<const BYTE*>(old), sizeof old);
    }
    ReportServiceEvent(MSG_SERVICE_STOPPING, EVENTLOG_INFORMATION_TYPE, nullptr, 0);
    EXPECT_EQ(ReadValue(key, L"EventMessageFile").data, PathWithTerminator(ThisProgram()));
    DeleteMachineKeyTree(key.c_str());
}

TEST(ReportServiceEvent, HandsIdTypeAndInsertionStringsToTheReporterUnchanged) {
    EventRecorder recorder;
    std::wstring longZone(255, L'Z');
    const wchar_t* strings[] = {longZone.c_str(), L"239.1.2.3:20480", L"127.0.10.7"};
    ReportServiceEvent(MSG_BROADCAST_STARTED, EVENTLOG_INFORMATION_TYPE, strings, 3);
    ReportServiceEvent(MSG_SERVICE_STARTED, EVENTLOG_INFORMATION_TYPE, nullptr, 0);

    ASSERT_EQ(recorder.events().size(), 2u);
    EXPECT_EQ(recorder.events()[0].id, 0x4000000Bu);
    EXPECT_EQ(recorder.events()[0].type, EVENTLOG_INFORMATION_TYPE);
    EXPECT_EQ(recorder.events()[0].strings, (std::vector<std::wstring>{longZone, L"239.1.2.3:20480", L"127.0.10.7"}));
    EXPECT_EQ(recorder.events()[1].id, 3u);
    EXPECT_TRUE(recorder.events()[1].strings.empty());
    DeleteMachineKeyTree(SourceKeyPath(kServiceName).c_str());
}
