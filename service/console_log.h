// The service's console log: printf-style lines, written whole so that the lines of
// concurrent job threads do not interleave. Wide texts are narrowed by the caller
// (NarrowLatin1) and printed with %s. The bytes of each line reach the console or file as
// they are: no line end is translated.
#pragma once

void ConsolePrintf(const char* format, ...);
