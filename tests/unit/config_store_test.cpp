// The stored configuration as both programs meet it: value storage in the real registry,
// numbers, credential scrambling, the selection list and the phone data file.
#include "common/config_store.h"

#include <gtest/gtest.h>

#include "common/message_box.h"
#include "tests/unit/service_recorders.h"

namespace {
const wchar_t kScratchPath[] = L"Software\\Dravik Software\\QAX unit test scratch";

std::vector<BYTE> Bytes(const std::wstring& text, bool terminator) {
    const BYTE* p = reinterpret_cast<const BYTE*>(text.c_str());
    return std::vector<BYTE>(p, p + (text.size() + (terminator ? 1 : 0)) * sizeof(wchar_t));
}
}  // namespace

TEST(ValueStorage, TextIsStoredWithItsTerminatorAndEmptyTextAsZeroBytes) {
    ScratchKey key(kScratchPath);
    key.SetText(L"Text", L"10.0.0.1");
    key.SetText(L"Empty", L"");

    std::vector<BYTE> data;
    ASSERT_TRUE(ReadStoredValue(key.get(), L"Text", &data));
    EXPECT_EQ(data, Bytes(L"10.0.0.1", true));
    EXPECT_EQ(StoredText(data), L"10.0.0.1");

    ASSERT_TRUE(ReadStoredValue(key.get(), L"Empty", &data));
    EXPECT_TRUE(data.empty());
    EXPECT_EQ(StoredText(data), L"");
}

TEST(ValueStorage, AbsentValueIsNotTheEmptyValueNorATerminatorAlone) {
    ScratchKey key(kScratchPath);
    key.SetBytes(L"Terminator", {0, 0});
    std::vector<BYTE> data{1, 2, 3};
    EXPECT_FALSE(ReadStoredValue(key.get(), L"Missing", &data));
    EXPECT_TRUE(data.empty());

    ASSERT_TRUE(ReadStoredValue(key.get(), L"Terminator", &data));
    EXPECT_EQ(data.size(), 2u);
    EXPECT_EQ(StoredText(data), L"");
}

TEST(ValueStorage, ReadersIgnoreTheStoredTypeAndStopAtTheFirstZeroUnit) {
    ScratchKey key(kScratchPath);
    const wchar_t expand[] = L"%TEMP%\\a\0tail";
    ASSERT_EQ(RegSetValueExW(key.get(), L"Expand", 0, REG_EXPAND_SZ, reinterpret_cast<const BYTE*>(expand), sizeof expand),
              ERROR_SUCCESS);
    std::vector<BYTE> data;
    ASSERT_TRUE(ReadStoredValue(key.get(), L"Expand", &data));
    EXPECT_EQ(data.size(), sizeof expand);
    EXPECT_EQ(StoredText(data), L"%TEMP%\\a");

    // A text without terminator and an odd byte count still reads as its whole units.
    key.SetBytes(L"Unterminated", {'A', 0, 'B', 0, 'C'});
    ASSERT_TRUE(ReadStoredValue(key.get(), L"Unterminated", &data));
    EXPECT_EQ(StoredText(data), L"AB");
}

TEST(ValueStorage, AbsentAndKeyBoxesCarryTheirTextsCaptionAndFlags) {
    MessageBoxRecorder boxes;
    ShowAbsentValueBox();
    ShowKeyOpenErrorBox();
    ASSERT_EQ(boxes.boxes().size(), 2u);
    EXPECT_EQ(boxes.boxes()[0].text,
              L"Error reading program settings from the registry.\r\n\r\nThe program may not work correctly and exit.");
    EXPECT_EQ(boxes.boxes()[1].text, L"Error reading program settings from the registry.\r\n\r\nThe program will now exit.");
    for (const RecordedBox& box : boxes.boxes()) {
        EXPECT_EQ(box.caption, L"Dravik Software");
        EXPECT_EQ(box.flags, static_cast<UINT>(MB_SERVICE_NOTIFICATION | MB_ICONERROR));
        EXPECT_EQ(box.owner, GetDesktopWindow());
    }
}

TEST(StoredNumbers, ParseLikeBaseTenTextWithBlanksAndSign) {
    EXPECT_EQ(ParseStoredNumber(L"8080"), 8080);
    EXPECT_EQ(ParseStoredNumber(L"  \t-12"), -12);
    EXPECT_EQ(ParseStoredNumber(L"+7"), 7);
    EXPECT_EQ(ParseStoredNumber(L"80 dB"), 80);
    EXPECT_EQ(ParseStoredNumber(L"0x50"), 0);
    EXPECT_EQ(ParseStoredNumber(L"eighty"), 0);
    EXPECT_EQ(ParseStoredNumber(L"-"), 0);
    EXPECT_EQ(ParseStoredNumber(L""), 0);
}

TEST(StoredNumbers, OutOfRangeTextSaturatesInsteadOfWrapping) {
    EXPECT_EQ(ParseStoredNumber(L"2147483647"), 2147483647);
    EXPECT_EQ(ParseStoredNumber(L"99999999999999999999"), 2147483647);
    EXPECT_EQ(ParseStoredNumber(L"-2147483648"), -2147483647 - 1);
    EXPECT_EQ(ParseStoredNumber(L"-99999999999"), -2147483647 - 1);
}

TEST(CredentialScrambling, RoundTripKeepsEveryCharacter) {
    const std::wstring text = L"p\u00e4ss w\u20acrd;\\\"";
    std::vector<BYTE> stored = ScrambleCredential(text);
    ASSERT_EQ(stored.size(), text.size() * 2 + 2);
    EXPECT_EQ(stored[0], static_cast<BYTE>('p' ^ 0x37));
    EXPECT_EQ(stored[1], static_cast<BYTE>(0x37));
    EXPECT_EQ(stored[4], static_cast<BYTE>(0x73 ^ 0x37));
    EXPECT_EQ(stored[stored.size() - 2], 0);
    EXPECT_EQ(stored[stored.size() - 1], 0);
    EXPECT_EQ(UnscrambleStoredCredential(stored), text);
}

TEST(CredentialScrambling, EmptyTextIsStoredAsNothingAndShortValuesStayAsTheyAre) {
    EXPECT_TRUE(ScrambleCredential(L"").empty());
    EXPECT_EQ(UnscrambleStoredCredential({}), L"");
    EXPECT_EQ(UnscrambleStoredCredential({0, 0}), L"");

    BYTE data[4] = {0x41, 0x42, 0x43, 0x44};
    UnscrambleCredential(data, 0);
    UnscrambleCredential(data, -2);
    EXPECT_EQ(data[0], 0x41);
    UnscrambleCredential(data, 2);
    EXPECT_EQ(data[0], 0x41 ^ 0x37);
    EXPECT_EQ(data[1], 0x42 ^ 0x37);
    EXPECT_EQ(data[2], 0x43);
}

TEST(CredentialScrambling, AValueWithoutTerminatorLosesItsLastUnitNotItsSense) {
    std::vector<BYTE> stored = ScrambleCredential(L"admin");
    stored.resize(stored.size() - 2);  // written by something else, without terminator
    EXPECT_EQ(UnscrambleStoredCredential(stored), L"admi");
}

TEST(CredentialScrambling, SurvivesTheRealRegistry) {
    ScratchKey key(kScratchPath);
    key.SetBytes(L"MulticastPassword", ScrambleCredential(L"S3cr\u00e9t pass"));
    std::vector<BYTE> data;
    ASSERT_TRUE(ReadStoredValue(key.get(), L"MulticastPassword", &data));
    EXPECT_EQ(UnscrambleStoredCredential(data), L"S3cr\u00e9t pass");
}

TEST(SelectionList, DropsEmptyItemsAndKeepsOrderAndDuplicates) {
    using Items = std::vector<std::wstring>;
    EXPECT_EQ(SplitSelectionList(L"A;;B;"), (Items{L"A", L"B"}));
    EXPECT_EQ(SplitSelectionList(L"A;B"), (Items{L"A", L"B"}));
    EXPECT_EQ(SplitSelectionList(L"SEPB;SEPA;SEPB;"), (Items{L"SEPB", L"SEPA", L"SEPB"}));
    EXPECT_EQ(SplitSelectionList(L";;;"), Items{});
    EXPECT_EQ(SplitSelectionList(L""), Items{});
}

TEST(NonPrintable, CutsAtTheFirstControlCharacter) {
    EXPECT_EQ(TruncateAtNonPrintable(std::wstring(L"SEP001\r\n")), L"SEP001");
    EXPECT_EQ(TruncateAtNonPrintable(std::wstring(L"A B\tC")), L"A B");
    EXPECT_EQ(TruncateAtNonPrintable(std::wstring(L"Caf\u00e9")), L"Caf\u00e9");

    wchar_t buffer[8] = L"SEP\x01X";
    TruncateAtNonPrintable(buffer, 8);
    EXPECT_STREQ(buffer, L"SEP");
    wchar_t full[4] = {L'A', L'B', L'C', L'D'};  // no terminator within capacity
    TruncateAtNonPrintable(full, 4);
    EXPECT_STREQ(full, L"ABC");
}

TEST(DataFileLine, EmptyFieldsKeepTheirPlaces) {
    CUCMdataRecord record = ParseDataFileLine(L"\t\t10.0.0.5\tSEP000000000005\r\n");
    EXPECT_EQ(record.fieldCount, 4);
    EXPECT_EQ(record.fields[kFieldDirNumber], L"");
    EXPECT_EQ(record.fields[kFieldDescription], L"");
    EXPECT_EQ(record.fields[kFieldIpAddress], L"10.0.0.5");
    EXPECT_EQ(record.fields[kFieldName], L"SEP000000000005");

    record = ParseDataFileLine(L"1001\tLobby\t\t\n");
    EXPECT_EQ(record.fieldCount, 4);
    EXPECT_EQ(record.fields[kFieldIpAddress], L"");
    EXPECT_EQ(record.fields[kFieldName], L"");
}

TEST(DataFileLine, ShortLinesLackFieldsAndExtraFieldsAreIgnored) {
    CUCMdataRecord record = ParseDataFileLine(L"1001\tLobby\t10.0.0.5\n");
    EXPECT_EQ(record.fieldCount, 3);
    EXPECT_EQ(record.fields[kFieldName], L"");

    record = ParseDataFileLine(L"1\t2\t3\tNAME\textra\tmore\r\n");
    EXPECT_EQ(record.fieldCount, 4);
    EXPECT_EQ(record.fields[kFieldName], L"NAME");

    EXPECT_EQ(ParseDataFileLine(L"\n").fieldCount, 1);
}

TEST(DataFileLine, FormatCutsAtNonPrintablesAndReplacesWideCharacters) {
    const std::wstring fields[4] = {L"1001", L"Caf\u00e9\u0100\tdesk", L"10.0.0.5", L"SEP1\n"};
    EXPECT_EQ(FormatDataFileLine(fields), "1001\tCaf\xe9?\t10.0.0.5\tSEP1\r\n");
    const std::wstring nameOnly[4] = {L"", L"", L"", L"SEP2"};
    EXPECT_EQ(FormatDataFileLine(nameOnly), "\t\t\tSEP2\r\n");
}

TEST(DataFile, WrittenRowsReadBackLineByLineThroughAnExpandedPath) {
    const std::wstring file = TemporaryFilePath();
    const std::wstring dir = file.substr(0, file.find_last_of(L'\\'));
    const std::wstring name = file.substr(file.find_last_of(L'\\') + 1);
    ASSERT_TRUE(SetEnvironmentVariableW(L"QAX_TEST_DATA_DIR", dir.c_str()));
    const std::wstring path = L"%QAX_TEST_DATA_DIR%\\" + name;
    EXPECT_EQ(ExpandDataFilePath(path), file);

    std::vector<DataFileRow> rows = {{{L"1001", L"Lobby \u00e9", L"10.0.0.1", L"SEPA"}},
                                     {{L"", L"", L"10.0.0.2", L"SEPB"}}};
    ASSERT_TRUE(WriteDataFile(path, rows));

    DataFileReader reader(path);
    ASSERT_TRUE(reader.IsOpen());
    std::wstring line;
    ASSERT_TRUE(reader.NextLine(&line));
    EXPECT_EQ(line, L"1001\tLobby \u00e9\t10.0.0.1\tSEPA\n");
    ASSERT_TRUE(reader.NextLine(&line));
    EXPECT_EQ(ParseDataFileLine(line).fields[kFieldName], L"SEPB");
    EXPECT_FALSE(reader.NextLine(&line));
    DeleteFileW(file.c_str());
}

TEST(DataFile, TheRestOfALongLineIsPassedOverAndALastLineNeedsNoLineEnd) {
    const std::wstring file = TemporaryFilePath();
    WriteFileBytes(file, std::string(5000, 'x') + "\r\n" + std::string(4095, 'y') + "\r\nlast\tline");
    DataFileReader reader(file);
    std::wstring line;
    ASSERT_TRUE(reader.NextLine(&line));
    EXPECT_EQ(line, std::wstring(4095, L'x'));
    ASSERT_TRUE(reader.NextLine(&line));  // exactly the buffer: its line end is passed over
    EXPECT_EQ(line, std::wstring(4095, L'y'));
    ASSERT_TRUE(reader.NextLine(&line));
    EXPECT_EQ(line, L"last\tline");
    EXPECT_FALSE(reader.NextLine(&line));
    DeleteFileW(file.c_str());
}

TEST(DataFile, AMissingFileDoesNotOpen) {
    DataFileReader reader(L"%QAX_NO_SUCH_VARIABLE%\\nowhere\\CUCMdata.dat");
    EXPECT_FALSE(reader.IsOpen());
    std::wstring line;
    EXPECT_FALSE(reader.NextLine(&line));
}

TEST(DataFile, DefaultPathExpandsProgramData) {
    const std::wstring expanded = ExpandDataFilePath(kDefaultDataFilePath);
    EXPECT_EQ(expanded.find(L'%'), std::wstring::npos) << "unexpanded: the service would look relative to its directory";
    EXPECT_NE(expanded.find(L"\\DravikSoftware\\QAX\\CUCMdata.dat"), std::wstring::npos);
}
