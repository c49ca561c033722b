// Reading a RisPort SelectCmDevice answer: whether it is one, and its phone records. Plain,
// case-sensitive byte searches for the element, item and field tags; nothing is decoded.
#pragma once

#include "manager/risport_client.h"

// Whether the zero-terminated `answer` is a RisPort SelectCmDevice answer: it holds the
// SelectCmDeviceResponse element whole, opened and closed, under any namespace prefix. A
// proxy's page, a fault or an answer cut short is none.
bool IsSelectCmDeviceAnswer(const char* answer);

// Cuts the zero-terminated `answer` into a new table of one record per device item that
// carries a device name, in answer order. Other items (the node item that encloses the
// devices) and device items without a name are no phones. The table is allocated with new[]
// and handed to the caller (nullptr when the count is 0). False, with nothing allocated, when
// the table cannot be allocated.
bool CutAnswerIntoRecords(const char* answer, PhoneRecord** records, int* count);
