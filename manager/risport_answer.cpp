#include "manager/risport_answer.h"

#include <cstring>
#include <new>
#include <string_view>

namespace {

constexpr std::string_view kItemEnd = "</item>";
constexpr std::string_view kDeviceItem = "<item xsi:type=\"ns1:CmDevice\">";

struct ElementTags {
    std::string_view open;
    std::string_view close;
};

// In the order in which the device item is searched.
constexpr ElementTags kElements[] = {
    {"<IpAddress xsi:type=\"xsd:string\">", "</IpAddress>"},
    {"<DirNumber xsi:type=\"xsd:string\">", "</DirNumber>"},
    {"<Description xsi:type=\"xsd:string\">", "</Description>"},
    {"<Name xsi:type=\"xsd:string\">", "</Name>"},
};

struct FieldBuffer {
    wchar_t* text;
    size_t capacity;
};

template <size_t Units>
FieldBuffer BufferOf(wchar_t (&field)[Units]) {
    return {field, Units};
}

FieldBuffer FieldOf(PhoneRecord& record, size_t element) {
    switch (element) {
        case 0: return BufferOf(record.IpAddress);
        case 1: return BufferOf(record.DirNumber);
        case 2: return BufferOf(record.Description);
        default: return BufferOf(record.Name);
    }
}

int CountDeviceItems(std::string_view answer) {
    int count = 0;
    for (size_t at = answer.find(kDeviceItem); at != std::string_view::npos; at = answer.find(kDeviceItem, at + 1)) {
        ++count;
    }
    return count;
}

bool IsNameCharacter(char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_' || c == '-' ||
           c == '.';
}

// Whether the element name found at `at` stands in a tag, "<" or "</" before it and
// whatever namespace prefix between.
bool IsTagName(std::string_view text, size_t at, std::string_view opener) {
    size_t start = at;
    if (start > 0 && text[start - 1] == ':') {
        --start;
        while (start > 0 && IsNameCharacter(text[start - 1])) --start;
    }
    return start >= opener.size() && text.substr(start - opener.size(), opener.size()) == opener;
}

bool EndsTagName(std::string_view text, size_t end, bool closing) {
    if (end >= text.size()) return false;
    const char c = text[end];
    return c == '>' || c == ' ' || c == '\t' || c == '\r' || c == '\n' || (!closing && c == '/');
}

// Each byte becomes the unit of the same value; a value longer than its field is cut to it.
void WidenInto(FieldBuffer field, std::string_view value) {
    size_t n = 0;
    for (; n + 1 < field.capacity && n < value.size(); ++n) field.text[n] = static_cast<unsigned char>(value[n]);
    field.text[n] = 0;
}

// The searches stay inside the device item, so a missing element leaves its field empty
// rather than taking the next phone's value.
void FillRecord(PhoneRecord& record, std::string_view item) {
    for (size_t element = 0; element < sizeof kElements / sizeof kElements[0]; ++element) {
        const ElementTags& tags = kElements[element];
        const size_t open = item.find(tags.open);
        if (open == std::string_view::npos) continue;
        const size_t valueStart = open + tags.open.size();
        const size_t close = item.find(tags.close, valueStart);
        if (close == std::string_view::npos) continue;
        WidenInto(FieldOf(record, element), item.substr(valueStart, close - valueStart));
    }
}

}  // namespace

bool IsSelectCmDeviceAnswer(const char* answer) {
    const std::string_view text(answer, std::strlen(answer));
    constexpr std::string_view kResponse = "SelectCmDeviceResponse";
    bool opened = false;
    for (size_t at = text.find(kResponse); at != std::string_view::npos; at = text.find(kResponse, at + 1)) {
        const size_t end = at + kResponse.size();
        if (!opened) {
            opened = IsTagName(text, at, "<") && EndsTagName(text, end, false);
        } else if (IsTagName(text, at, "</") && EndsTagName(text, end, true)) {
            return true;
        }
    }
    return false;
}

bool CutAnswerIntoRecords(const char* answer, PhoneRecord** records, int* count) {
    const std::string_view text(answer, std::strlen(answer));
    const int deviceItems = CountDeviceItems(text);
    PhoneRecord* table = nullptr;
    if (deviceItems > 0) {
        table = new (std::nothrow) PhoneRecord[deviceItems]();
        if (table == nullptr) return false;
    }

    int record = 0;
    size_t from = 0;
    while (record < deviceItems) {
        const size_t marker = text.find(kDeviceItem, from);
        if (marker == std::string_view::npos) break;
        const size_t end = text.find(kItemEnd, marker);
        if (end == std::string_view::npos) break;
        from = end;
        PhoneRecord& phone = table[record];
        FillRecord(phone, text.substr(marker, end - marker));
        // The device name joins a phone to the selection list and the zones: an item
        // without one is no phone.
        if (phone.Name[0] != 0) {
            ++record;
        } else {
            phone = PhoneRecord();
        }
    }
    if (record == 0) {
        delete[] table;
        table = nullptr;
    }
    *records = table;
    *count = record;
    return true;
}
