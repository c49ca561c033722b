// The stored configuration that the manager writes and the service reads: the settings key
// and its values, the credential scrambling, the device selection list, the zone tree and
// the phone data file. Both programs use these definitions and nothing else for it.
#pragma once

#include <windows.h>

#include <cstdio>
#include <string>
#include <vector>

// Registry layout, under HKEY_LOCAL_MACHINE.
inline constexpr wchar_t kSettingsKeyPath[] = L"Software\\Dravik Software\\QAX";
inline constexpr wchar_t kZonesKeyPath[] = L"Software\\Dravik Software\\QAX\\Zones";
inline constexpr wchar_t kZoneDescriptionValue[] = L"ZoneDescription";

// Values under the settings key.
inline constexpr wchar_t kValueDataFile[] = L"CUCMdatafile";
inline constexpr wchar_t kValueDeviceSelections[] = L"MulticastDeviceNameSelections";
inline constexpr wchar_t kValueHttpServerIP[] = L"httpServerIP";
inline constexpr wchar_t kValueHttpServerPort[] = L"httpServerPort";
inline constexpr wchar_t kValueMulticastTargetIP[] = L"MulticastTargetIP";
inline constexpr wchar_t kValuePortRangeStart[] = L"MulticastTargetPortRangeStart";
inline constexpr wchar_t kValuePortRangeEnd[] = L"MulticastTargetPortRangeEnd";
inline constexpr wchar_t kValueMulticastUsername[] = L"MulticastUsername";
inline constexpr wchar_t kValueMulticastPassword[] = L"MulticastPassword";
inline constexpr wchar_t kValueMulticastVolume[] = L"MulticastVolume";
inline constexpr wchar_t kValueMessageText[] = L"MulticastMessageText";
inline constexpr wchar_t kValueAlertSound[] = L"MulticastAlertSound";
inline constexpr wchar_t kValueMaxDuration[] = L"MulticastMaxDuration";
inline constexpr wchar_t kValueServerAddress[] = L"ServerAddress";
inline constexpr wchar_t kValueServerPort[] = L"ServerPort";
inline constexpr wchar_t kValueCucmUsername[] = L"CUCMusername";
inline constexpr wchar_t kValueCucmPassword[] = L"CUCMpassword";

// The phone data file when CUCMdatafile is absent or empty (environment variables expanded
// before use).
inline constexpr wchar_t kDefaultDataFilePath[] = L"%PROGRAMDATA%\\DravikSoftware\\QAX\\CUCMdata.dat";

// Field widths, in UTF-16 units with the terminator.
inline constexpr size_t kPathUnits = 260;
inline constexpr size_t kAddressUnits = 16;
inline constexpr size_t kTextUnits = 256;
inline constexpr size_t kZoneMembersUnits = 65578;

// The registry error boxes of both programs.
inline constexpr wchar_t kRegistryBoxCaption[] = L"Dravik Software";
inline constexpr wchar_t kAbsentValueText[] =
    L"Error reading program settings from the registry.\r\n\r\nThe program may not work correctly and exit.";
inline constexpr wchar_t kKeyOpenErrorText[] =
    L"Error reading program settings from the registry.\r\n\r\nThe program will now exit.";

inline constexpr UINT kRegistryBoxFlags = MB_SERVICE_NOTIFICATION | MB_ICONERROR;

// Shows a registry error box with its caption and flags. The service gives no owner: with
// MB_SERVICE_NOTIFICATION the platform wants none, and a service has no window of its own.
void ShowRegistryBox(HWND owner, const wchar_t* text);
// The manager's absent-value box: owner the desktop.
void ShowAbsentValueBox();
// The manager's box for a settings or zone key that cannot be opened (same owner).
void ShowKeyOpenErrorBox();

// Reads a value by the stored-size rule: ask the size, allocate exactly that, zero, read.
// Returns false when the value is absent (data left empty); true with data of the stored
// size, which is 0 for an empty value. The stored type is not looked at.
bool ReadStoredValue(HKEY key, const wchar_t* name, std::vector<BYTE>* data);

// The text of a value as read: up to its first zero unit or its end.
std::wstring StoredText(const std::vector<BYTE>& data);

// Writes a REG_SZ text in its stored form: with its terminator, or zero bytes when empty.
LONG WriteStoredText(HKEY key, const wchar_t* name, const std::wstring& text);
// Writes REG_SZ bytes exactly as given (used for scrambled credentials).
LONG WriteStoredBytes(HKEY key, const wchar_t* name, const std::vector<BYTE>& bytes);

// Numbers stored as text: leading blanks and a sign accepted, digits up to the first other
// character, no digits gives 0.
int ParseStoredNumber(const std::wstring& text);

// Credential scrambling: every byte of the UTF-16LE text XOR 0x37.
inline constexpr BYTE kCredentialKey = 0x37;
// The bytes to store: 2n scrambled bytes and a zero terminator unit; nothing for "".
std::vector<BYTE> ScrambleCredential(const std::wstring& text);
// XORs `count` bytes in place (the stored size less 2); nothing when count <= 0.
void UnscrambleCredential(BYTE* data, int count);
// Reads a stored credential back to its text (the whole stored-value rule included).
std::wstring UnscrambleStoredCredential(std::vector<BYTE> data);

// Device selection list: split at ";" with empty items dropped, order and duplicates kept.
std::vector<std::wstring> SplitSelectionList(const std::wstring& text);

// Cuts the text at its first character that iswprint rejects or that is a control character
// (TAB included, which the Windows C runtime counts as printable).
std::wstring TruncateAtNonPrintable(const std::wstring& text);
// In place, for fixed buffers of `capacity` units.
void TruncateAtNonPrintable(wchar_t* text, size_t capacity);

// One phone data file line: DirNumber, Description, IpAddress, Name.
enum DataFileField { kFieldDirNumber = 0, kFieldDescription = 1, kFieldIpAddress = 2, kFieldName = 3 };
struct CUCMdataRecord {
    std::wstring fields[4];
    int fieldCount = 0;  // fields present on the line (0..4); missing ones are empty
};
// Splits a line as read (its line end, LF and a CR before it, is removed first).
CUCMdataRecord ParseDataFileLine(const std::wstring& line);

// A device name holds at most 255 characters: the most that a data-file field keeps and that
// a registry key name (a zone member) can hold. The manager takes a longer name as its first
// 255 characters wherever it meets one, so that its row, its selection item and its member key
// name the phone alike.
inline constexpr size_t kDeviceNameCharacters = 255;
std::wstring CutDeviceName(const std::wstring& name);
// The 8-bit line for four column texts: each cut at its first non-printable character,
// characters above U+00FF as '?', TAB-separated, ended by CR LF.
std::string FormatDataFileLine(const std::wstring fields[4]);

// The data-file path as the programs use it: environment variables expanded.
std::wstring ExpandDataFilePath(const std::wstring& path);

// Reads the data file as text, one line at a time: a line is at most 4,095 characters with
// its line end (the rest of a longer line is passed over); CR LF reads as LF.
class DataFileReader {
public:
    explicit DataFileReader(const std::wstring& path);
    ~DataFileReader();
    DataFileReader(const DataFileReader&) = delete;
    DataFileReader& operator=(const DataFileReader&) = delete;

    bool IsOpen() const { return file_ != nullptr; }
    // The next line, its line end included; false at the end of the file.
    bool NextLine(std::wstring* line);

private:
    void SkipRestOfLine();

    FILE* file_ = nullptr;
};

// Rewrites the data file with one line per row (truncating it). False when it cannot be
// opened, or a write or its close fails.
struct DataFileRow {
    std::wstring fields[4];
};
bool WriteDataFile(const std::wstring& path, const std::vector<DataFileRow>& rows);

// One zone as both programs hold it in memory.
struct ZoneRecord {
    wchar_t name[256];
    DWORD nameLength;
    wchar_t description[256];
    DWORD descriptionSize;
    wchar_t members[kZoneMembersUnits];
};
