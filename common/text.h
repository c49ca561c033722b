// Text at the edges of the system: the phones, the XML bodies and the data file speak 8-bit
// text, one byte per character; everything inside is UTF-16. Also the one bounded copy.
#pragma once

#include <cstddef>
#include <string>

// Copies src into dst of `capacity` units, cutting it to capacity - 1 units; always terminates.
// Returns the number of units copied (without the terminator).
size_t CopyBounded(wchar_t* dst, size_t capacity, const wchar_t* src);
size_t CopyBounded(char* dst, size_t capacity, const char* src);

// UTF-16 to 8-bit text: U+0000..U+00FF become the byte of that value, anything above '?'.
std::string NarrowLatin1(const std::wstring& text);
// 8-bit text to UTF-16: every byte becomes the character of that value.
std::wstring WidenLatin1(const std::string& text);

// Bounded forms of the two conversions into fixed buffers; always terminated.
size_t NarrowLatin1Into(char* dst, size_t capacity, const wchar_t* src);
size_t WidenLatin1Into(wchar_t* dst, size_t capacity, const char* src);

// 8-bit (Latin-1) text as XML character data that parses whatever encoding its reader
// assumes, since the XML that carries it declares none: & < > " ' as entities, bytes 0x80 to
// 0xFF as numeric character references ("&#233;"), and the control characters that XML does
// not allow (all below 0x20 but TAB, LF and CR) as '?'. Other ASCII comes back unchanged.
std::string EscapeXml(const std::string& text);
