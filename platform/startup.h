// The program start-up: from the raw command line to WinMain and the exit code.
#ifndef QUARN_PLATFORM_STARTUP_H
#define QUARN_PLATFORM_STARTUP_H

#include "win32.h"

typedef BOOL(WINAPI *LeadByteTest)(BYTE);

// The text behind the program name and the blanks that follow it; points into commandLine.
LPSTR ArgumentTail(LPSTR commandLine, LeadByteTest isLeadByte);

// Restricts the DLL search to the system directory, then runs WinMain on this process's command
// line and returns its result.
int RunProgram(void);

#endif
