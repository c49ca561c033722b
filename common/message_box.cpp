#include "common/message_box.h"

namespace {
MessageBoxHandler g_messageBoxHandler = nullptr;
}

int ShowMessageBox(HWND owner, const wchar_t* text, const wchar_t* caption, UINT flags) {
    if (g_messageBoxHandler != nullptr) return g_messageBoxHandler(owner, text, caption, flags);
    return MessageBoxW(owner, text, caption, flags);
}

MessageBoxHandler SetMessageBoxHandler(MessageBoxHandler handler) {
    MessageBoxHandler previous = g_messageBoxHandler;
    g_messageBoxHandler = handler;
    return previous;
}
