// The stand-in's machine: registry, disk, shell, COM and message boxes, kept in memory and journaled.
// Each operation behaves as far as the uninstaller can tell like the Windows one it replaces.
#include "standin.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <memory>
#include <set>

namespace {

char Fold(char c)
{
    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

std::string Folded(const std::string &text)
{
    std::string folded(text);
    for (char &c : folded) {
        c = Fold(c);
    }
    return folded;
}

struct Key {
    std::map<std::string, std::unique_ptr<Key>> subkeys;  // by folded name
    std::map<std::string, std::pair<DWORD, std::string>> values;
    bool denyOpen = false;
};

// The members are read through the map's iterators, which cppcheck does not follow.
struct FileEntry {
    std::string path;  // cppcheck-suppress unusedStructMember
    bool directory;  // cppcheck-suppress unusedStructMember
    standin::FileState state;  // cppcheck-suppress unusedStructMember
};

struct Machine {
    Key currentUser;
    Key localMachine;
    std::map<HKEY, std::pair<HKEY, std::string>> openKeys;  // handle -> root, path
    ULONG_PTR nextKey = 0x1000;

    std::map<std::string, FileEntry> files;  // by folded full path
    std::string currentDirectory = "C:\\Users\\quarn";
    std::vector<std::string> deleteAttempts;

    std::map<int, std::string> folders = {
        {CSIDL_DESKTOPDIRECTORY, "C:\\Users\\quarn\\Desktop"},
        {CSIDL_PROGRAMS, "C:\\Users\\quarn\\Start Menu\\Programs"},
    };
    UINT nameForm = STRRET_CSTR;
    std::map<void *, int> lists;  // live item lists -> folder identifier
    std::set<void *> strings;
    int folderReferences = 0;

    std::vector<int> answers;
    std::vector<standin::Box> boxes;

    HRESULT coInitializeResult = S_OK;
    int comInitializations = 0;

    bool hasSetDefaultDllDirectories = true;
    bool hasSetDllDirectory = true;

    UINT codePage = 1252;
    std::string commandLine;

    std::map<std::string, std::set<int>> failures;
    std::map<std::string, int> callCounts;
    std::vector<standin::Call> journal;
    std::vector<std::string> faults;
};

Machine machine;

// Journals a call and tells whether the test asked for this one to fail.
bool Record(const char *name, const std::string &arguments)
{
    const int occurrence = ++machine.callCounts[name];
    machine.journal.push_back({name, std::string(name) + "(" + arguments + ")"});
    const auto failing = machine.failures.find(name);
    return failing != machine.failures.end() && failing->second.count(occurrence) != 0;
}

void Fault(const std::string &what)
{
    machine.faults.push_back(what);
}

std::string Quoted(const char *text)
{
    return text == nullptr ? std::string("NULL") : "\"" + std::string(text) + "\"";
}

std::string Hex(unsigned long value)
{
    char text[24];
    std::snprintf(text, sizeof text, "0x%lx", value);
    return text;
}

std::string RootName(HKEY root)
{
    if (root == HKEY_CURRENT_USER) {
        return "HKEY_CURRENT_USER";
    }
    if (root == HKEY_LOCAL_MACHINE) {
        return "HKEY_LOCAL_MACHINE";
    }
    return "key" + Hex(reinterpret_cast<ULONG_PTR>(root));
}

// cppcheck-suppress constParameter ; HKEY is the platform's own pointer type
Key *RootKey(HKEY root)
{
    if (root == HKEY_CURRENT_USER) {
        return &machine.currentUser;
    }
    if (root == HKEY_LOCAL_MACHINE) {
        return &machine.localMachine;
    }
    return nullptr;
}

std::vector<std::string> Split(const std::string &path)
{
    std::vector<std::string> parts;
    std::string part;
    for (char c : path) {
        if (c == '\\') {
            if (!part.empty()) {
                parts.push_back(part);
            }
            part.clear();
        } else {
            part += c;
        }
    }
    if (!part.empty()) {
        parts.push_back(part);
    }
    return parts;
}

Key *FindKey(HKEY root, const std::string &path, bool create)
{
    Key *key = RootKey(root);
    for (const std::string &part : Split(path)) {
        if (key == nullptr) {
            return nullptr;
        }
        const auto found = key->subkeys.find(Folded(part));
        if (found != key->subkeys.end()) {
            key = found->second.get();
        } else if (create) {
            key = (key->subkeys[Folded(part)] = std::make_unique<Key>()).get();
        } else {
            return nullptr;
        }
    }
    return key;
}

// The key that holds path's last part, and that part's folded name; null when path is empty or
// its parent does not exist.
Key *ParentKey(HKEY root, const std::string &path, std::string *leaf)
{
    std::vector<std::string> parts = Split(path);
    if (parts.empty()) {
        return nullptr;
    }
    *leaf = Folded(parts.back());
    parts.pop_back();
    std::string parentPath;
    for (const std::string &part : parts) {
        parentPath += part + "\\";
    }
    return FindKey(root, parentPath, false);
}

// What an open handle or a predefined root names, as a root and a path below it.
bool ResolveKey(HKEY handle, const char *subKey, HKEY *root, std::string *path)
{
    std::string base;
    if (RootKey(handle) != nullptr) {
        *root = handle;
    } else {
        const auto open = machine.openKeys.find(handle);
        if (open == machine.openKeys.end()) {
            return false;
        }
        *root = open->second.first;
        base = open->second.second;
    }
    *path = base;
    if (subKey != nullptr && *subKey != '\0') {
        *path += (base.empty() ? "" : "\\") + std::string(subKey);
    }
    return true;
}

// A full path the way Windows resolves one: against the current drive or directory, with
// doubled separators folded and "." and ".." applied.
std::string FullPath(const std::string &path)
{
    const std::string &cwd = machine.currentDirectory;
    std::string prefix;
    std::string rest;
    if (path.size() >= 2 && path[0] == '\\' && path[1] == '\\') {
        prefix = "\\\\";
        rest = path.substr(2);
    } else if (path.size() >= 2 && path[1] == ':') {
        prefix = path.substr(0, 2);
        rest = path.substr(2);
        if (rest.empty() || rest[0] != '\\') {
            rest = (Fold(path[0]) == Fold(cwd[0]) ? cwd.substr(2) + "\\" : "\\") + rest;
        }
    } else if (!path.empty() && path[0] == '\\') {
        prefix = cwd.substr(0, 2);
        rest = path;
    } else {
        prefix = cwd.substr(0, 2);
        rest = cwd.substr(2) + "\\" + path;
    }
    std::vector<std::string> parts;
    for (const std::string &part : Split(rest)) {
        if (part == "..") {
            if (!parts.empty()) {
                parts.pop_back();
            }
        } else if (part != ".") {
            parts.push_back(part);
        }
    }
    std::string full = prefix == "\\\\" ? "\\" : prefix;
    for (const std::string &part : parts) {
        full += "\\" + part;
    }
    return full;
}

// The operations whose journaled failure the stand-in acts on.
const std::set<std::string> Failable = {
    "GetModuleHandleA", "GetProcAddress", "SetDefaultDllDirectories", "SetDllDirectoryA",
    "MessageBoxA", "CoInitialize", "RegOpenKeyExA", "RegQueryValueExA", "RegCloseKey", "RegDeleteKeyA",
    "DeleteFileA", "SHGetDesktopFolder", "SHGetSpecialFolderLocation", "IShellFolder::GetDisplayNameOf",
    "WideCharToMultiByte",
};

const HMODULE Kernel32 = reinterpret_cast<HMODULE>(static_cast<ULONG_PTR>(0x7c800000));
const HMODULE Executable = reinterpret_cast<HMODULE>(static_cast<ULONG_PTR>(0x400000));

BOOL WINAPI StandInSetDefaultDllDirectories(DWORD flags)
{
    return Record("SetDefaultDllDirectories", Hex(flags)) ? FALSE : TRUE;
}

BOOL WINAPI StandInSetDllDirectoryA(LPCSTR path)
{
    return Record("SetDllDirectoryA", Quoted(path)) ? FALSE : TRUE;
}

bool IsLeadByte(UINT codePage, BYTE c)
{
    return codePage == 932 && ((c >= 0x81 && c <= 0x9F) || (c >= 0xE0 && c <= 0xFC));
}

// The folder object the shell hands out; one instance, reference-counted.
struct DesktopFolder final : IShellFolder {
    HRESULT STDMETHODCALLTYPE GetDisplayNameOf(LPCITEMIDLIST pidl, DWORD uFlags, STRRET *pName) override;
    ULONG STDMETHODCALLTYPE Release() override;
};

DesktopFolder desktopFolder;

// An item list: the size word, a marker, the folder path with its terminator, and the closing
// zero size word. The path sits at ListPathOffset, which is what a STRRET_OFFSET points at.
const UINT ListPathOffset = 6;

LPITEMIDLIST NewList(int csidl)
{
    const std::string &path = machine.folders[csidl];
    const std::size_t size = ListPathOffset + path.size() + 1 + 2;
    BYTE *block = static_cast<BYTE *>(std::calloc(size, 1));
    const USHORT cb = static_cast<USHORT>(size - 2);
    std::memcpy(block, &cb, sizeof cb);
    std::memcpy(block + 2, "QSTI", 4);  // NOLINT(bugprone-not-null-terminated-result): a marker, not text
    std::memcpy(block + ListPathOffset, path.c_str(), path.size() + 1);
    machine.lists[block] = csidl;
    return reinterpret_cast<LPITEMIDLIST>(block);
}

LPWSTR NewWideString(const std::string &text)
{
    WCHAR *wide = static_cast<WCHAR *>(std::calloc(text.size() + 1, sizeof(WCHAR)));
    for (std::size_t i = 0; i < text.size(); ++i) {
        wide[i] = static_cast<WCHAR>(static_cast<unsigned char>(text[i]));
    }
    machine.strings.insert(wide);
    return wide;
}

HRESULT DesktopFolder::GetDisplayNameOf(LPCITEMIDLIST pidl, DWORD uFlags, STRRET *pName)
{
    void *block = const_cast<ITEMIDLIST *>(pidl);
    const bool fail = Record("IShellFolder::GetDisplayNameOf", Hex(reinterpret_cast<ULONG_PTR>(block)) + ", " +
                                                                   Hex(uFlags) + ", " + Hex(machine.nameForm));
    const auto list = machine.lists.find(block);
    if (list == machine.lists.end()) {
        Fault("GetDisplayNameOf on an item list that is not live");
        return E_FAIL;
    }
    if (machine.folderReferences <= 0) {
        Fault("GetDisplayNameOf on a released folder object");
    }
    if (fail) {
        return E_FAIL;
    }
    const std::string &path = machine.folders[list->second];
    pName->uType = machine.nameForm;
    switch (machine.nameForm) {
    case STRRET_WSTR:
        pName->pOleStr = NewWideString(path);
        break;
    case STRRET_OFFSET:
        pName->uOffset = ListPathOffset;
        break;
    default:
        // A path too long for the record fills it without a terminator.
        std::memset(pName->cStr, 0, sizeof pName->cStr);
        std::memcpy(pName->cStr, path.c_str(), std::min(path.size(), sizeof pName->cStr));
        break;
    }
    return S_OK;
}

ULONG DesktopFolder::Release()
{
    Record("IShellFolder::Release", "");
    if (machine.folderReferences <= 0) {
        Fault("IShellFolder::Release beyond the references taken");
        return 0;
    }
    return static_cast<ULONG>(--machine.folderReferences);
}

}  // namespace

namespace standin {

void Reset()
{
    // Blocks a faulty run left behind go with the old machine.
    for (const auto &list : machine.lists) {
        std::free(list.first);
    }
    for (void *text : machine.strings) {
        std::free(text);
    }
    machine = Machine();
}

void CreateKey(HKEY root, const std::string &path)
{
    FindKey(root, path, true);
}

void SetValue(HKEY root, const std::string &path, const std::string &name, DWORD type, const std::string &data)
{
    FindKey(root, path, true)->values[Folded(name)] = {type, data};
}

void SetString(HKEY root, const std::string &path, const std::string &name, const std::string &text)
{
    SetValue(root, path, name, REG_SZ, text + std::string(1, '\0'));
}

bool KeyExists(HKEY root, const std::string &path)
{
    return FindKey(root, path, false) != nullptr;
}

void RemoveKey(HKEY root, const std::string &path)
{
    std::string leaf;
    Key *parent = ParentKey(root, path, &leaf);
    if (parent != nullptr) {
        parent->subkeys.erase(leaf);
    }
}

void DenyOpen(HKEY root, const std::string &path)
{
    FindKey(root, path, true)->denyOpen = true;
}

int OpenKeyCount()
{
    return static_cast<int>(machine.openKeys.size());
}

void AddFile(const std::string &path, FileState state)
{
    const std::string full = FullPath(path);
    machine.files[Folded(full)] = {full, false, state};
}

void AddDirectory(const std::string &path)
{
    const std::string full = FullPath(path);
    machine.files[Folded(full)] = {full, true, Deletable};
}

void RemoveFile(const std::string &path)
{
    machine.files.erase(Folded(FullPath(path)));
}

bool Exists(const std::string &path)
{
    return machine.files.count(Folded(FullPath(path))) != 0;
}

std::vector<std::string> Paths()
{
    std::vector<std::string> paths;
    for (const auto &file : machine.files) {
        paths.push_back(file.second.path);
    }
    return paths;
}

const std::vector<std::string> &DeleteAttempts()
{
    return machine.deleteAttempts;
}

void SetCurrentDirectory(const std::string &path)
{
    machine.currentDirectory = path;
}

void SetFolderPath(int csidl, const std::string &path)
{
    machine.folders[csidl] = path;
}

std::string FolderPath(int csidl)
{
    return machine.folders[csidl];
}

void SetNameForm(UINT form)
{
    machine.nameForm = form;
}

int OutstandingLists()
{
    return static_cast<int>(machine.lists.size());
}

int OutstandingStrings()
{
    return static_cast<int>(machine.strings.size());
}

int FolderReferences()
{
    return machine.folderReferences;
}

void AnswerBoxes(const std::vector<int> &answers)
{
    machine.answers = answers;
}

const std::vector<Box> &Boxes()
{
    return machine.boxes;
}

void SetCoInitializeResult(HRESULT result)
{
    machine.coInitializeResult = result;
}

int ComInitializations()
{
    return machine.comInitializations;
}

void SetCodePage(UINT codePage)
{
    machine.codePage = codePage;
}

void SetCommandLine(const std::string &commandLine)
{
    machine.commandLine = commandLine;
}

void FailCall(const std::string &operation, int occurrence)
{
    machine.failures[operation].insert(occurrence);
}

bool CanFail(const std::string &operation)
{
    return Failable.count(operation) != 0;
}

std::vector<std::string> FailableOperations()
{
    return std::vector<std::string>(Failable.begin(), Failable.end());
}

void SetDllSearchFunctions(bool setDefaultDllDirectories, bool setDllDirectory)
{
    machine.hasSetDefaultDllDirectories = setDefaultDllDirectories;
    machine.hasSetDllDirectory = setDllDirectory;
}

const std::vector<Call> &Journal()
{
    return machine.journal;
}

std::vector<std::string> Trace(const std::vector<std::string> &operations)
{
    std::vector<std::string> lines;
    for (const Call &call : machine.journal) {
        for (const std::string &operation : operations) {
            if (call.name == operation) {
                lines.push_back(call.line);
            }
        }
    }
    return lines;
}

const std::vector<std::string> &Faults()
{
    return machine.faults;
}

std::vector<std::string> Violations(const std::vector<std::string> &allowedDeletions)
{
    std::vector<std::string> found;
    const struct {
        int count;
        const char *what;
    } leftovers[] = {
        {OpenKeyCount(), "registry handles left open"},
        {OutstandingLists(), "item lists not freed"},
        {OutstandingStrings(), "shell strings not freed"},
        {FolderReferences(), "folder object references not released"},
        {ComInitializations(), "CoInitialize calls not balanced"},
    };
    for (const auto &leftover : leftovers) {
        if (leftover.count != 0) {
            found.push_back(std::to_string(leftover.count) + " " + leftover.what);
        }
    }
    found.insert(found.end(), machine.faults.begin(), machine.faults.end());
    if (machine.boxes.size() > 2) {
        found.push_back(std::to_string(machine.boxes.size()) + " boxes in one run");
    }
    for (const std::string &path : machine.deleteAttempts) {
        if (std::find(allowedDeletions.begin(), allowedDeletions.end(), path) == allowedDeletions.end()) {
            found.push_back("DeleteFileA on a path the uninstaller has no business with: " + path);
        }
    }
    return found;
}

}  // namespace standin

extern "C" {

LPSTR WINAPI GetCommandLineA(void)
{
    Record("GetCommandLineA", "");
    return &machine.commandLine[0];
}

HMODULE WINAPI GetModuleHandleA(LPCSTR lpModuleName)
{
    if (Record("GetModuleHandleA", Quoted(lpModuleName))) {
        return nullptr;
    }
    if (lpModuleName == nullptr) {
        return Executable;
    }
    return Folded(lpModuleName) == "kernel32.dll" ? Kernel32 : nullptr;
}

FARPROC WINAPI GetProcAddress(HMODULE hModule, LPCSTR lpProcName)
{
    const bool fail = Record("GetProcAddress", Hex(reinterpret_cast<ULONG_PTR>(hModule)) + ", " + Quoted(lpProcName));
    if (hModule != Kernel32) {
        Fault("GetProcAddress on a module that is not loaded");
        return nullptr;
    }
    const std::string name = lpProcName;
    if (fail) {
        return nullptr;
    }
    // Through a generic function type, as Windows hands every address out.
    if (name == "SetDefaultDllDirectories" && machine.hasSetDefaultDllDirectories) {
        return reinterpret_cast<FARPROC>(reinterpret_cast<void (*)()>(StandInSetDefaultDllDirectories));
    }
    if (name == "SetDllDirectoryA" && machine.hasSetDllDirectory) {
        return reinterpret_cast<FARPROC>(reinterpret_cast<void (*)()>(StandInSetDllDirectoryA));
    }
    return nullptr;
}

BOOL WINAPI IsDBCSLeadByte(BYTE TestChar)
{
    return IsLeadByte(machine.codePage, TestChar) ? TRUE : FALSE;
}

UINT WINAPI GetACP(void)
{
    Record("GetACP", "");
    return machine.codePage;
}

int WINAPI lstrcmpiA(LPCSTR lpString1, LPCSTR lpString2)
{
    Record("lstrcmpiA", Quoted(lpString1) + ", " + Quoted(lpString2));
    const std::string a = Folded(lpString1 == nullptr ? "" : lpString1);
    const std::string b = Folded(lpString2 == nullptr ? "" : lpString2);
    return a.compare(b) < 0 ? -1 : (a == b ? 0 : 1);
}

LPSTR WINAPI lstrcpyA(LPSTR lpString1, LPCSTR lpString2)
{
    Record("lstrcpyA", Quoted(lpString2));
    return std::strcpy(lpString1, lpString2);  // NOLINT(clang-analyzer-security.insecureAPI.strcpy): its contract
}

LPSTR WINAPI lstrcatA(LPSTR lpString1, LPCSTR lpString2)
{
    Record("lstrcatA", Quoted(lpString1) + ", " + Quoted(lpString2));
    return std::strcat(lpString1, lpString2);  // NOLINT(clang-analyzer-security.insecureAPI.strcpy): its contract
}

int WINAPI lstrlenA(LPCSTR lpString)
{
    return lpString == nullptr ? 0 : static_cast<int>(std::strlen(lpString));
}

BOOL WINAPI DeleteFileA(LPCSTR lpFileName)
{
    const bool fail = Record("DeleteFileA", Quoted(lpFileName));
    machine.deleteAttempts.push_back(lpFileName);
    if (std::strlen(lpFileName) >= MAX_PATH) {
        Fault(std::string("DeleteFileA on a path longer than MAX_PATH: ") + lpFileName);
        return FALSE;
    }
    const auto file = machine.files.find(Folded(FullPath(lpFileName)));
    if (fail || file == machine.files.end() || file->second.directory || file->second.state != standin::Deletable) {
        return FALSE;
    }
    machine.files.erase(file);
    return TRUE;
}

int WINAPI WideCharToMultiByte(UINT CodePage, DWORD dwFlags, LPCWSTR lpWideCharStr, int cchWideChar,
                               LPSTR lpMultiByteStr, int cbMultiByte, LPCSTR lpDefaultChar,
                               LPBOOL lpUsedDefaultChar)
{
    const bool fail = Record("WideCharToMultiByte", Hex(CodePage) + ", " + Hex(dwFlags) + ", " +
                                                        std::to_string(cchWideChar) + ", " +
                                                        std::to_string(cbMultiByte));
    if (cchWideChar != -1 || lpDefaultChar != nullptr || (dwFlags & ~static_cast<DWORD>(WC_NO_BEST_FIT_CHARS)) != 0) {
        Fault("WideCharToMultiByte called in a form the stand-in does not model");
    }
    // As on Windows, UTF-8 takes no flags and no report of a default character.
    const bool utf8 = machine.codePage == CP_UTF8;
    if (fail || (utf8 && (dwFlags != 0 || lpUsedDefaultChar != nullptr))) {
        return 0;
    }
    // Code page 1252 holds the first 256 characters as they are, 932 only ASCII here, UTF-8
    // everything; anything else becomes the default character.
    std::string converted;
    bool usedDefault = false;
    for (const WCHAR *c = lpWideCharStr; *c != 0; ++c) {
        if (utf8 && *c >= 0x80) {
            if (*c < 0x800) {
                converted += static_cast<char>(0xC0 | (*c >> 6));
            } else {
                converted += static_cast<char>(0xE0 | (*c >> 12));
                converted += static_cast<char>(0x80 | ((*c >> 6) & 0x3F));
            }
            converted += static_cast<char>(0x80 | (*c & 0x3F));
            continue;
        }
        const bool direct = *c < 0x80 || (machine.codePage == 1252 && *c < 0x100);
        converted += direct ? static_cast<char>(*c) : '?';
        usedDefault = usedDefault || !direct;
    }
    if (lpUsedDefaultChar != nullptr) {
        *lpUsedDefaultChar = usedDefault ? TRUE : FALSE;
    }
    const int needed = static_cast<int>(converted.size()) + 1;
    if (cbMultiByte == 0) {
        return needed;
    }
    // Like Windows, a buffer too small is filled as far as it goes, without a terminator.
    const int written = std::min(needed, cbMultiByte);
    // NOLINTNEXTLINE(bugprone-not-null-terminated-result): the cut is what is being modelled
    std::memcpy(lpMultiByteStr, converted.c_str(), static_cast<std::size_t>(written));
    return needed <= cbMultiByte ? needed : 0;
}

int WINAPI MessageBoxA(HWND hWnd, LPCSTR lpText, LPCSTR lpCaption, UINT uType)
{
    const bool fail = Record("MessageBoxA", Quoted(lpText) + ", " + Quoted(lpCaption) + ", " + Hex(uType));
    machine.boxes.push_back({hWnd, lpText == nullptr ? "" : lpText, lpCaption == nullptr ? "" : lpCaption, uType});
    if (fail) {
        return 0;
    }
    if (machine.answers.empty()) {
        return IDOK;
    }
    const int answer = machine.answers.front();
    machine.answers.erase(machine.answers.begin());
    return answer;
}

LONG WINAPI RegOpenKeyExA(HKEY hKey, LPCSTR lpSubKey, DWORD ulOptions, REGSAM samDesired, HKEY *phkResult)
{
    const bool fail = Record("RegOpenKeyExA", RootName(hKey) + ", " + Quoted(lpSubKey) + ", " +
                                                  std::to_string(ulOptions) + ", " + Hex(samDesired));
    HKEY root;
    std::string path;
    if (!ResolveKey(hKey, lpSubKey, &root, &path)) {
        Fault("RegOpenKeyExA on a handle that is not open");
        return ERROR_INVALID_HANDLE;
    }
    if (fail) {
        return ERROR_ACCESS_DENIED;
    }
    const Key *key = FindKey(root, path, false);
    if (key == nullptr) {
        return ERROR_FILE_NOT_FOUND;
    }
    if (key->denyOpen) {
        return ERROR_ACCESS_DENIED;
    }
    HKEY handle = reinterpret_cast<HKEY>(machine.nextKey);
    machine.nextKey += 8;
    machine.openKeys[handle] = {root, path};
    *phkResult = handle;
    return ERROR_SUCCESS;
}

LONG WINAPI RegQueryValueExA(HKEY hKey, LPCSTR lpValueName, LPDWORD lpReserved, LPDWORD lpType, LPBYTE lpData,
                             LPDWORD lpcbData)
{
    const bool fail = Record("RegQueryValueExA", RootName(hKey) + ", " + Quoted(lpValueName) + ", " +
                                                     (lpReserved == nullptr ? "NULL" : "reserved") + ", " +
                                                     (lpcbData == nullptr ? "NULL" : std::to_string(*lpcbData)));
    HKEY root;
    std::string path;
    if (machine.openKeys.count(hKey) == 0 || !ResolveKey(hKey, nullptr, &root, &path)) {
        Fault("RegQueryValueExA on a handle that is not open");
        return ERROR_INVALID_HANDLE;
    }
    if (fail) {
        return ERROR_ACCESS_DENIED;
    }
    const Key *key = FindKey(root, path, false);
    if (key == nullptr) {
        return ERROR_KEY_DELETED;
    }
    const auto value = key->values.find(Folded(lpValueName == nullptr ? "" : lpValueName));
    if (value == key->values.end()) {
        return ERROR_FILE_NOT_FOUND;
    }
    const std::string &data = value->second.second;
    const DWORD size = static_cast<DWORD>(data.size());
    if (lpType != nullptr) {
        *lpType = value->second.first;
    }
    if (lpData != nullptr) {
        if (lpcbData == nullptr || *lpcbData < size) {
            if (lpcbData != nullptr) {
                // What the buffer holds is undefined then; make that visible.
                std::memset(lpData, 'X', *lpcbData);
                *lpcbData = size;
            }
            return ERROR_MORE_DATA;
        }
        // The stored bytes as they are: a value stored without its terminator comes back without one.
        std::memcpy(lpData, data.data(), size);  // NOLINT(bugprone-not-null-terminated-result)
    }
    if (lpcbData != nullptr) {
        *lpcbData = size;
    }
    return ERROR_SUCCESS;
}

LONG WINAPI RegCloseKey(HKEY hKey)
{
    const bool fail = Record("RegCloseKey", RootName(hKey));
    if (machine.openKeys.erase(hKey) == 0) {
        Fault("RegCloseKey on a handle that is not open");
        return ERROR_INVALID_HANDLE;
    }
    // A failed close still leaves the handle unusable; there is nothing to retry.
    return fail ? ERROR_ACCESS_DENIED : ERROR_SUCCESS;
}

LONG WINAPI RegDeleteKeyA(HKEY hKey, LPCSTR lpSubKey)
{
    const bool fail = Record("RegDeleteKeyA", RootName(hKey) + ", " + Quoted(lpSubKey));
    HKEY root;
    std::string path;
    if (!ResolveKey(hKey, lpSubKey, &root, &path)) {
        Fault("RegDeleteKeyA on a handle that is not open");
        return ERROR_INVALID_HANDLE;
    }
    if (Split(path).empty()) {
        return ERROR_ACCESS_DENIED;
    }
    std::string leaf;
    Key *parent = ParentKey(root, path, &leaf);
    if (parent == nullptr || parent->subkeys.count(leaf) == 0) {
        return ERROR_FILE_NOT_FOUND;
    }
    // As on Windows NT, a key with subkeys is not deleted.
    if (fail || !parent->subkeys[leaf]->subkeys.empty()) {
        return ERROR_ACCESS_DENIED;
    }
    parent->subkeys.erase(leaf);
    return ERROR_SUCCESS;
}

HRESULT WINAPI SHGetDesktopFolder(IShellFolder **ppshf)
{
    if (Record("SHGetDesktopFolder", "")) {
        *ppshf = nullptr;
        return E_FAIL;
    }
    ++machine.folderReferences;
    *ppshf = &desktopFolder;
    return S_OK;
}

HRESULT WINAPI SHGetSpecialFolderLocation(HWND hwnd, int csidl, LPITEMIDLIST *ppidl)
{
    const bool fail = Record("SHGetSpecialFolderLocation",
                             Hex(reinterpret_cast<ULONG_PTR>(hwnd)) + ", " + Hex(static_cast<unsigned>(csidl)));
    // A failed call leaves the output as it was: the caller has nothing to free.
    if (fail || machine.folders.count(csidl) == 0) {
        return E_FAIL;
    }
    *ppidl = NewList(csidl);
    return S_OK;
}

HRESULT WINAPI CoInitialize(LPVOID pvReserved)
{
    const HRESULT result =
        Record("CoInitialize", pvReserved == nullptr ? "NULL" : "reserved") ? E_FAIL : machine.coInitializeResult;
    if (SUCCEEDED(result)) {
        ++machine.comInitializations;
    }
    return result;
}

void WINAPI CoUninitialize(void)
{
    Record("CoUninitialize", "");
    if (machine.comInitializations == 0) {
        Fault("CoUninitialize without a successful CoInitialize");
        return;
    }
    --machine.comInitializations;
}

void WINAPI CoTaskMemFree(LPVOID pv)
{
    Record("CoTaskMemFree", pv == nullptr ? "NULL" : Hex(reinterpret_cast<ULONG_PTR>(pv)));
    if (pv == nullptr) {
        return;
    }
    if (machine.lists.erase(pv) == 0 && machine.strings.erase(pv) == 0) {
        Fault("CoTaskMemFree of a block that is not live");
        return;
    }
    std::free(pv);
}
}
