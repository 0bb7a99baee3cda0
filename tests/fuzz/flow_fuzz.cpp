// Fuzzes a confirmed run of the whole program over random InstallDir data (type, bytes, length,
// terminator), random shell answers and random failures, and checks the invariants of every run.
#include <fuzzer/FuzzedDataProvider.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "expected.h"
#include "standin.h"
#include "startup.h"

namespace {

const DWORD Types[] = {REG_SZ, REG_EXPAND_SZ, REG_BINARY, REG_DWORD, 7, REG_NONE};
const HRESULT ComResults[] = {S_OK, S_FALSE, E_FAIL, RPC_E_CHANGED_MODE};

void Broken(const std::string &what)
{
    std::fprintf(stderr, "invariant broken: %s\n", what.c_str());
    __builtin_trap();
}

bool FullyQualified(const std::string &path)
{
    const bool drive = path.size() >= 3 && ((path[0] | 0x20) >= 'a' && (path[0] | 0x20) <= 'z') && path[1] == ':' &&
                       path[2] == '\\';
    return drive || (path.size() >= 5 && path[0] == '\\' && path[1] == '\\');
}

std::string UpToZero(const std::string &text)
{
    return text.substr(0, text.find('\0'));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    FuzzedDataProvider input(data, size);
    standin::Reset();

    const bool valuePresent = input.ConsumeBool();
    const DWORD type = input.PickValueInArray(Types);
    const std::string value = input.ConsumeRandomLengthString(400);
    const UINT form = input.ConsumeIntegralInRange<UINT>(0, 3);
    const std::string desktop = input.ConsumeRandomLengthString(400);
    const std::string programs = input.ConsumeRandomLengthString(400);
    standin::SetCoInitializeResult(input.PickValueInArray(ComResults));
    standin::SetCodePage(input.ConsumeBool() ? 932 : 1252);
    standin::SetDllSearchFunctions(input.ConsumeBool(), input.ConsumeBool());
    const std::vector<std::string> failable = standin::FailableOperations();
    const int failures = input.ConsumeIntegralInRange(0, 3);
    for (int i = 0; i < failures; ++i) {
        const std::string &operation = failable[input.ConsumeIntegralInRange<size_t>(0, failable.size() - 1)];
        standin::FailCall(operation, input.ConsumeIntegralInRange(1, 12));
    }

    standin::CreateKey(HKEY_CURRENT_USER, ProductKey);
    if (valuePresent) {
        standin::SetValue(HKEY_CURRENT_USER, ProductKey, "InstallDir", type, value);
    }
    standin::SetNameForm(form);
    standin::SetFolderPath(CSIDL_DESKTOPDIRECTORY, desktop);
    standin::SetFolderPath(CSIDL_PROGRAMS, programs);
    standin::SetCommandLine("\"C:\\Program Files\\Quarn\\QuarnUninstall.exe\" -removequarn");
    standin::AnswerBoxes({IDYES});

    // What may be deleted: the ten names under the value's text, and the shortcut in each folder.
    std::string dir = UpToZero(value);
    if (!dir.empty() && dir.back() == '\\') {
        dir.pop_back();
    }
    std::vector<std::string> allowed;
    for (const char *name : ProgramFileNames) {
        allowed.push_back(dir + "\\" + name);
    }
    // An empty folder path would put the shortcut name at the root of a drive: never allowed.
    for (const std::string &folder : {UpToZero(desktop), UpToZero(programs)}) {
        allowed.push_back(folder.empty() ? std::string() : folder + "\\" + ShortcutName);
    }

    if (RunProgram() != 0) {
        Broken("exit code not 0");
    }
    for (const std::string &violation : standin::Violations(allowed)) {
        Broken(violation);
    }
    for (const std::string &path : standin::DeleteAttempts()) {
        const bool shortcut = path == allowed[10] || path == allowed[11];
        if (!shortcut && (!FullyQualified(path) || (type != REG_SZ && type != REG_EXPAND_SZ))) {
            Broken("a program file deleted from unusable data: " + path);
        }
        if (path.size() >= MAX_PATH) {
            Broken("a path longer than MAX_PATH: " + path);
        }
    }
    return 0;
}
