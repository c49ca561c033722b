#include "service/console_log.h"

#include <cstdarg>
#include <cstdio>
#include <vector>

void ConsolePrintf(const char* format, ...) {
    va_list args;
    va_start(args, format);
    va_list measure;
    va_copy(measure, args);
    int length = vsnprintf(nullptr, 0, format, measure);
    va_end(measure);
    if (length > 0) {
        std::vector<char> text(static_cast<size_t>(length) + 1);
        vsnprintf(text.data(), text.size(), format, args);
        fwrite(text.data(), 1, static_cast<size_t>(length), stdout);
        fflush(stdout);
    }
    va_end(args);
}
