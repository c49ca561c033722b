// ReadProgramSettings in-process against the real registry, seeded by each test, with message
// boxes recorded and the console captured.
#include "service/settings.h"

#include <gtest/gtest.h>

#include <cstdio>

#include "common/message_box.h"
#include "service/event_log.h"
#include "service/port_slots.h"
#include "service/service_host.h"
#include "tests/unit/service_recorders.h"

namespace {

std::wstring W(const std::string& text) { return std::wstring(text.begin(), text.end()); }

size_t Count(const std::string& text, const std::string& part) {
    size_t n = 0;
    for (size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + part.size())) ++n;
    return n;
}

class Settings : public testing::Test {
protected:
    Settings() : key_(kSettingsKeyPath), dataFile_(TemporaryFilePath()) {}
    ~Settings() override {
        console_.Finish();
        DeleteFileW(dataFile_.c_str());
        RTPportCreateTable(0, -1);
    }

    // Every value of the service stored, the data file beside; tests change what they need.
    void SeedAll() {
        key_.SetText(kValueDataFile, dataFile_);
        key_.SetText(kValueDeviceSelections, L"SEPA;SEPB;");
        key_.SetText(kValueHttpServerIP, L"127.0.10.1");
        key_.SetText(kValueHttpServerPort, L"8080");
        key_.SetText(kValueMulticastTargetIP, L"239.1.1.1");
        key_.SetText(kValuePortRangeStart, L"20480");
        key_.SetText(kValuePortRangeEnd, L"20481");
        key_.SetBytes(kValueMulticastUsername, ScrambleCredential(L"pager"));
        key_.SetBytes(kValueMulticastPassword, ScrambleCredential(L"s3cr\u00e9t"));
        key_.SetText(kValueMulticastVolume, L"50");
        key_.SetText(kValueMessageText, L"Fire alarm");
        key_.SetText(kValueAlertSound, L"Chime.raw");
        key_.SetText(kValueMaxDuration, L"10");
        key_.CreateSubkey(L"Zones");
        WriteDataFile("1001\tLobby\t127.0.10.21\tSEPA\r\n"
                      "1002\tDesk\t127.0.10.22\tSEPB\r\n");
    }

    void WriteDataFile(const std::string& text) { WriteFileBytes(dataFile_, text); }

    int Read() {
        int result = ReadProgramSettings();
        output_ = console_.Finish();
        return result;
    }

    std::vector<std::string> Targets() const {
        std::vector<std::string> targets;
        for (int i = 0; i < g_phoneClientCount; ++i) {
            std::wstring name = g_phoneClients[i].deviceName;
            targets.push_back(std::string(name.begin(), name.end()) + "=" + g_phoneClients[i].ip);
        }
        return targets;
    }

    ScratchKey key_;
    std::wstring dataFile_;
    MessageBoxRecorder boxes_;
    ConsoleCapture console_;
    std::string output_;
};

using Strings = std::vector<std::string>;

}  // namespace

TEST_F(Settings, EmptyKeyShowsOneBoxPerValueAndRunsOnDefaults) {
    key_.CreateSubkey(L"Zones\\Lobby");
    ASSERT_EQ(Read(), 1);

    ASSERT_EQ(boxes_.boxes().size(), 13u);
    for (const RecordedBox& box : boxes_.boxes()) {
        EXPECT_EQ(box.text, kAbsentValueText);
        EXPECT_EQ(box.caption, L"Dravik Software");
        EXPECT_EQ(box.flags, static_cast<UINT>(MB_SERVICE_NOTIFICATION | MB_ICONERROR));
        EXPECT_EQ(box.owner, nullptr) << "a box with MB_SERVICE_NOTIFICATION must have no owner";
    }
    EXPECT_STREQ(g_dataFilePath, L"%PROGRAMDATA%\\DravikSoftware\\QAX\\CUCMdata.dat");
    EXPECT_STREQ(httpServerIP, L"");
    EXPECT_EQ(httpServerPort, 80);
    EXPECT_EQ(iMulticastVolume, 80);
    EXPECT_EQ(MulticastMaxDuration, 5);
    EXPECT_STREQ(wzMulticastUsername, L"");
    ASSERT_EQ(g_rtpPortSlotCount, 1);
    EXPECT_EQ(g_rtpPortSlots[0].port, 0);
    EXPECT_EQ(g_phoneClientCount, 0);
    ASSERT_EQ(g_zoneCount, 1);
    EXPECT_STREQ(g_zoneTable[0].name, L"Lobby");
    EXPECT_EQ(output_,
              "httpServerIP: \n"
              "httpServerPort: 80\n"
              "MulticastTargetIP: \n"
              "MulticastTargetPortRangeStart: 0\n"
              "MulticastTargetPortRangeEnd: 0\n"
              "Memory allocated for 1 ports.\r\n"
              "RTPportInitialize(): Slot 0 now assigned with port: 0\r\n"
              "replaying...RTPportInitialize(): Slot 0 is assigned with port: 0\r\n"
              "MulticastVolume: 80\n"
              "MulticastMessageText: \n"
              "MulticastAlertSound: \n"
              "MulticastMaxDuration: 5\n"
              "ZONE: Lobby\tMEMBERS: \r\n");
}

TEST_F(Settings, EmptyValuesKeepTheDefaultsWithoutABox) {
    for (const wchar_t* name : {kValueDataFile, kValueDeviceSelections, kValueHttpServerIP, kValueHttpServerPort,
                                kValueMulticastTargetIP, kValuePortRangeStart, kValuePortRangeEnd, kValueMulticastUsername,
                                kValueMulticastPassword, kValueMulticastVolume, kValueMessageText, kValueAlertSound,
                                kValueMaxDuration})
        key_.SetText(name, L"");
    key_.CreateSubkey(L"Zones");
    ASSERT_EQ(Read(), 1);
    EXPECT_TRUE(boxes_.boxes().empty());
    EXPECT_STREQ(g_dataFilePath, kDefaultDataFilePath);
    EXPECT_EQ(httpServerPort, 80);
    EXPECT_EQ(iMulticastVolume, 80);
    EXPECT_EQ(MulticastMaxDuration, 5);
    EXPECT_EQ(g_rtpPortSlotCount, 1);
    EXPECT_EQ(g_phoneClientCount, 0);
    EXPECT_EQ(g_zoneCount, 0);
}

TEST_F(Settings, EveryValueReachesItsField) {
    SeedAll();
    key_.CreateSubkey(L"Zones\\Alpha\\SEPA");
    key_.CreateSubkey(L"Zones\\Alpha\\SEPB");
    key_.CreateSubkey(L"Zones\\Bravo");
    ASSERT_EQ(Read(), 1);
    EXPECT_TRUE(boxes_.boxes().empty());

    EXPECT_EQ(g_dataFilePath, dataFile_);
    EXPECT_STREQ(httpServerIP, L"127.0.10.1");
    EXPECT_EQ(httpServerPort, 8080);
    EXPECT_STREQ(wzMulticastTargetIP, L"239.1.1.1");
    EXPECT_STREQ(wzMulticastUsername, L"pager");
    EXPECT_STREQ(wzMulticastPassword, L"s3cr\u00e9t");
    EXPECT_EQ(iMulticastVolume, 50);
    EXPECT_STREQ(wzMulticastMessageText, L"Fire alarm");
    EXPECT_STREQ(wzMulticastAlertSound, L"Chime.raw");
    EXPECT_EQ(MulticastMaxDuration, 10);
    EXPECT_EQ(Targets(), (Strings{"SEPA=127.0.10.21", "SEPB=127.0.10.22"}));
    ASSERT_EQ(g_zoneCount, 2);
    EXPECT_STREQ(g_zoneTable[0].members, L"SEPA;SEPB");
    // The console transcript of a whole start-up is checked end to end on the executable.
}

TEST_F(Settings, NumbersWithoutDigitsGiveZeroAndEmptyOnesTheDefault) {
    SeedAll();
    key_.SetText(kValueHttpServerPort, L"port");
    key_.SetText(kValueMulticastVolume, L"  75 percent");
    key_.SetText(kValueMaxDuration, L"");
    ASSERT_EQ(Read(), 1);
    EXPECT_EQ(httpServerPort, 0);
    EXPECT_EQ(iMulticastVolume, 75);
    EXPECT_EQ(MulticastMaxDuration, 5);
    EXPECT_NE(output_.find("httpServerPort: 0\n"), std::string::npos);
}

TEST_F(Settings, CredentialsAreUnscrambledToTheTypedText) {
    SeedAll();
    const std::wstring longName(300, L'u');
    key_.SetBytes(kValueMulticastUsername, ScrambleCredential(longName));
    key_.SetBytes(kValueMulticastPassword, ScrambleCredential(L"p\u00e4ss; \"w\u0151rd\""));
    ASSERT_EQ(Read(), 1);
    EXPECT_EQ(std::wstring(wzMulticastUsername), longName.substr(0, 255)) << "cut at the field's capacity";
    EXPECT_STREQ(wzMulticastPassword, L"p\u00e4ss; \"w\u0151rd\"");
    EXPECT_EQ(output_.find("pager"), std::string::npos) << "credentials never reach the console";
}

TEST_F(Settings, LongTextsAreCutAtTheirFieldsCapacity) {
    SeedAll();
    key_.SetText(kValueHttpServerIP, L"127.000.010.001:8080");
    key_.SetText(kValueMulticastTargetIP, L"239.255.255.255.1");
    key_.SetText(kValueMessageText, std::wstring(400, L'm'));
    key_.SetText(kValueAlertSound, std::wstring(256, L's'));
    key_.SetText(kValueDataFile, L"C:\\" + std::wstring(300, L'd'));
    ASSERT_EQ(Read(), 1);
    EXPECT_STREQ(httpServerIP, L"127.000.010.001");
    EXPECT_STREQ(wzMulticastTargetIP, L"239.255.255.255");
    EXPECT_EQ(std::wstring(wzMulticastMessageText), std::wstring(255, L'm'));
    EXPECT_EQ(std::wstring(wzMulticastAlertSound), std::wstring(255, L's'));
    EXPECT_EQ(wcslen(g_dataFilePath), 259u);
    EXPECT_NE(output_.find("httpServerIP: 127.000.010.001\n"), std::string::npos);
}

TEST_F(Settings, SelectionItemsSkipEmptiesAndKeepDuplicatesInOrder) {
    SeedAll();
    key_.SetText(kValueDeviceSelections, L"SEPB;;SEPA;SEPB;");
    ASSERT_EQ(Read(), 1);
    EXPECT_EQ(Targets(), (Strings{"SEPB=127.0.10.22", "SEPA=127.0.10.21", "SEPB=127.0.10.22"}));
}

TEST_F(Settings, ItemsAreLookedUpUpToTheirFirstNonPrintableCharacter) {
    SeedAll();
    key_.SetText(kValueDeviceSelections, L"SEPA\r\n;SEPB\t;\n;");
    ASSERT_EQ(Read(), 1);
    EXPECT_EQ(Targets(), (Strings{"SEPA=127.0.10.21", "SEPB=127.0.10.22"}));
    EXPECT_NE(output_.find("Searching for element SEPA...\r\n"), std::string::npos);
}

TEST_F(Settings, DataFileLinesWithEmptyFieldsAreFoundAndTheFirstMatchWins) {
    SeedAll();
    key_.SetText(kValueDeviceSelections, L"SEPA;SEPB;SEPC;SEPD;SEPE;");
    WriteDataFile("1001\tLobby\t127.0.10.21\n"           // no Name field: never a match
                  "\t\t127.0.10.31\tSEPA\r\n"             // empty DirNumber and Description
                  "1002\tDesk\t127.0.10.41\tSEPA\r\n"     // a second SEPA: not used
                  "\t\t\t\r\n"                            // no name at all
                  "1003\t\t127.0.10.22\tSEPB\textra\r\n"  // fields after the fourth ignored
                  "1004\tTab\t127.0.10.23\tSEPC\x01junk\r\n"
                  "1005\tNo address\t\tSEPD\r\n");
    ASSERT_EQ(Read(), 1);
    EXPECT_EQ(Targets(), (Strings{"SEPA=127.0.10.31", "SEPB=127.0.10.22", "SEPC=127.0.10.23", "SEPD="}));
    EXPECT_NE(output_.find("Comparing... <SEPC> to <SEPC> \r\n"), std::string::npos);
    EXPECT_EQ(Count(output_, "Comparing... <> to <SEPE> \r\n"), 1u) << "the nameless line is compared, never matched";
}

TEST_F(Settings, AnItemOverFifteenCharactersIsNeverATarget) {
    SeedAll();
    key_.SetText(kValueDeviceSelections, L"SEP0123456789ABC;SEP0123456789AB;");
    WriteDataFile("\t\t127.0.10.21\tSEP0123456789ABC\r\n"
                  "\t\t127.0.10.22\tSEP0123456789AB\r\n");
    ASSERT_EQ(Read(), 1);
    EXPECT_EQ(Targets(), (Strings{"SEP0123456789AB=127.0.10.22"}));
}

TEST_F(Settings, AddressesFromTheDataFileAreCutAtFifteenCharacters) {
    SeedAll();
    key_.SetText(kValueDeviceSelections, L"SEPA;");
    WriteDataFile("\t\t127.000.010.021.7\tSEPA\r\n");
    ASSERT_EQ(Read(), 1);
    EXPECT_EQ(Targets(), (Strings{"SEPA=127.000.010.021"}));
}

TEST_F(Settings, ThreeHundredSelectedPhonesGiveTheFirstTwoHundredFiftySix) {
    SeedAll();
    std::wstring selection;
    std::string data;
    for (int i = 0; i < 300; ++i) {
        const std::string name = "SEP" + std::to_string(100000 + i);
        selection += W(name) + L";";
        data += "\t\t127.0.11." + std::to_string(i % 250) + "\t" + name + "\r\n";
    }
    key_.SetText(kValueDeviceSelections, selection);
    WriteDataFile(data);
    ASSERT_EQ(Read(), 1);
    ASSERT_EQ(g_phoneClientCount, 256);
    EXPECT_STREQ(g_phoneClients[0].deviceName, L"SEP100000");
    EXPECT_STREQ(g_phoneClients[255].deviceName, L"SEP100255");
    EXPECT_STREQ(g_phoneClients[255].ip, "127.0.11.5");
    EXPECT_EQ(Count(output_, "Searching for element"), 256u) << "items after the 256th are not looked up";
}

TEST_F(Settings, DataFilePathExpandsEnvironmentVariables) {
    SeedAll();
    const std::wstring dir = dataFile_.substr(0, dataFile_.find_last_of(L'\\'));
    ASSERT_TRUE(SetEnvironmentVariableW(L"QAX_TEST_DATA_DIR", dir.c_str()));
    key_.SetText(kValueDataFile, L"%QAX_TEST_DATA_DIR%" + dataFile_.substr(dir.size()));
    ASSERT_EQ(Read(), 1);
    EXPECT_EQ(g_phoneClientCount, 2);
}

TEST_F(Settings, MissingDataFileGivesNoTargetsAndOneLinePerItem) {
    SeedAll();
    key_.SetText(kValueDataFile, L"C:\\no such directory\\CUCMdata.dat");
    ASSERT_EQ(Read(), 1);
    EXPECT_EQ(g_phoneClientCount, 0);
    EXPECT_EQ(Count(output_, "Looking for SEPA...Could not open data file!\r\n"), 1u);
    EXPECT_EQ(Count(output_, "Could not open data file!\r\n"), 2u);
}

TEST_F(Settings, ZonesKeepRegistryOrderMembersAndDescriptions) {
    SeedAll();
    key_.CreateSubkey(L"Zones\\Alpha\\A");
    key_.CreateSubkey(L"Zones\\Alpha\\B");
    key_.CreateSubkey(L"Zones\\Alpha\\C");
    key_.CreateSubkey(L"Zones\\Bravo");
    key_.CreateSubkey(L"Zones\\Charlie & Co");
    {
        HKEY zone = nullptr;
        ASSERT_EQ(RegOpenKeyExW(key_.get(), L"Zones\\Alpha", 0, KEY_SET_VALUE, &zone), ERROR_SUCCESS);
        WriteStoredText(zone, kZoneDescriptionValue, L"Ground floor");
        RegCloseKey(zone);
        ASSERT_EQ(RegOpenKeyExW(key_.get(), L"Zones\\Bravo", 0, KEY_SET_VALUE, &zone), ERROR_SUCCESS);
        WriteStoredText(zone, kZoneDescriptionValue, std::wstring(300, L'd'));
        RegCloseKey(zone);
    }
    ASSERT_EQ(Read(), 1);
    ASSERT_EQ(g_zoneCount, 3);
    EXPECT_STREQ(g_zoneTable[0].name, L"Alpha");
    EXPECT_EQ(g_zoneTable[0].nameLength, 5u);
    EXPECT_STREQ(g_zoneTable[0].description, L"Ground floor");
    EXPECT_STREQ(g_zoneTable[0].members, L"A;B;C");
    EXPECT_STREQ(g_zoneTable[1].name, L"Bravo");
    EXPECT_EQ(std::wstring(g_zoneTable[1].description), std::wstring(255, L'd'));
    EXPECT_STREQ(g_zoneTable[1].members, L"");
    EXPECT_STREQ(g_zoneTable[2].name, L"Charlie & Co");
    EXPECT_STREQ(g_zoneTable[2].description, L"");
    EXPECT_NE(output_.find("READ: A\r\nREAD: B\r\nREAD: C\r\nZONE: Alpha\tMEMBERS: A;B;C\r\n"
                           "ZONE: Bravo\tMEMBERS: \r\nZONE: Charlie & Co\tMEMBERS: \r\n"),
              std::string::npos);
    EXPECT_TRUE(boxes_.boxes().empty());
}

TEST_F(Settings, MembersThatDoNotFitAreLeftOutWhole) {
    SeedAll();
    for (int i = 0; i < 257; ++i) {
        wchar_t prefix[8];
        swprintf(prefix, 8, L"%03d", i);
        key_.CreateSubkey(L"Zones\\Big\\" + std::wstring(prefix) + std::wstring(252, L'm'));
    }
    ASSERT_EQ(Read(), 1);
    ASSERT_EQ(g_zoneCount, 1);
    const std::wstring members = g_zoneTable[0].members;
    EXPECT_EQ(members.size(), 256u * 256u - 1u);
    EXPECT_EQ(members.substr(members.size() - 255), L"255" + std::wstring(252, L'm'));
    EXPECT_EQ(Count(output_, "READ: "), 257u);
}

TEST_F(Settings, MissingZonesKeyShowsTheKeyBoxAndLeavesNoZones) {
    SeedAll();
    RegDeleteKeyW(key_.get(), L"Zones");
    ASSERT_EQ(Read(), 1);
    ASSERT_EQ(boxes_.boxes().size(), 1u);
    EXPECT_EQ(boxes_.boxes()[0].text, kKeyOpenErrorText);
    EXPECT_EQ(boxes_.boxes()[0].caption, L"Dravik Software");
    EXPECT_EQ(boxes_.boxes()[0].flags, static_cast<UINT>(MB_SERVICE_NOTIFICATION | MB_ICONERROR));
    EXPECT_EQ(boxes_.boxes()[0].owner, nullptr);
    EXPECT_EQ(g_zoneCount, 0);
    EXPECT_EQ(g_phoneClientCount, 2) << "the service goes on with what it could read";
}

TEST_F(Settings, PortTableFailureStopsTheReadingBeforeTheCredentials) {
    SeedAll();
    key_.SetText(kValuePortRangeStart, L"1");
    key_.SetText(kValuePortRangeEnd, L"70000");
    key_.CreateSubkey(L"Zones\\Alpha");
    EXPECT_EQ(Read(), 0);
    EXPECT_EQ(g_rtpPortSlotCount, 0);
    EXPECT_STREQ(wzMulticastUsername, L"");
    EXPECT_EQ(iMulticastVolume, 80);
    EXPECT_EQ(MulticastMaxDuration, 5);
    EXPECT_EQ(g_zoneCount, 0);
    EXPECT_EQ(g_phoneClientCount, 2) << "targets are resolved before the range is read";
    EXPECT_NE(output_.find("MulticastTargetPortRangeEnd: 70000\nError allocating memory from heap!\r\n"), std::string::npos);
    EXPECT_EQ(output_.find("MulticastVolume"), std::string::npos);
}

TEST_F(Settings, QueryRegistryValueShowsTheBoxOnlyWhenAsked) {
    key_.SetText(L"Present", L"x");
    std::vector<BYTE> buffer;
    EXPECT_EQ(QueryRegistryValue(key_.get(), L"Present", &buffer, true), 4u);
    EXPECT_EQ(QueryRegistryValue(key_.get(), L"Absent", &buffer, false), 0u);
    EXPECT_TRUE(boxes_.boxes().empty());
    EXPECT_EQ(QueryRegistryValue(key_.get(), L"Absent", &buffer, true), 0u);
    EXPECT_EQ(boxes_.boxes().size(), 1u);
}

namespace {
// In the death test's child the boxes go to stderr, where the parent can match them.
int PrintBox(HWND owner, const wchar_t* text, const wchar_t* caption, UINT flags) {
    std::wstring line = std::wstring(caption) + L"|" + text;
    for (wchar_t& c : line)
        if (c == L'\r' || c == L'\n') c = L'~';
    fprintf(stderr, "BOX owner=%p flags=%u %ls\n", static_cast<void*>(owner), flags, line.c_str());
    fflush(stderr);
    return IDOK;
}

void PrintEvent(DWORD id, WORD type, const wchar_t** strings, WORD count) {
    std::wstring line;
    for (WORD i = 0; i < count; ++i) line += (i == 0 ? L"" : L"|") + std::wstring(strings[i]);
    fprintf(stderr, "EVENT id=%lx type=%u %ls\n", static_cast<unsigned long>(id), type, line.c_str());
    fflush(stderr);
}
}  // namespace

TEST(SettingsKey, MissingKeyShowsTwoBoxesAndEndsTheProcessWithZero) {
    // A console run ("-run"): two plain boxes and nothing in the event log (an event would
    // come before the first box).
    DeleteMachineKeyTree(kSettingsKeyPath);
    EXPECT_EXIT(
        {
            SetMessageBoxHandler(PrintBox);
            SetEventReporter(PrintEvent);
            g_consoleMode = true;
            ReadProgramSettings();
        },
        testing::ExitedWithCode(0),
        "^BOX owner=0+ flags=16 Dravik QAX Configurator\\|Could not open registry to query information\\.\n"
        "BOX owner=0+ flags=16 Dravik Software - QAX Configurator\\|An error occured while attempting to read settings "
        "from the registry\\.  The settings were either not found or invalid\\.~~~~The program will now exit\\.");
}

TEST(SettingsKey, UnderTheServiceManagerTheFailureIsLoggedAndItsBoxesReachTheUser) {
    DeleteMachineKeyTree(kSettingsKeyPath);
    // 2097168: MB_SERVICE_NOTIFICATION | MB_ICONERROR; error 2: the key does not exist.
    EXPECT_EXIT(
        {
            SetMessageBoxHandler(PrintBox);
            SetEventReporter(PrintEvent);
            g_consoleMode = false;
            ReadProgramSettings();
        },
        testing::ExitedWithCode(0),
        "^EVENT id=c000000d type=1 HKEY_LOCAL_MACHINE\\\\Software\\\\Dravik Software\\\\QAX\\|2\n"
        "BOX owner=0+ flags=2097168 Dravik QAX Configurator\\|Could not open registry to query information\\.\n"
        "BOX owner=0+ flags=2097168 Dravik Software - QAX Configurator\\|An error occured while attempting to read "
        "settings from the registry\\.  The settings were either not found or invalid\\.~~~~The program will now "
        "exit\\.");
    DeleteMachineKeyTree(L"SYSTEM\\CurrentControlSet\\Services\\EventLog\\Application\\Dravik QAX");
}
