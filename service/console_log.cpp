#include "service/console_log.h"

#include <fcntl.h>
#include <io.h>
#include <windows.h>

#include <cstdarg>
#include <cstdio>
#include <vector>

namespace {

// The lines carry their own line ends ("\r\n" or "\n" as each line has it); a text-mode
// stream would write every "\n" as "\r\n" and turn "\r\n" into "\r\r\n". A process without
// a standard output (a service) has nothing to switch, and the runtime is not asked to.
bool SwitchStdoutToBinary() {
    const HANDLE output = GetStdHandle(STD_OUTPUT_HANDLE);
    if (output == nullptr || output == INVALID_HANDLE_VALUE) return false;
    const int descriptor = _fileno(stdout);
    return descriptor >= 0 && _setmode(descriptor, _O_BINARY) != -1;
}

}  // namespace

void ConsolePrintf(const char* format, ...) {
    // Once, on the first line, whichever thread prints it.
    static const bool binary = SwitchStdoutToBinary();
    (void)binary;

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
