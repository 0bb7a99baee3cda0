// Removal of the program's shortcut from the user's desktop directory and Start menu programs folder,
// wherever the shell says those folders are.
#include "removal.h"
#include "win32.h"

static const char ShortcutFileName[] = "\\Quarn (english).lnk";
static const int ShortcutFolders[] = {CSIDL_DESKTOPDIRECTORY, CSIDL_PROGRAMS};
static const int ShortcutFolderCount = sizeof ShortcutFolders / sizeof ShortcutFolders[0];

// Length of text within its first limit bytes, or -1 when it is not terminated there.
static int BoundedLength(const char *text, int limit)
{
    for (int length = 0; length < limit; ++length) {
        if (text[length] == '\0') {
            return length;
        }
    }
    return -1;
}

// Copies the folder path out of the display-name record into folder (MAX_PATH bytes) and releases
// what the record owns. False when the path is missing or does not fit.
static bool TakeFolderPath(STRRET *name, LPCITEMIDLIST list, char *folder)
{
    const char *text = NULL;
    switch (name->uType) {
    case STRRET_WSTR: {
        // A character the ANSI code page lacks would come out as '?' or, best fitted, as a
        // look-alike: either names another folder, so such a path is not used. A UTF-8 code page
        // loses nothing and takes neither the flag nor the report. Systems before Windows 2000
        // know no flags here and fail the first call; the second serves them.
        const bool utf8 = GetACP() == CP_UTF8;
        BOOL lossy = FALSE;
        int converted = 0;
        if (name->pOleStr != NULL) {
            converted = WideCharToMultiByte(CP_ACP, utf8 ? 0 : WC_NO_BEST_FIT_CHARS, name->pOleStr, -1, folder,
                                            MAX_PATH, NULL, utf8 ? NULL : &lossy);
            if (converted == 0 && !utf8) {
                converted = WideCharToMultiByte(CP_ACP, 0, name->pOleStr, -1, folder, MAX_PATH, NULL, &lossy);
            }
        }
        CoTaskMemFree(name->pOleStr);
        return converted > 1 && !lossy;
    }
    case STRRET_OFFSET:
        // The text lives inside the item list, so it is read before the list is freed.
        text = reinterpret_cast<const char *>(list) + name->uOffset;
        break;
    case STRRET_CSTR:
        text = name->cStr;
        break;
    default:
        return false;
    }
    const int length = BoundedLength(text, MAX_PATH);
    if (length <= 0) {
        return false;
    }
    lstrcpyA(folder, text);
    return true;
}

void RemoveShortcuts(void)
{
    IShellFolder *desktop = NULL;
    SHGetDesktopFolder(&desktop);
    if (desktop == NULL) {
        return;
    }

    for (int i = 0; i < ShortcutFolderCount; ++i) {
        LPITEMIDLIST list = NULL;
        // A failed call hands nothing over: nothing to read, nothing to free.
        if (FAILED(SHGetSpecialFolderLocation(NULL, ShortcutFolders[i], &list)) || list == NULL) {
            continue;
        }
        STRRET name;
        char folder[MAX_PATH];
        const bool found = SUCCEEDED(desktop->GetDisplayNameOf(list, SHGDN_FORPARSING, &name)) &&
                           TakeFolderPath(&name, list, folder);
        CoTaskMemFree(list);
        // An empty or cut path would put the shortcut name at the root of a drive.
        if (!found || lstrlenA(folder) + lstrlenA(ShortcutFileName) >= MAX_PATH) {
            continue;
        }
        char shortcut[MAX_PATH];
        lstrcpyA(shortcut, folder);
        lstrcatA(shortcut, ShortcutFileName);
        DeleteFileA(shortcut);
    }

    desktop->Release();
}
