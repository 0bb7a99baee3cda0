// What every flow test stands on: the staged installation and the invariants of a run.
#include "flow_fixture.h"

#include "startup.h"

const char InstallDirValue[] = "InstallDir";
const char ConfirmedCommandLine[] = "\"C:\\Program Files\\Quarn\\QuarnUninstall.exe\" -removequarn";

static const char StrangerFile[] = "C:\\Program Files\\Quarn\\Settings.ini";
static const char OtherShortcut[] = "Quarn (deutsch).lnk";

std::vector<std::string> ProgramPaths(const std::string &dir)
{
    std::vector<std::string> paths;
    for (const char *name : ProgramFileNames) {
        paths.push_back(dir + "\\" + name);
    }
    return paths;
}

std::string ShortcutPath(int csidl)
{
    return standin::FolderPath(csidl) + "\\" + ShortcutName;
}

static std::vector<std::string> StagedPaths()
{
    std::vector<std::string> paths = ProgramPaths(InstallDir);
    paths.push_back(InstallDir);
    paths.push_back(StrangerFile);
    paths.push_back(ShortcutPath(CSIDL_DESKTOPDIRECTORY));
    paths.push_back(ShortcutPath(CSIDL_PROGRAMS));
    paths.push_back(standin::FolderPath(CSIDL_DESKTOPDIRECTORY) + "\\" + OtherShortcut);
    paths.push_back(standin::FolderPath(CSIDL_PROGRAMS) + "\\Quarn\\" + ShortcutName);
    return paths;
}

void FlowTest::SetUp()
{
    standin::Reset();
    allowedDeletions = ProgramPaths(InstallDir);
    allowedDeletions.push_back(ShortcutPath(CSIDL_DESKTOPDIRECTORY));
    allowedDeletions.push_back(ShortcutPath(CSIDL_PROGRAMS));
}

void FlowTest::StageInstallation(bool withProductKey)
{
    stagedProductKey = withProductKey;
    if (withProductKey) {
        standin::SetString(HKEY_CURRENT_USER, ProductKey, InstallDirValue, InstallDir);
    }
    standin::SetString(HKEY_LOCAL_MACHINE, UninstallKey, "DisplayName", "Quarn");
    standin::AddDirectory(InstallDir);
    standin::AddDirectory(standin::FolderPath(CSIDL_PROGRAMS) + "\\Quarn");
    for (const std::string &path : StagedPaths()) {
        if (!standin::Exists(path)) {
            standin::AddFile(path);
        }
    }
}

int FlowTest::Run(const std::string &commandLine, const std::vector<int> &answers)
{
    standin::SetCommandLine(commandLine);
    standin::AnswerBoxes(answers);
    return RunProgram();
}

bool FlowTest::InstallationIntact()
{
    bool intact = standin::KeyExists(HKEY_CURRENT_USER, ProductKey) == stagedProductKey &&
                  standin::KeyExists(HKEY_LOCAL_MACHINE, UninstallKey);
    for (const std::string &path : StagedPaths()) {
        intact = intact && standin::Exists(path);
    }
    return intact;
}

void FlowTest::ExpectInvariants(const std::string &run)
{
    EXPECT_EQ(standin::Violations(allowedDeletions), std::vector<std::string>()) << run;
}

void FlowTest::TearDown()
{
    ExpectInvariants();
}
