#include "service/server_beep.h"

namespace {
BeepHandler g_beepHandler = nullptr;
}

void ServerBeep(DWORD frequency, DWORD duration) {
    if (g_beepHandler != nullptr) {
        g_beepHandler(frequency, duration);
        return;
    }
    Beep(frequency, duration);
}

BeepHandler SetBeepHandler(BeepHandler handler) {
    BeepHandler previous = g_beepHandler;
    g_beepHandler = handler;
    return previous;
}
