#include "common/text.h"

#include <cstdio>
#include <cstring>
#include <cwchar>

namespace {

template <typename Char>
size_t CopyBoundedImpl(Char* dst, size_t capacity, const Char* src) {
    if (dst == nullptr || capacity == 0) return 0;
    size_t n = 0;
    if (src != nullptr) {
        while (n + 1 < capacity && src[n] != 0) {
            dst[n] = src[n];
            ++n;
        }
    }
    dst[n] = 0;
    return n;
}

char NarrowChar(wchar_t c) { return c <= 0xFF ? static_cast<char>(static_cast<unsigned char>(c)) : '?'; }

// A character that needs no entity: ASCII as it is, above it as a reference, the controls
// that XML forbids even as references as '?'.
void AppendXmlCharacter(std::string* out, unsigned char c) {
    if (c >= 0x80) {
        char reference[8];
        snprintf(reference, sizeof reference, "&#%u;", static_cast<unsigned>(c));
        *out += reference;
    } else if (c < 0x20 && c != '\t' && c != '\n' && c != '\r') {
        out->push_back('?');
    } else {
        out->push_back(static_cast<char>(c));
    }
}

}  // namespace

size_t CopyBounded(wchar_t* dst, size_t capacity, const wchar_t* src) { return CopyBoundedImpl(dst, capacity, src); }
size_t CopyBounded(char* dst, size_t capacity, const char* src) { return CopyBoundedImpl(dst, capacity, src); }

std::string NarrowLatin1(const std::wstring& text) {
    std::string out;
    out.reserve(text.size());
    for (wchar_t c : text) out.push_back(NarrowChar(c));
    return out;
}

std::wstring WidenLatin1(const std::string& text) {
    std::wstring out;
    out.reserve(text.size());
    for (char c : text) out.push_back(static_cast<wchar_t>(static_cast<unsigned char>(c)));
    return out;
}

size_t NarrowLatin1Into(char* dst, size_t capacity, const wchar_t* src) {
    if (dst == nullptr || capacity == 0) return 0;
    size_t n = 0;
    if (src != nullptr) {
        while (n + 1 < capacity && src[n] != 0) {
            dst[n] = NarrowChar(src[n]);
            ++n;
        }
    }
    dst[n] = 0;
    return n;
}

size_t WidenLatin1Into(wchar_t* dst, size_t capacity, const char* src) {
    if (dst == nullptr || capacity == 0) return 0;
    size_t n = 0;
    if (src != nullptr) {
        while (n + 1 < capacity && src[n] != 0) {
            dst[n] = static_cast<wchar_t>(static_cast<unsigned char>(src[n]));
            ++n;
        }
    }
    dst[n] = 0;
    return n;
}

std::string EscapeXml(const std::string& text) {
    std::string out;
    out.reserve(text.size());
    for (char c : text) {
        switch (c) {
            case '&': out += "&amp;"; break;
            case '<': out += "&lt;"; break;
            case '>': out += "&gt;"; break;
            case '"': out += "&quot;"; break;
            case '\'': out += "&apos;"; break;
            default: AppendXmlCharacter(&out, static_cast<unsigned char>(c)); break;
        }
    }
    return out;
}
