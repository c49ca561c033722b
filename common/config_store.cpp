#include "common/config_store.h"

#include <cwctype>

#include "common/message_box.h"
#include "common/text.h"

void ShowRegistryBox(HWND owner, const wchar_t* text) {
    ShowMessageBox(owner, text, kRegistryBoxCaption, kRegistryBoxFlags);
}

void ShowAbsentValueBox() { ShowRegistryBox(GetDesktopWindow(), kAbsentValueText); }

void ShowKeyOpenErrorBox() { ShowRegistryBox(GetDesktopWindow(), kKeyOpenErrorText); }

bool ReadStoredValue(HKEY key, const wchar_t* name, std::vector<BYTE>* data) {
    data->clear();
    DWORD size = 0;
    if (RegQueryValueExW(key, name, nullptr, nullptr, nullptr, &size) != ERROR_SUCCESS) return false;
    data->assign(size, 0);
    DWORD read = size;
    if (RegQueryValueExW(key, name, nullptr, nullptr, size ? data->data() : nullptr, &read) != ERROR_SUCCESS) {
        data->clear();
        return false;
    }
    data->resize(read);
    return true;
}

std::wstring StoredText(const std::vector<BYTE>& data) {
    std::wstring text;
    for (size_t i = 0; i + 1 < data.size(); i += 2) {
        wchar_t c = static_cast<wchar_t>(data[i] | (data[i + 1] << 8));
        if (c == 0) break;
        text.push_back(c);
    }
    return text;
}

LONG WriteStoredText(HKEY key, const wchar_t* name, const std::wstring& text) {
    DWORD bytes = text.empty() ? 0 : static_cast<DWORD>((text.size() + 1) * sizeof(wchar_t));
    return RegSetValueExW(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(text.c_str()), bytes);
}

LONG WriteStoredBytes(HKEY key, const wchar_t* name, const std::vector<BYTE>& bytes) {
    static const BYTE kNothing = 0;
    return RegSetValueExW(key, name, 0, REG_SZ, bytes.empty() ? &kNothing : bytes.data(),
                          static_cast<DWORD>(bytes.size()));
}

int ParseStoredNumber(const std::wstring& text) {
    size_t i = 0;
    while (i < text.size() && iswspace(text[i])) ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == L'+' || text[i] == L'-')) {
        negative = text[i] == L'-';
        ++i;
    }
    long long value = 0;
    for (; i < text.size() && text[i] >= L'0' && text[i] <= L'9'; ++i) {
        if (value < 0x80000000LL) value = value * 10 + (text[i] - L'0');
    }
    if (negative) value = -value;
    if (value > 0x7FFFFFFFLL) return 0x7FFFFFFF;
    if (value < -0x80000000LL) return static_cast<int>(-0x7FFFFFFF - 1);
    return static_cast<int>(value);
}

std::vector<BYTE> ScrambleCredential(const std::wstring& text) {
    std::vector<BYTE> bytes;
    if (text.empty()) return bytes;
    bytes.reserve(text.size() * 2 + 2);
    for (wchar_t c : text) {
        bytes.push_back(static_cast<BYTE>((c & 0xFF) ^ kCredentialKey));
        bytes.push_back(static_cast<BYTE>(((c >> 8) & 0xFF) ^ kCredentialKey));
    }
    bytes.push_back(0);
    bytes.push_back(0);
    return bytes;
}

void UnscrambleCredential(BYTE* data, int count) {
    if (data == nullptr || count <= 0) return;
    for (int i = 0; i < count; ++i) data[i] ^= kCredentialKey;
}

std::wstring UnscrambleStoredCredential(std::vector<BYTE> data) {
    // The last unit is the terminator, whatever it holds: a value written without one must
    // not bring a still scrambled character into the text.
    const int textBytes = static_cast<int>(data.size()) - 2;
    UnscrambleCredential(data.data(), textBytes);
    data.resize(textBytes > 0 ? static_cast<size_t>(textBytes) : 0);
    return StoredText(data);
}

std::vector<std::wstring> SplitSelectionList(const std::wstring& text) {
    std::vector<std::wstring> items;
    size_t start = 0;
    while (start <= text.size()) {
        size_t end = text.find(L';', start);
        if (end == std::wstring::npos) end = text.size();
        if (end > start) items.push_back(text.substr(start, end - start));
        start = end + 1;
    }
    return items;
}

namespace {
// The Windows C runtime counts TAB as printable (a blank); a TAB kept in a field would split
// the data-file line, so control characters end the text as well.
bool IsPrintable(wchar_t c) { return iswprint(c) && !iswcntrl(c); }
}  // namespace

std::wstring TruncateAtNonPrintable(const std::wstring& text) {
    size_t i = 0;
    while (i < text.size() && IsPrintable(text[i])) ++i;
    return text.substr(0, i);
}

void TruncateAtNonPrintable(wchar_t* text, size_t capacity) {
    if (text == nullptr || capacity == 0) return;
    size_t i = 0;
    while (i + 1 < capacity && text[i] != 0 && IsPrintable(text[i])) ++i;
    text[i] = 0;
}

CUCMdataRecord ParseDataFileLine(const std::wstring& line) {
    std::wstring text = line;
    if (!text.empty() && text.back() == L'\n') text.pop_back();
    if (!text.empty() && text.back() == L'\r') text.pop_back();

    CUCMdataRecord record;
    size_t start = 0;
    while (record.fieldCount < 4) {
        size_t tab = text.find(L'\t', start);
        record.fields[record.fieldCount++] = text.substr(start, tab == std::wstring::npos ? std::wstring::npos : tab - start);
        if (tab == std::wstring::npos) break;
        start = tab + 1;
    }
    return record;
}

std::wstring CutDeviceName(const std::wstring& name) { return name.substr(0, kDeviceNameCharacters); }

std::string FormatDataFileLine(const std::wstring fields[4]) {
    std::string line;
    for (int i = 0; i < 4; ++i) {
        line += NarrowLatin1(TruncateAtNonPrintable(fields[i]));
        line += (i < 3) ? "\t" : "\r\n";
    }
    return line;
}

std::wstring ExpandDataFilePath(const std::wstring& path) {
    wchar_t expanded[32768];
    DWORD n = ExpandEnvironmentStringsW(path.c_str(), expanded, static_cast<DWORD>(sizeof expanded / sizeof expanded[0]));
    if (n == 0 || n > sizeof expanded / sizeof expanded[0]) return path;
    return expanded;
}

DataFileReader::DataFileReader(const std::wstring& path) {
    file_ = _wfopen(ExpandDataFilePath(path).c_str(), L"rb");
}

DataFileReader::~DataFileReader() {
    if (file_ != nullptr) fclose(file_);
}

bool DataFileReader::NextLine(std::wstring* line) {
    constexpr size_t kMaxLine = 4095;
    line->clear();
    if (file_ == nullptr) return false;
    while (line->size() < kMaxLine) {
        int c = fgetc(file_);
        if (c == EOF) break;
        if (c == '\r') {
            int next = fgetc(file_);
            if (next == '\n') {
                line->push_back(L'\n');
                return true;
            }
            if (next != EOF) ungetc(next, file_);
        }
        line->push_back(static_cast<wchar_t>(static_cast<unsigned char>(c)));
        if (c == '\n') return true;
    }
    // The rest of a line too long for the buffer would read as a line of its own, a phone
    // that is none: it is passed over up to the line end.
    if (line->size() == kMaxLine) SkipRestOfLine();
    return !line->empty();
}

void DataFileReader::SkipRestOfLine() {
    for (int c = fgetc(file_); c != EOF && c != '\n'; c = fgetc(file_)) {
    }
}

bool WriteDataFile(const std::wstring& path, const std::vector<DataFileRow>& rows) {
    FILE* file = _wfopen(ExpandDataFilePath(path).c_str(), L"wb");
    if (file == nullptr) return false;
    // A full disk or a lost share shows in a write, the last flush or the close: the file
    // is then cut, and the caller must not call it written.
    bool written = true;
    for (const DataFileRow& row : rows) {
        const std::string line = FormatDataFileLine(row.fields);
        if (fwrite(line.data(), 1, line.size(), file) != line.size()) {
            written = false;
            break;
        }
    }
    if (fflush(file) != 0) written = false;
    if (fclose(file) != 0) written = false;
    return written;
}
