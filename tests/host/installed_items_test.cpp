// The per-user key, the ten program files and the installed-programs entry: what goes, in which
// order, and what bad registry data must never turn into.
#include <algorithm>
#include <string>
#include <vector>

#include "flow_fixture.h"

namespace {

const std::vector<std::string> RegistryAndFiles = {"RegOpenKeyExA", "RegQueryValueExA", "RegCloseKey", "RegDeleteKeyA",
                                                   "DeleteFileA", "MessageBoxA"};

std::string Quote(const std::string &text)
{
    return "\"" + text + "\"";
}

bool AnyExists(const std::vector<std::string> &paths)
{
    return std::any_of(paths.begin(), paths.end(), [](const std::string &path) { return standin::Exists(path); });
}

bool AllExist(const std::vector<std::string> &paths)
{
    return std::all_of(paths.begin(), paths.end(), [](const std::string &path) { return standin::Exists(path); });
}

// True when the run tried to delete any file of the program's own, wherever.
bool TriedProgramFiles()
{
    for (const std::string &path : standin::DeleteAttempts()) {
        for (const char *name : ProgramFileNames) {
            const std::string suffix = std::string("\\") + name;
            if (path.size() >= suffix.size() && path.compare(path.size() - suffix.size(), suffix.size(), suffix) == 0) {
                return true;
            }
        }
    }
    return false;
}

using InstalledItems = FlowTest;

TEST_F(InstalledItems, FullRemovalInTheFixedOrder)
{
    StageInstallation();
    EXPECT_EQ(RunConfirmed(), 0);

    std::vector<std::string> expected = {
        "MessageBoxA(" + Quote(QuestionText) + ", " + Quote(Caption) + ", 0x24)",
        "RegOpenKeyExA(HKEY_CURRENT_USER, \"Software\\QuarnUS\", 0, 0xf003f)",
        "RegQueryValueExA(key0x1000, \"InstallDir\", NULL, 260)",
        "RegCloseKey(key0x1000)",
        "RegDeleteKeyA(HKEY_CURRENT_USER, \"Software\\QuarnUS\")",
    };
    for (const std::string &path : ProgramPaths(InstallDir)) {
        expected.push_back("DeleteFileA(" + Quote(path) + ")");
    }
    expected.push_back("RegDeleteKeyA(HKEY_LOCAL_MACHINE, "
                       "\"Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\QuarnUS\")");
    expected.push_back("DeleteFileA(" + Quote(ShortcutPath(CSIDL_DESKTOPDIRECTORY)) + ")");
    expected.push_back("DeleteFileA(" + Quote(ShortcutPath(CSIDL_PROGRAMS)) + ")");
    expected.push_back("MessageBoxA(" + Quote(CompletionText) + ", " + Quote(Caption) + ", 0x40)");
    EXPECT_EQ(standin::Trace(RegistryAndFiles), expected);

    EXPECT_FALSE(AnyExists(ProgramPaths(InstallDir)));
    EXPECT_FALSE(standin::KeyExists(HKEY_CURRENT_USER, ProductKey));
    EXPECT_FALSE(standin::KeyExists(HKEY_LOCAL_MACHINE, UninstallKey));
    EXPECT_TRUE(standin::Exists(InstallDir)) << "the directory itself stays";
    EXPECT_TRUE(standin::Exists(std::string(InstallDir) + "\\Settings.ini")) << "a file not in the table stays";
}

TEST_F(InstalledItems, FilesThatCannotGoArePassedOver)
{
    StageInstallation();
    const std::vector<std::string> paths = ProgramPaths(InstallDir);
    standin::RemoveFile(paths[2]);
    standin::RemoveFile(paths[5]);
    standin::AddFile(paths[3], standin::ReadOnly);
    standin::AddFile(paths[1], standin::InUse);

    EXPECT_EQ(RunConfirmed(), 0);
    EXPECT_EQ(standin::DeleteAttempts().size(), 12U) << "all ten files and both shortcuts are tried";
    for (int i = 0; i < 10; ++i) {
        EXPECT_EQ(standin::Exists(paths[i]), i == 1 || i == 3) << paths[i];
    }
    EXPECT_FALSE(standin::KeyExists(HKEY_LOCAL_MACHINE, UninstallKey));
    ASSERT_EQ(standin::Boxes().size(), 2U);
    EXPECT_EQ(standin::Boxes()[1].text, CompletionText);
}

TEST_F(InstalledItems, NoProductKeyMeansNothingIsTouched)
{
    const struct {
        const char *what;
        bool present;
        bool denied;
    } cases[] = {{"absent", false, false}, {"open denied", true, true}};
    for (const auto &c : cases) {
        standin::Reset();
        StageInstallation(c.present);
        if (c.denied) {
            standin::DenyOpen(HKEY_CURRENT_USER, ProductKey);
        }
        EXPECT_EQ(RunConfirmed(), 0) << c.what;
        EXPECT_EQ(standin::Trace({"RegQueryValueExA", "RegCloseKey", "RegDeleteKeyA", "DeleteFileA",
                                  "SHGetDesktopFolder"}),
                  std::vector<std::string>())
            << c.what;
        EXPECT_EQ(standin::Boxes().size(), 1U) << c.what;
        EXPECT_TRUE(InstallationIntact()) << c.what;
        ExpectInvariants(c.what);
    }
}

TEST_F(InstalledItems, KeysTheSystemWillNotDeleteDoNotStopTheRun)
{
    const struct {
        const char *what;
        bool entryPresent;
        const char *subkeyUnder;  // root-relative key given a subkey, or null
        HKEY subkeyRoot;
    } cases[] = {
        {"installed-programs entry already gone", false, nullptr, nullptr},
        {"installed-programs entry with a subkey", true, UninstallKey, HKEY_LOCAL_MACHINE},
        {"per-user key with a subkey", true, ProductKey, HKEY_CURRENT_USER},
    };
    for (const auto &c : cases) {
        standin::Reset();
        StageInstallation();
        if (!c.entryPresent) {
            standin::RemoveKey(HKEY_LOCAL_MACHINE, UninstallKey);
        }
        if (c.subkeyUnder != nullptr) {
            standin::CreateKey(c.subkeyRoot, std::string(c.subkeyUnder) + "\\Options");
        }
        EXPECT_EQ(RunConfirmed(), 0) << c.what;
        EXPECT_FALSE(AnyExists(ProgramPaths(InstallDir))) << c.what;
        EXPECT_EQ(standin::KeyExists(HKEY_CURRENT_USER, ProductKey), c.subkeyRoot == HKEY_CURRENT_USER) << c.what;
        EXPECT_EQ(standin::KeyExists(HKEY_LOCAL_MACHINE, UninstallKey), c.subkeyRoot == HKEY_LOCAL_MACHINE)
            << c.what;
        EXPECT_EQ(standin::Trace({"SHGetDesktopFolder"}).size(), 1U) << "the shortcuts still follow: " << c.what;
        ASSERT_EQ(standin::Boxes().size(), 2U) << c.what;
        EXPECT_EQ(standin::Boxes()[1].text, CompletionText) << c.what;
        ExpectInvariants(c.what);
    }
}

TEST_F(InstalledItems, ProductKeyGoesEvenWhenNoFileCan)
{
    StageInstallation();
    for (const std::string &path : ProgramPaths(InstallDir)) {
        standin::AddFile(path, standin::InUse);
    }
    EXPECT_EQ(RunConfirmed(), 0);
    EXPECT_FALSE(standin::KeyExists(HKEY_CURRENT_USER, ProductKey));
    EXPECT_TRUE(AllExist(ProgramPaths(InstallDir)));
    const std::vector<std::string> trace = standin::Trace({"RegDeleteKeyA", "DeleteFileA"});
    ASSERT_FALSE(trace.empty());
    EXPECT_EQ(trace[0], "RegDeleteKeyA(HKEY_CURRENT_USER, \"Software\\QuarnUS\")");
}

// Registry data that must never become deletions: where a careless uninstaller would have deleted,
// decoys wait at the root of the current drive and in the current directory.
TEST_F(InstalledItems, UnusableInstallDirDeletesNoFile)
{
    const std::string unterminated = "C:\\" + std::string(257, 'q');
    const std::string tooLong = "C:\\" + std::string(297, 'q') + std::string(1, '\0');
    const struct {
        const char *what;
        bool present;
        DWORD type;
        std::string data;
    } cases[] = {
        {"absent", false, REG_SZ, ""},
        {"REG_DWORD", true, REG_DWORD, std::string("\x01\x00\x00\x00", 4)},
        {"REG_BINARY holding a path", true, REG_BINARY, std::string("C:\\Quarn\0", 9)},
        {"REG_MULTI_SZ holding a path", true, 7, std::string("C:\\Quarn\0\0", 10)},
        {"empty", true, REG_SZ, std::string(1, '\0')},
        {"zero bytes", true, REG_SZ, ""},
        {"260 bytes without a terminator", true, REG_SZ, unterminated},
        {"path without a terminator", true, REG_SZ, "C:\\Quarn"},
        {"longer than the buffer", true, REG_SZ, tooLong},
        {"relative", true, REG_SZ, std::string("Quarn\0", 6)},
        {"bare file name", true, REG_SZ, std::string("Quarn.exe\0", 10)},
        {"rooted without a drive", true, REG_SZ, std::string("\\Quarn\0", 7)},
        {"drive-relative", true, REG_SZ, std::string("C:Quarn\0", 8)},
        {"unexpanded variable", true, REG_EXPAND_SZ, std::string("%ProgramFiles%\\Quarn\0", 21)},
        {"server without a share", true, REG_SZ, std::string("\\\\server\0", 9)},
        {"device namespace", true, REG_SZ, std::string("\\\\.\\C:\\Quarn\0", 13)},
        {"raw namespace", true, REG_SZ, std::string("\\\\?\\C:\\Quarn\0", 13)},
    };
    for (const auto &c : cases) {
        standin::Reset();
        StageInstallation();
        allowedDeletions = {ShortcutPath(CSIDL_DESKTOPDIRECTORY), ShortcutPath(CSIDL_PROGRAMS)};
        standin::RemoveKey(HKEY_CURRENT_USER, ProductKey);
        standin::CreateKey(HKEY_CURRENT_USER, ProductKey);
        if (c.present) {
            standin::SetValue(HKEY_CURRENT_USER, ProductKey, InstallDirValue, c.type, c.data);
        }
        const std::vector<std::string> decoys = ProgramPaths("C:"), nearby = ProgramPaths("C:\\Users\\quarn");
        for (const std::string &path : decoys) {
            standin::AddFile(path);
        }
        for (const std::string &path : nearby) {
            standin::AddFile(path);
        }

        EXPECT_EQ(RunConfirmed(), 0) << c.what;
        EXPECT_FALSE(TriedProgramFiles()) << c.what;
        EXPECT_TRUE(AllExist(decoys) && AllExist(nearby) && AllExist(ProgramPaths(InstallDir))) << c.what;
        EXPECT_FALSE(standin::KeyExists(HKEY_CURRENT_USER, ProductKey)) << c.what;
        EXPECT_FALSE(standin::KeyExists(HKEY_LOCAL_MACHINE, UninstallKey)) << c.what;
        EXPECT_FALSE(standin::Exists(ShortcutPath(CSIDL_PROGRAMS))) << c.what;
        ASSERT_EQ(standin::Boxes().size(), 2U) << c.what;
        EXPECT_EQ(standin::Boxes()[1].text, CompletionText) << c.what;
        ExpectInvariants(c.what);
    }
}

TEST_F(InstalledItems, UsableInstallDirForms)
{
    const struct {
        const char *what;
        DWORD type;
        std::string data;
        std::string dir;  // what the paths are composed from
    } cases[] = {
        {"plain", REG_SZ, std::string("D:\\Apps\\Quarn\0", 14), "D:\\Apps\\Quarn"},
        {"lower-case drive", REG_SZ, std::string("d:\\quarn\0", 9), "d:\\quarn"},
        {"trailing backslash", REG_SZ, std::string("D:\\Quarn\\\0", 10), "D:\\Quarn"},
        {"drive root", REG_SZ, std::string("D:\\\0", 4), "D:"},
        {"expandable string, already expanded", REG_EXPAND_SZ, std::string("D:\\Quarn\0", 9), "D:\\Quarn"},
        {"share", REG_SZ, std::string("\\\\server\\share\\Quarn\0", 21), "\\\\server\\share\\Quarn"},
        {"text ends at the first terminator", REG_SZ, std::string("D:\\Quarn\0junk", 13), "D:\\Quarn"},
    };
    for (const auto &c : cases) {
        standin::Reset();
        allowedDeletions = ProgramPaths(c.dir);
        allowedDeletions.push_back(ShortcutPath(CSIDL_DESKTOPDIRECTORY));
        allowedDeletions.push_back(ShortcutPath(CSIDL_PROGRAMS));
        standin::SetValue(HKEY_CURRENT_USER, ProductKey, InstallDirValue, c.type, c.data);
        for (const std::string &path : ProgramPaths(c.dir)) {
            standin::AddFile(path);
        }
        EXPECT_EQ(RunConfirmed(), 0) << c.what;
        EXPECT_EQ(std::vector<std::string>(standin::DeleteAttempts().begin(), standin::DeleteAttempts().begin() + 10),
                  ProgramPaths(c.dir))
            << c.what;
        EXPECT_FALSE(AnyExists(ProgramPaths(c.dir))) << c.what;
        ExpectInvariants(c.what);
    }
}

// Names are 9 to 13 characters with their backslash; a directory of 249 leaves room for 10.
TEST_F(InstalledItems, PathsThatWouldNotFitAreSkippedNotCut)
{
    const std::string dir = "C:\\" + std::string(246, 'q');
    ASSERT_EQ(dir.size(), 249U);
    standin::SetString(HKEY_CURRENT_USER, ProductKey, InstallDirValue, dir);
    allowedDeletions = ProgramPaths(dir);
    allowedDeletions.push_back(ShortcutPath(CSIDL_DESKTOPDIRECTORY));
    allowedDeletions.push_back(ShortcutPath(CSIDL_PROGRAMS));

    EXPECT_EQ(RunConfirmed(), 0);
    const std::vector<std::string> all = ProgramPaths(dir);
    const std::vector<std::string> expected = {all[2], all[3], all[8], all[9]};
    EXPECT_EQ(std::vector<std::string>(standin::DeleteAttempts().begin(), standin::DeleteAttempts().end() - 2),
              expected);
}

}  // namespace
