// The program start-up, in place of the C runtime's: the argument tail, WinMain, the exit code.
// The shipped executable has no C runtime, so this is all that runs before and after WinMain.
#include "startup.h"

static const unsigned char Blank = ' ';
static const char Quote = '"';
static const char KernelName[] = "kernel32.dll";

typedef BOOL(WINAPI *SetDefaultDllDirectoriesProc)(DWORD);
typedef BOOL(WINAPI *SetDllDirectoryProc)(LPCSTR);

// The shell and COM load DLLs on demand behind the boxes and the folder lookups. Those loads must
// search the system directory only, never the folder the uninstaller was started from, where
// anybody may have left a DLL of the same name. Old systems lack both functions; they are looked
// up, not imported, so the program still starts there.
static void RestrictDllSearch(void)
{
    const HMODULE kernel = GetModuleHandleA(KernelName);
    if (kernel == NULL) {
        return;
    }
    // Through a generic function type first, as GetProcAddress hands every address out.
    const FARPROC setDefault = GetProcAddress(kernel, "SetDefaultDllDirectories");
    if (setDefault != NULL &&
        reinterpret_cast<SetDefaultDllDirectoriesProc>(reinterpret_cast<void (*)(void)>(setDefault))(
            LOAD_LIBRARY_SEARCH_SYSTEM32)) {
        return;
    }
    // Takes at least the current directory out of the search.
    const FARPROC setDirectory = GetProcAddress(kernel, "SetDllDirectoryA");
    if (setDirectory != NULL) {
        reinterpret_cast<SetDllDirectoryProc>(reinterpret_cast<void (*)(void)>(setDirectory))("");
    }
}

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
    RestrictDllSearch();
    return WinMain(GetModuleHandleA(NULL), NULL, ArgumentTail(GetCommandLineA(), IsDBCSLeadByte), SW_SHOWDEFAULT);
}

#ifdef _WIN32
// The executable's entry point, named to the linker by the build.
extern "C" void WINAPI Start(void)
{
    ExitProcess(static_cast<UINT>(RunProgram()));
}
#endif
