// The in-memory Windows that the host build links in place of the real one: tests set up its
// registry, files, shell and answers, run the flow, then read its journal and its state.
#ifndef QUARN_PLATFORM_STANDIN_H
#define QUARN_PLATFORM_STANDIN_H

#include <string>
#include <vector>

#include "win32.h"

namespace standin {

struct Call {
    std::string name;
    std::string line;  // name(arguments), as the caller passed them
};

struct Box {
    HWND owner;
    std::string text;
    std::string caption;
    UINT style;
};

enum FileState { Deletable, ReadOnly, InUse };

// A fresh machine: empty registry and disk, code page 1252, shell folders under C:\Users\quarn,
// current directory C:\Users\quarn, CoInitialize answering S_OK, no faults.
void Reset();

// Registry. Paths are relative to HKEY_CURRENT_USER or HKEY_LOCAL_MACHINE; names ignore case.
void CreateKey(HKEY root, const std::string &path);
void SetValue(HKEY root, const std::string &path, const std::string &name, DWORD type, const std::string &data);
void SetString(HKEY root, const std::string &path, const std::string &name, const std::string &text);
bool KeyExists(HKEY root, const std::string &path);
void RemoveKey(HKEY root, const std::string &path);  // with everything below it
void DenyOpen(HKEY root, const std::string &path);
int OpenKeyCount();

// Files. Paths ignore case and resolve against the current directory, as Windows resolves them.
void AddFile(const std::string &path, FileState state = Deletable);
void AddDirectory(const std::string &path);
void RemoveFile(const std::string &path);
bool Exists(const std::string &path);
std::vector<std::string> Paths();
// Every path passed to DeleteFileA, in order, whether or not the file went.
const std::vector<std::string> &DeleteAttempts();
void SetCurrentDirectory(const std::string &path);

// Shell.
void SetFolderPath(int csidl, const std::string &path);
std::string FolderPath(int csidl);
void SetNameForm(UINT form);  // STRRET_WSTR, STRRET_OFFSET or STRRET_CSTR
int OutstandingLists();
int OutstandingStrings();
int FolderReferences();

// Message boxes are answered in order; an unscripted box answers IDOK.
void AnswerBoxes(const std::vector<int> &answers);
const std::vector<Box> &Boxes();

// COM.
void SetCoInitializeResult(HRESULT result);
int ComInitializations();  // successful CoInitialize calls not yet balanced

void SetCodePage(UINT codePage);
void SetCommandLine(const std::string &commandLine);

// Makes the given call of an operation fail (1 = its first call), in that operation's own way.
void FailCall(const std::string &operation, int occurrence);
// Whether FailCall has any effect on the operation: some cannot fail.
bool CanFail(const std::string &operation);
std::vector<std::string> FailableOperations();

// Which of the DLL search functions kernel32 offers, as on systems old and new.
void SetDllSearchFunctions(bool setDefaultDllDirectories, bool setDllDirectory);

// Every call, in order.
const std::vector<Call> &Journal();
// The journal's lines for these operations only, in order.
std::vector<std::string> Trace(const std::vector<std::string> &operations);
// Misuse seen by the stand-in: double frees, unknown handles, over-release, over-long paths.
const std::vector<std::string> &Faults();

// What a finished run left broken, one line each: handles, blocks or references not given back,
// COM out of balance, misuse, more than two boxes, a deletion outside allowedDeletions.
std::vector<std::string> Violations(const std::vector<std::string> &allowedDeletions);

}  // namespace standin

#endif
