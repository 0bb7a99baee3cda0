// Removal of the per-user key, the ten program files and the entry in the list of installed programs.
// The per-user key decides everything: without it nothing at all is removed.
#include "removal.h"
#include "win32.h"

static const char ProductKeyPath[] = "Software\\QuarnUS";
static const char InstallDirValue[] = "InstallDir";
static const char UninstallKeyPath[] = "Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\QuarnUS";

static const char *const RemovedFiles[] = {
    "\\Tovik8.dll", "\\Quarn8.dll",  "\\Spare.dat",    "\\Core.dat",  "\\Skin10.dll",
    "\\Skin20.dll", "\\Skin30.dll", "\\DelQuarn.dat", "\\notes.txt", "\\Quarn.exe",
};
static const int RemovedFileCount = sizeof RemovedFiles / sizeof RemovedFiles[0];

static bool IsLetter(char c)
{
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z');
}

// "X:\..." or "\\server\share..."; anything else would resolve against the current drive or
// directory, or name a device, and send the deletions somewhere the program never installed.
static bool IsFullyQualified(const char *dir)
{
    if (IsLetter(dir[0]) && dir[1] == ':' && dir[2] == '\\') {
        return true;
    }
    if (dir[0] != '\\' || dir[1] != '\\') {
        return false;
    }
    const char *server = dir + 2;
    int serverLength = 0;
    while (server[serverLength] != '\0' && server[serverLength] != '\\') {
        ++serverLength;
    }
    // "\\.\" and "\\?\" are device and raw namespaces, not a share.
    if (serverLength == 0 || (serverLength == 1 && (server[0] == '.' || server[0] == '?'))) {
        return false;
    }
    const char *share = server + serverLength;
    return share[0] == '\\' && share[1] != '\0' && share[1] != '\\';
}

// Length of the directory text the registry handed back, or -1 when it cannot be used for deletions.
// A value stored without its terminator is not terminated by the registry, so the terminator is
// looked for only within the bytes it returned.
static int UsableDirectoryLength(LONG status, DWORD type, const char *dir, DWORD size)
{
    if (status != ERROR_SUCCESS || (type != REG_SZ && type != REG_EXPAND_SZ) || size > MAX_PATH) {
        return -1;
    }
    int length = 0;
    while (static_cast<DWORD>(length) < size && dir[length] != '\0') {
        ++length;
    }
    if (static_cast<DWORD>(length) == size || length == 0 || !IsFullyQualified(dir)) {
        return -1;
    }
    return length;
}

bool RemoveInstalledItems(void)
{
    HKEY key = NULL;
    if (RegOpenKeyExA(HKEY_CURRENT_USER, ProductKeyPath, 0, KEY_ALL_ACCESS, &key) != ERROR_SUCCESS) {
        return false;
    }

    char dir[MAX_PATH];
    DWORD type = REG_NONE;
    DWORD size = sizeof dir;
    const LONG status = RegQueryValueExA(key, InstallDirValue, NULL, &type, reinterpret_cast<LPBYTE>(dir), &size);
    RegCloseKey(key);
    RegDeleteKeyA(HKEY_CURRENT_USER, ProductKeyPath);

    int dirLength = UsableDirectoryLength(status, type, dir, size);
    if (dirLength > 0) {
        // Every name starts with a separator; one at the end of the directory would double it.
        if (dir[dirLength - 1] == '\\') {
            dir[--dirLength] = '\0';
        }
        char path[MAX_PATH];
        for (int i = 0; i < RemovedFileCount; ++i) {
            // A path cut to fit would name another file: skip it instead.
            if (dirLength + lstrlenA(RemovedFiles[i]) >= MAX_PATH) {
                continue;
            }
            lstrcpyA(path, dir);
            lstrcatA(path, RemovedFiles[i]);
            DeleteFileA(path);
        }
    }

    RegDeleteKeyA(HKEY_LOCAL_MACHINE, UninstallKeyPath);
    return true;
}
