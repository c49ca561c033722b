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

int CountItems(std::string_view answer) {
    int count = 0;
    for (size_t at = answer.find(kItemEnd); at != std::string_view::npos; at = answer.find(kItemEnd, at + 1)) ++count;
    return count;
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

bool CutAnswerIntoRecords(const char* answer, PhoneRecord** records, int* count) {
    const std::string_view text(answer, std::strlen(answer));
    const int itemCount = CountItems(text);
    PhoneRecord* table = nullptr;
    if (itemCount > 0) {
        table = new (std::nothrow) PhoneRecord[itemCount]();
        if (table == nullptr) return false;
    }

    int record = 0;
    size_t from = 0;
    while (record < itemCount) {
        const size_t marker = text.find(kDeviceItem, from);
        if (marker == std::string_view::npos) break;
        const size_t end = text.find(kItemEnd, marker);
        if (end == std::string_view::npos) break;
        FillRecord(table[record], text.substr(marker, end - marker));
        from = end;
        ++record;
    }
    *records = table;
    *count = itemCount;
    return true;
}
