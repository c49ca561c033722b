// Cutting a RisPort SelectCmDevice answer into phone records: plain, case-sensitive byte
// searches for the item and element tags; nothing is decoded.
#pragma once

#include "manager/risport_client.h"

// Cuts the zero-terminated `answer` into a new table of one record per "</item>" in it, the
// device items' fields filled in answer order. The table is allocated with new[] and handed
// to the caller (nullptr when the count is 0). False, with nothing allocated, when the table
// cannot be allocated.
bool CutAnswerIntoRecords(const char* answer, PhoneRecord** records, int* count);
