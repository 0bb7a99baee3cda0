// The program start-up, in place of the C runtime's: the argument tail, WinMain, the exit code.
// The shipped executable has no C runtime, so this is all that runs before and after WinMain.
#include "startup.h"

static const unsigned char Blank = ' ';
static const char Quote = '"';

LPSTR ArgumentTail(LPSTR commandLine, LeadByteTest isLeadByte)
{
    LPSTR p = commandLine;

    if (*p == Quote) {
        ++p;
        while (*p != '\0' && *p != Quote) {
            // A double-byte character's trail byte may equal the quote and must not close the name.
            if (isLeadByte(static_cast<BYTE>(*p)) && p[1] != '\0') {
                ++p;
            }
            ++p;
        }
        if (*p == Quote) {
            ++p;
        }
    } else {
        while (static_cast<unsigned char>(*p) > Blank) {
            ++p;
        }
    }
    while (*p != '\0' && static_cast<unsigned char>(*p) <= Blank) {
        ++p;
    }
    return p;
}

int RunProgram(void)
{
    return WinMain(GetModuleHandleA(NULL), NULL, ArgumentTail(GetCommandLineA(), IsDBCSLeadByte), SW_SHOWDEFAULT);
}

#ifdef _WIN32
// The executable's entry point, named to the linker by the build.
extern "C" void WINAPI Start(void)
{
    ExitProcess(static_cast<UINT>(RunProgram()));
}
#endif
