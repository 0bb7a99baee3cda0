// The end-to-end driver: stages a Quarn installation on a real Win32 implementation, starts the
// uninstaller with an exact raw command line, answers its boxes, and reports what is left.
// Usage: quarn-e2e UNINSTALLER [--only NAME[,NAME...]] [--timeout SECONDS] [--shots DIR] [--demo] [--list]
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>
#include <shlobj.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "expected.h"

namespace {

const char UninstallerCopy[] = "C:\\Program Files\\Quarn\\QuarnUninstall.exe";
const char StartDir[] = "C:\\quarn-e2e\\cwd";

enum DirValue { NormalDir, EmptyDir, RelativeDir, OverlongDir };

struct Scenario {
    const char *name;
    const char *tail;  // what follows the quoted program name on the raw command line
    bool accepted;     // the tail is the keyword
    int answer;        // to the question
    bool productKey;
    DirValue dir;
    unsigned absentFiles;  // bit i: ProgramFileNames[i] not staged
    int readOnlyFile;      // index, or -1
    int heldOpenFile;      // index, or -1
    bool entrySubkey;      // the installed-programs entry has a subkey
};

const Scenario Scenarios[] = {
    {"refused-empty", "", false, IDYES, true, NormalDir, 0, -1, -1, false},
    {"refused-trailing-blank", " -removequarn ", false, IDYES, true, NormalDir, 0, -1, -1, false},
    {"refused-extra-argument", " -removequarn now", false, IDYES, true, NormalDir, 0, -1, -1, false},
    {"refused-quoted-keyword", " \"-removequarn\"", false, IDYES, true, NormalDir, 0, -1, -1, false},
    {"accepted-after-blanks-and-tabs", " \t  \t-removequarn", true, IDYES, true, NormalDir, 0, -1, -1, false},
    {"accepted-in-capitals", " -REMOVEQUARN", true, IDYES, true, NormalDir, 0, -1, -1, false},
    {"declined", " -removequarn", true, IDNO, true, NormalDir, 0, -1, -1, false},
    {"missing-product-key", " -removequarn", true, IDYES, false, NormalDir, 0, -1, -1, false},
    {"full-removal", " -removequarn", true, IDYES, true, NormalDir, 0, -1, -1, false},
    {"some-files-absent", " -removequarn", true, IDYES, true, NormalDir, (1u << 2) | (1u << 5) | (1u << 9), -1, -1,
     false},
    {"read-only-and-open-files", " -removequarn", true, IDYES, true, NormalDir, 0, 3, 1, false},
    {"entry-with-subkey", " -removequarn", true, IDYES, true, NormalDir, 0, -1, -1, true},
    {"empty-install-dir", " -removequarn", true, IDYES, true, EmptyDir, 0, -1, -1, false},
    {"relative-install-dir", " -removequarn", true, IDYES, true, RelativeDir, 0, -1, -1, false},
    {"overlong-install-dir", " -removequarn", true, IDYES, true, OverlongDir, 0, -1, -1, false},
};

struct Options {
    std::string uninstaller;
    std::vector<std::string> only;
    DWORD timeoutMs = 60000;
    std::string shots;
    bool demo = false;
    bool list = false;
};

Options options;
REGSAM machineView;  // the registry view of HKEY_LOCAL_MACHINE\Software the uninstaller sees
std::vector<std::string> pictured;  // the kinds of box already captured

struct Item {
    std::string label;
    bool isKey;
    HKEY root;
    std::string path;
    bool staged;      // present before the run
    bool shouldGo;    // gone after the run
};

std::string FolderPath(int csidl)
{
    char path[MAX_PATH] = "";
    SHGetFolderPathA(NULL, csidl | CSIDL_FLAG_CREATE, NULL, 0, path);
    return path;
}

bool FileExists(const std::string &path)
{
    return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

bool KeyExists(HKEY root, const std::string &path)
{
    HKEY key;
    const REGSAM view = root == HKEY_LOCAL_MACHINE ? machineView : 0;
    if (RegOpenKeyExA(root, path.c_str(), 0, KEY_READ | view, &key) != ERROR_SUCCESS) {
        return false;
    }
    RegCloseKey(key);
    return true;
}

bool Present(const Item &item)
{
    return item.isKey ? KeyExists(item.root, item.path) : FileExists(item.path);
}

void WriteFile(const std::string &path)
{
    const HANDLE file = CreateFileA(path.c_str(), GENERIC_WRITE, 0, NULL, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, NULL);
    if (file != INVALID_HANDLE_VALUE) {
        DWORD written;
        ::WriteFile(file, "quarn", 5, &written, NULL);
        CloseHandle(file);
    }
}

void MakeDirectories(const std::string &path)
{
    for (size_t i = 3; i <= path.size(); ++i) {
        if (i == path.size() || path[i] == '\\') {
            CreateDirectoryA(path.substr(0, i).c_str(), NULL);
        }
    }
}

void SetString(HKEY root, const std::string &path, const char *name, const std::string &data)
{
    HKEY key;
    const REGSAM view = root == HKEY_LOCAL_MACHINE ? machineView : 0;
    if (RegCreateKeyExA(root, path.c_str(), 0, NULL, 0, KEY_ALL_ACCESS | view, NULL, &key, NULL) == ERROR_SUCCESS) {
        RegSetValueExA(key, name, 0, REG_SZ, reinterpret_cast<const BYTE *>(data.c_str()),
                       static_cast<DWORD>(data.size() + 1));
        RegCloseKey(key);
    }
}

void DeleteKeyTree(HKEY root, const std::string &path)
{
    const REGSAM view = root == HKEY_LOCAL_MACHINE ? machineView : 0;
    RegDeleteKeyExA(root, (path + "\\Options").c_str(), view, 0);
    RegDeleteKeyExA(root, path.c_str(), view, 0);
}

std::string InstallDirValue(DirValue dir)
{
    switch (dir) {
    case EmptyDir:
        return "";
    case RelativeDir:
        return "Quarn";
    case OverlongDir:
        return std::string(InstallDir) + "\\" + std::string(300, 'q');
    default:
        return InstallDir;
    }
}

// Everything a scenario stages, and what must be gone afterwards. The decoys stand where a
// careless uninstaller would delete when the install directory is empty or relative.
std::vector<Item> Inventory(const Scenario &s)
{
    const bool proceeds = s.accepted && s.answer == IDYES && s.productKey;
    const bool filesGo = proceeds && s.dir == NormalDir;
    std::vector<Item> items;
    items.push_back({"per-user key", true, HKEY_CURRENT_USER, ProductKey, s.productKey, proceeds});
    items.push_back({"installed-programs entry", true, HKEY_LOCAL_MACHINE, UninstallKey, true,
                     proceeds && !s.entrySubkey});
    for (int i = 0; i < 10; ++i) {
        const bool staged = (s.absentFiles & (1u << i)) == 0;
        const bool locked = i == s.readOnlyFile || i == s.heldOpenFile;
        items.push_back({"program file", false, NULL, std::string(InstallDir) + "\\" + ProgramFileNames[i], staged,
                         filesGo && staged && !locked});
    }
    items.push_back({"install directory", false, NULL, InstallDir, true, false});
    items.push_back({"stranger file", false, NULL, std::string(InstallDir) + "\\Settings.ini", true, false});
    items.push_back({"uninstaller itself", false, NULL, UninstallerCopy, true, false});
    const std::string desktop = FolderPath(CSIDL_DESKTOPDIRECTORY);
    const std::string programs = FolderPath(CSIDL_PROGRAMS);
    items.push_back({"desktop shortcut", false, NULL, desktop + "\\" + ShortcutName, true, proceeds});
    items.push_back({"programs shortcut", false, NULL, programs + "\\" + ShortcutName, true, proceeds});
    items.push_back({"other shortcut", false, NULL, desktop + "\\Quarn (deutsch).lnk", true, false});
    items.push_back({"subfolder shortcut", false, NULL, programs + "\\Quarn\\" + ShortcutName, true, false});
    for (const char *name : ProgramFileNames) {
        items.push_back({"decoy at drive root", false, NULL, std::string("C:\\") + name, true, false});
        items.push_back({"decoy in start dir", false, NULL, std::string(StartDir) + "\\" + name, true, false});
        items.push_back({"decoy under start dir", false, NULL, std::string(StartDir) + "\\Quarn\\" + name, true, false});
    }
    return items;
}

HANDLE heldOpen = INVALID_HANDLE_VALUE;

void Stage(const Scenario &s, const std::vector<Item> &items)
{
    MakeDirectories(InstallDir);
    MakeDirectories(std::string(StartDir) + "\\Quarn");
    MakeDirectories(FolderPath(CSIDL_PROGRAMS) + "\\Quarn");
    CopyFileA(options.uninstaller.c_str(), UninstallerCopy, FALSE);
    for (const Item &item : items) {
        if (!item.staged || item.isKey || item.label == "install directory" || item.label == "uninstaller itself") {
            continue;
        }
        WriteFile(item.path);
    }
    if (s.productKey) {
        SetString(HKEY_CURRENT_USER, ProductKey, "InstallDir", InstallDirValue(s.dir));
    }
    SetString(HKEY_LOCAL_MACHINE, UninstallKey, "DisplayName", "Quarn");
    if (s.entrySubkey) {
        SetString(HKEY_LOCAL_MACHINE, std::string(UninstallKey) + "\\Options", "Kept", "yes");
    }
    if (s.readOnlyFile >= 0) {
        SetFileAttributesA((std::string(InstallDir) + "\\" + ProgramFileNames[s.readOnlyFile]).c_str(),
                           FILE_ATTRIBUTE_READONLY);
    }
    if (s.heldOpenFile >= 0) {
        // Open without FILE_SHARE_DELETE: nobody may delete it while we hold it.
        heldOpen = CreateFileA((std::string(InstallDir) + "\\" + ProgramFileNames[s.heldOpenFile]).c_str(), GENERIC_READ,
                               FILE_SHARE_READ, NULL, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, NULL);
    }
}

void Unstage(const std::vector<Item> &items)
{
    if (heldOpen != INVALID_HANDLE_VALUE) {
        CloseHandle(heldOpen);
        heldOpen = INVALID_HANDLE_VALUE;
    }
    for (const Item &item : items) {
        if (item.isKey) {
            DeleteKeyTree(item.root, item.path);
        } else if (item.label != "install directory") {
            SetFileAttributesA(item.path.c_str(), FILE_ATTRIBUTE_NORMAL);
            DeleteFileA(item.path.c_str());
        }
    }
    RemoveDirectoryA((FolderPath(CSIDL_PROGRAMS) + "\\Quarn").c_str());
    RemoveDirectoryA((std::string(StartDir) + "\\Quarn").c_str());
    RemoveDirectoryA(InstallDir);
}

struct SeenBox {
    std::string caption;
    std::string text;
    std::string buttons;  // visible buttons' texts, comma-separated, without '&'
};

struct FindContext {
    DWORD processId;
    HWND found;
};

BOOL CALLBACK FindBox(HWND window, LPARAM context)
{
    FindContext *find = reinterpret_cast<FindContext *>(context);
    DWORD owner = 0;
    GetWindowThreadProcessId(window, &owner);
    char className[64] = "";
    GetClassNameA(window, className, sizeof className);
    if (owner == find->processId && std::strcmp(className, "#32770") == 0 && IsWindowVisible(window)) {
        find->found = window;
        return FALSE;
    }
    return TRUE;
}

BOOL CALLBACK ReadControl(HWND control, LPARAM context)
{
    SeenBox *box = reinterpret_cast<SeenBox *>(context);
    char className[64] = "";
    char text[512] = "";
    GetClassNameA(control, className, sizeof className);
    GetWindowTextA(control, text, sizeof text);
    if (!IsWindowVisible(control) || text[0] == '\0') {
        return TRUE;
    }
    if (lstrcmpiA(className, "Static") == 0) {
        box->text = text;
    } else if (lstrcmpiA(className, "Button") == 0) {
        std::string label;
        for (const char *c = text; *c != '\0'; ++c) {
            if (*c != '&') {
                label += *c;
            }
        }
        box->buttons += (box->buttons.empty() ? "" : ",") + label;
    }
    return TRUE;
}

// Hands the box's place on the screen to the script that captures it, and waits for the picture.
// Each kind of box is pictured once.
void Capture(HWND box, const char *label)
{
    if (options.shots.empty()) {
        return;
    }
    for (const std::string &done : pictured) {
        if (done == label) {
            return;
        }
    }
    pictured.push_back(label);
    RECT rect;
    GetWindowRect(box, &rect);
    const std::string base = options.shots + "\\" + label;
    const std::string ready = base + ".ready";
    FILE *file = std::fopen((ready + ".part").c_str(), "w");
    if (file == NULL) {
        return;
    }
    std::fprintf(file, "%ld %ld %ld %ld\n", rect.left, rect.top, rect.right - rect.left, rect.bottom - rect.top);
    std::fclose(file);
    MoveFileA((ready + ".part").c_str(), ready.c_str());
    for (int waited = 0; waited < 300 && !FileExists(base + ".taken"); ++waited) {
        Sleep(100);
    }
}

const char *BoxLabel(const std::string &text)
{
    if (text == RefusalText) {
        return "refusal";
    }
    if (text == QuestionText) {
        return "question";
    }
    return text == CompletionText ? "completion" : "unexpected";
}

// Runs the uninstaller on the raw command line, answering the question with answer and any other
// box with OK. False when a box did not close or the process did not end in time.
bool RunUninstaller(const std::string &commandLine, int answer, std::vector<SeenBox> *boxes, DWORD *exitCode,
                    std::string *why)
{
    STARTUPINFOA startup;
    std::memset(&startup, 0, sizeof startup);
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process;
    std::vector<char> line(commandLine.begin(), commandLine.end());
    line.push_back('\0');
    if (!CreateProcessA(UninstallerCopy, line.data(), NULL, NULL, FALSE, 0, NULL, StartDir, &startup, &process)) {
        *why = "CreateProcess failed with error " + std::to_string(GetLastError());
        return false;
    }
    const DWORD deadline = GetTickCount() + options.timeoutMs;
    bool ended = false;
    while (!ended && static_cast<LONG>(deadline - GetTickCount()) > 0) {
        if (WaitForSingleObject(process.hProcess, 100) == WAIT_OBJECT_0) {
            ended = true;
            break;
        }
        FindContext find = {process.dwProcessId, NULL};
        EnumWindows(FindBox, reinterpret_cast<LPARAM>(&find));
        if (find.found == NULL) {
            continue;
        }
        Sleep(300);  // let it paint before it is read and pictured
        SeenBox box;
        char caption[256] = "";
        GetWindowTextA(find.found, caption, sizeof caption);
        box.caption = caption;
        EnumChildWindows(find.found, ReadControl, reinterpret_cast<LPARAM>(&box));
        boxes->push_back(box);
        Capture(find.found, BoxLabel(box.text));
        const int button = box.text == QuestionText ? answer : IDOK;
        PostMessageA(find.found, WM_COMMAND, MAKEWPARAM(button, BN_CLICKED), 0);
        while (IsWindow(find.found) && static_cast<LONG>(deadline - GetTickCount()) > 0) {
            Sleep(50);
        }
        if (IsWindow(find.found)) {
            *why = "the box \"" + box.text + "\" did not close";
            break;
        }
    }
    if (!ended) {
        if (why->empty()) {
            *why = boxes->empty() ? "no box came and the process did not end in time"
                                  : "the process did not end in time after its last box";
        }
        TerminateProcess(process.hProcess, 99);
        WaitForSingleObject(process.hProcess, 5000);
    }
    GetExitCodeProcess(process.hProcess, exitCode);
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    return ended;
}

std::string CommandLine(const Scenario &s)
{
    return std::string("\"") + UninstallerCopy + "\"" + s.tail;
}

std::vector<SeenBox> ExpectedBoxes(const Scenario &s)
{
    if (!s.accepted) {
        return {{Caption, RefusalText, "OK"}};
    }
    std::vector<SeenBox> boxes = {{Caption, QuestionText, "Yes,No"}};
    if (s.answer == IDYES && s.productKey) {
        boxes.push_back({Caption, CompletionText, "OK"});
    }
    return boxes;
}

std::string Describe(const std::vector<SeenBox> &boxes)
{
    std::string text;
    for (const SeenBox &box : boxes) {
        text += "[" + box.caption + ": " + box.text + " (" + box.buttons + ")] ";
    }
    return text.empty() ? "no box" : text;
}

bool RunScenario(const Scenario &s, int number)
{
    const std::vector<Item> items = Inventory(s);
    Stage(s, items);
    std::vector<std::string> problems;
    for (const Item &item : items) {
        if (Present(item) != item.staged) {
            problems.push_back("could not stage " + item.label + " " + item.path);
        }
    }

    std::vector<SeenBox> boxes;
    DWORD exitCode = 0xFFFFFFFF;
    std::string why;
    if (problems.empty() && !RunUninstaller(CommandLine(s), s.answer, &boxes, &exitCode, &why)) {
        problems.push_back(why);
    }
    if (problems.empty()) {
        if (exitCode != 0) {
            problems.push_back("exit code " + std::to_string(exitCode));
        }
        const std::vector<SeenBox> expected = ExpectedBoxes(s);
        bool same = boxes.size() == expected.size();
        for (size_t i = 0; same && i < boxes.size(); ++i) {
            same = boxes[i].caption == expected[i].caption && boxes[i].text == expected[i].text &&
                   boxes[i].buttons == expected[i].buttons;
        }
        if (!same) {
            problems.push_back("boxes " + Describe(boxes) + "expected " + Describe(expected));
        }
        for (const Item &item : items) {
            const bool present = Present(item);
            const bool expectedPresent = item.staged && !item.shouldGo;
            if (present != expectedPresent) {
                problems.push_back(item.label + " " + item.path + (present ? " is still there" : " was removed"));
            }
        }
    }
    Unstage(items);

    std::printf("%s %d - %s\n", problems.empty() ? "ok" : "not ok", number, s.name);
    for (const std::string &problem : problems) {
        std::printf("#   %s\n", problem.c_str());
    }
    std::fflush(stdout);
    return problems.empty();
}

// The main job shown to a person: a staged installation, a run answering Yes, and what went.
int Demo()
{
    const Scenario &s = Scenarios[8];
    const std::vector<Item> items = Inventory(s);
    Stage(s, items);
    std::vector<bool> before;
    for (const Item &item : items) {
        before.push_back(Present(item));
    }
    std::vector<SeenBox> boxes;
    DWORD exitCode = 0xFFFFFFFF;
    std::string why;
    const bool ended = RunUninstaller(CommandLine(s), IDYES, &boxes, &exitCode, &why);
    std::printf("command line: %s\n", CommandLine(s).c_str());
    for (const SeenBox &box : boxes) {
        std::printf("box: [%s] %s (%s)\n", box.caption.c_str(), box.text.c_str(), box.buttons.c_str());
    }
    std::printf("exit code: %lu%s\n\n", exitCode, ended ? "" : (" (" + why + ")").c_str());
    std::printf("%-8s %-8s %-26s %s\n", "before", "after", "what", "where");
    bool right = ended && exitCode == 0;
    int decoys = 0;
    int decoysBefore = 0;
    int decoysLeft = 0;
    for (size_t i = 0; i < items.size(); ++i) {
        const bool after = Present(items[i]);
        right = right && after == (items[i].staged && !items[i].shouldGo);
        // The decoys are many and alike: one line for them all.
        if (items[i].label.compare(0, 5, "decoy") == 0) {
            ++decoys;
            decoysBefore += before[i] ? 1 : 0;
            decoysLeft += after ? 1 : 0;
            continue;
        }
        const std::string where = items[i].isKey
                                      ? std::string(items[i].root == HKEY_CURRENT_USER ? "HKCU\\" : "HKLM\\") +
                                            items[i].path
                                      : items[i].path;
        std::printf("%-8s %-8s %-26s %s\n", before[i] ? "present" : "-", after ? "present" : "removed",
                    items[i].label.c_str(), where.c_str());
    }
    std::printf("%-8s %-8s %-26s %s\n", (std::to_string(decoysBefore) + "/" + std::to_string(decoys)).c_str(),
                (std::to_string(decoysLeft) + "/" + std::to_string(decoys)).c_str(), "decoys",
                "the ten names at C:\\, in the start directory and its Quarn folder, where a careless "
                "uninstaller would delete them");
    Unstage(items);
    std::printf("\n%s\n", right ? "The uninstaller removed exactly what it should." : "UNEXPECTED RESULT");
    return right ? 0 : 1;
}

bool Selected(const char *name)
{
    if (options.only.empty()) {
        return true;
    }
    for (const std::string &only : options.only) {
        if (only == name) {
            return true;
        }
    }
    return false;
}

}  // namespace

int main(int argc, char **argv)
{
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--only" && i + 1 < argc) {
            std::string names = argv[++i];
            for (size_t start = 0; start <= names.size();) {
                const size_t comma = names.find(',', start);
                options.only.push_back(names.substr(start, comma == std::string::npos ? std::string::npos : comma - start));
                start = comma == std::string::npos ? names.size() + 1 : comma + 1;
            }
        } else if (arg == "--timeout" && i + 1 < argc) {
            options.timeoutMs = static_cast<DWORD>(std::atoi(argv[++i])) * 1000;
        } else if (arg == "--shots" && i + 1 < argc) {
            options.shots = argv[++i];
        } else if (arg == "--demo") {
            options.demo = true;
        } else if (arg == "--list") {
            options.list = true;
        } else {
            options.uninstaller = arg;
        }
    }
    if (options.list) {
        for (const Scenario &s : Scenarios) {
            std::printf("%s\n", s.name);
        }
        return 0;
    }
    for (const std::string &name : options.only) {
        bool known = false;
        for (const Scenario &s : Scenarios) {
            known = known || name == s.name;
        }
        if (!known) {
            std::fprintf(stderr, "quarn-e2e: no scenario named %s\n", name.c_str());
            return 2;
        }
    }
    DWORD binaryType = 0;
    if (options.uninstaller.empty() || !GetBinaryTypeA(options.uninstaller.c_str(), &binaryType)) {
        std::fprintf(stderr, "usage: quarn-e2e UNINSTALLER [--only NAMES] [--timeout S] [--shots DIR] [--demo]\n");
        return 2;
    }
    // A 32-bit program on 64-bit Windows sees HKEY_LOCAL_MACHINE\Software through the 32-bit view.
    machineView = binaryType == SCS_32BIT_BINARY ? KEY_WOW64_32KEY : KEY_WOW64_64KEY;
    std::printf("# uninstaller %s: %s, installed-programs entry in the %s registry view\n",
                options.uninstaller.c_str(), binaryType == SCS_32BIT_BINARY ? "32-bit" : "64-bit",
                binaryType == SCS_32BIT_BINARY ? "32-bit" : "64-bit");
    if (options.demo) {
        return Demo();
    }

    int passed = 0;
    int failed = 0;
    int number = 0;
    for (const Scenario &s : Scenarios) {
        if (Selected(s.name)) {
            (RunScenario(s, ++number) ? passed : failed) += 1;
        }
    }
    std::printf("%d passed, %d failed\n", passed, failed);
    return failed == 0 && passed > 0 ? 0 : 1;
}
