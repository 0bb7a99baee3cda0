// The shortcut in the desktop directory and the programs folder, found through the shell in each
// form it may answer in, and what happens when the shell cannot answer.
#include <string>
#include <vector>

#include "flow_fixture.h"

namespace {

const std::vector<UINT> NameForms = {STRRET_CSTR, STRRET_OFFSET, STRRET_WSTR};

std::vector<std::string> ShortcutDeletions()
{
    std::vector<std::string> paths;
    for (const std::string &path : standin::DeleteAttempts()) {
        if (path.find(ShortcutName) != std::string::npos) {
            paths.push_back(path);
        }
    }
    return paths;
}

using Shortcuts = FlowTest;

TEST_F(Shortcuts, BothGoDesktopFirstInEveryNameForm)
{
    for (UINT form : NameForms) {
        standin::Reset();
        StageInstallation();
        standin::SetNameForm(form);
        EXPECT_EQ(RunConfirmed(), 0) << form;
        EXPECT_EQ(ShortcutDeletions(),
                  (std::vector<std::string>{ShortcutPath(CSIDL_DESKTOPDIRECTORY), ShortcutPath(CSIDL_PROGRAMS)}))
            << form;
        EXPECT_FALSE(standin::Exists(ShortcutPath(CSIDL_DESKTOPDIRECTORY))) << form;
        EXPECT_FALSE(standin::Exists(ShortcutPath(CSIDL_PROGRAMS))) << form;
        EXPECT_EQ(standin::Trace({"SHGetDesktopFolder", "IShellFolder::Release"}).size(), 2U) << form;
        EXPECT_EQ(standin::Trace({"CoTaskMemFree"}).size(), form == STRRET_WSTR ? 4U : 2U) << form;
        ExpectInvariants("form " + std::to_string(form));
    }
}

TEST_F(Shortcuts, OnlyTheExactNameDirectlyInEachFolderGoes)
{
    StageInstallation();
    standin::RemoveFile(ShortcutPath(CSIDL_DESKTOPDIRECTORY));
    EXPECT_EQ(RunConfirmed(), 0);
    EXPECT_EQ(ShortcutDeletions().size(), 2U) << "the absent one is still tried, silently";
    EXPECT_FALSE(standin::Exists(ShortcutPath(CSIDL_PROGRAMS)));
    EXPECT_TRUE(standin::Exists(standin::FolderPath(CSIDL_DESKTOPDIRECTORY) + "\\Quarn (deutsch).lnk"));
    EXPECT_TRUE(standin::Exists(standin::FolderPath(CSIDL_PROGRAMS) + "\\Quarn\\Quarn (english).lnk"));
    ASSERT_EQ(standin::Boxes().size(), 2U);
    EXPECT_EQ(standin::Boxes()[1].text, CompletionText);
}

TEST_F(Shortcuts, NoDesktopFolderObjectLeavesBothAndStillCompletes)
{
    StageInstallation();
    standin::FailCall("SHGetDesktopFolder", 1);
    EXPECT_EQ(RunConfirmed(), 0);
    EXPECT_EQ(standin::Trace({"SHGetSpecialFolderLocation", "IShellFolder::Release"}), std::vector<std::string>());
    EXPECT_TRUE(standin::Exists(ShortcutPath(CSIDL_DESKTOPDIRECTORY)));
    EXPECT_TRUE(standin::Exists(ShortcutPath(CSIDL_PROGRAMS)));
    ASSERT_EQ(standin::Boxes().size(), 2U);
    EXPECT_EQ(standin::Boxes()[1].text, CompletionText);
}

// A failure for one folder skips that folder only; nothing the shell did not hand over is read
// or freed (the stand-in leaves failed outputs untouched and reports any misuse).
TEST_F(Shortcuts, AFolderTheShellCannotNameIsSkipped)
{
    const struct {
        const char *operation;
        UINT form;
        std::vector<int> calls[2];  // which calls of the operation fail, to lose folder 1 or folder 2
    } failures[] = {
        {"SHGetSpecialFolderLocation", STRRET_CSTR, {{1}, {2}}},
        {"IShellFolder::GetDisplayNameOf", STRRET_CSTR, {{1}, {2}}},
        {"IShellFolder::GetDisplayNameOf", STRRET_WSTR, {{1}, {2}}},
        // Each folder's conversion is tried twice, the second time without flags.
        {"WideCharToMultiByte", STRRET_WSTR, {{1, 2}, {2, 3}}},
    };
    const int folders[] = {CSIDL_DESKTOPDIRECTORY, CSIDL_PROGRAMS};
    for (const auto &f : failures) {
        for (int which = 0; which < 2; ++which) {
            const std::string run = std::string(f.operation) + " failing for folder " + std::to_string(which + 1);
            standin::Reset();
            StageInstallation();
            standin::SetNameForm(f.form);
            for (int call : f.calls[which]) {
                standin::FailCall(f.operation, call);
            }
            EXPECT_EQ(RunConfirmed(), 0) << run;
            EXPECT_EQ(ShortcutDeletions(), std::vector<std::string>{ShortcutPath(folders[1 - which])}) << run;
            EXPECT_TRUE(standin::Exists(ShortcutPath(folders[which]))) << run;
            ASSERT_EQ(standin::Boxes().size(), 2U) << run;
            EXPECT_EQ(standin::Boxes()[1].text, CompletionText) << run;
            ExpectInvariants(run);
        }
    }
}

// Before Windows 2000 the conversion refuses the no-best-fit flag; the plain conversion serves.
TEST_F(Shortcuts, ConversionWithoutFlagsServesOldSystems)
{
    StageInstallation();
    standin::SetNameForm(STRRET_WSTR);
    standin::FailCall("WideCharToMultiByte", 1);
    EXPECT_EQ(RunConfirmed(), 0);
    EXPECT_EQ(standin::Trace({"WideCharToMultiByte"}),
              (std::vector<std::string>{"WideCharToMultiByte(0x0, 0x400, -1, 260)", "WideCharToMultiByte(0x0, 0x0, -1, 260)",
                                        "WideCharToMultiByte(0x0, 0x400, -1, 260)"}));
    EXPECT_FALSE(standin::Exists(ShortcutPath(CSIDL_DESKTOPDIRECTORY)));
    EXPECT_FALSE(standin::Exists(ShortcutPath(CSIDL_PROGRAMS)));
}

// Where the ANSI code page is UTF-8 every wide path converts exactly, without the flag or the
// report, which that code page refuses.
TEST_F(Shortcuts, AUtf8CodePageConvertsEveryWidePath)
{
    standin::SetCodePage(CP_UTF8);
    standin::SetFolderPath(CSIDL_DESKTOPDIRECTORY, "C:\\Users\\J\xfcrgen\\Desktop");
    const std::string converted = "C:\\Users\\J\xc3\xbcrgen\\Desktop\\Quarn (english).lnk";
    standin::AddFile(converted);
    StageInstallation();
    allowedDeletions = ProgramPaths(InstallDir);
    allowedDeletions.push_back(converted);
    allowedDeletions.push_back(ShortcutPath(CSIDL_PROGRAMS));
    standin::SetNameForm(STRRET_WSTR);
    EXPECT_EQ(RunConfirmed(), 0);
    EXPECT_EQ(standin::Trace({"WideCharToMultiByte"}),
              (std::vector<std::string>{"WideCharToMultiByte(0x0, 0x0, -1, 260)", "WideCharToMultiByte(0x0, 0x0, -1, 260)"}));
    EXPECT_FALSE(standin::Exists(converted));
    EXPECT_FALSE(standin::Exists(ShortcutPath(CSIDL_PROGRAMS)));
}

// A wide path the ANSI code page cannot hold would come out naming another folder. The ANSI forms
// carry the shell's own bytes and are used as they are.
TEST_F(Shortcuts, AWidePathTheCodePageCannotHoldIsSkipped)
{
    const std::string desktop = "C:\\Users\\J\xfcrgen\\Desktop";
    for (UINT form : NameForms) {
        const std::string run = "form " + std::to_string(form);
        standin::Reset();
        standin::SetCodePage(932);
        standin::SetFolderPath(CSIDL_DESKTOPDIRECTORY, desktop);
        standin::AddFile("C:\\Users\\J?rgen\\Desktop\\Quarn (english).lnk");
        StageInstallation();
        allowedDeletions = ProgramPaths(InstallDir);
        allowedDeletions.push_back(ShortcutPath(CSIDL_PROGRAMS));
        if (form != STRRET_WSTR) {
            allowedDeletions.push_back(ShortcutPath(CSIDL_DESKTOPDIRECTORY));
        }
        standin::SetNameForm(form);
        EXPECT_EQ(RunConfirmed(), 0) << run;
        EXPECT_EQ(standin::Exists(ShortcutPath(CSIDL_DESKTOPDIRECTORY)), form == STRRET_WSTR) << run;
        EXPECT_FALSE(standin::Exists(ShortcutPath(CSIDL_PROGRAMS))) << run;
        EXPECT_TRUE(standin::Exists("C:\\Users\\J?rgen\\Desktop\\Quarn (english).lnk")) << run;
        ExpectInvariants(run);
    }
}

// An empty answer would put the shortcut name at the root of a drive; a long one would be cut.
TEST_F(Shortcuts, EmptyOrOverlongFolderPathsAreSkipped)
{
    const struct {
        const char *what;
        std::string path;
    } paths[] = {
        {"empty", ""},
        {"too long with the shortcut name", "C:\\" + std::string(240, 'd')},
        {"too long on its own", "C:\\" + std::string(300, 'd')},
    };
    for (const auto &p : paths) {
        for (UINT form : NameForms) {
            const std::string run = std::string(p.what) + ", form " + std::to_string(form);
            standin::Reset();
            standin::SetFolderPath(CSIDL_DESKTOPDIRECTORY, p.path);
            standin::AddFile("C:\\Quarn (english).lnk");
            StageInstallation();
            allowedDeletions = ProgramPaths(InstallDir);
            allowedDeletions.push_back(ShortcutPath(CSIDL_PROGRAMS));
            standin::SetNameForm(form);
            EXPECT_EQ(RunConfirmed(), 0) << run;
            EXPECT_EQ(ShortcutDeletions(), std::vector<std::string>{ShortcutPath(CSIDL_PROGRAMS)}) << run;
            EXPECT_TRUE(standin::Exists("C:\\Quarn (english).lnk")) << run;
            ExpectInvariants(run);
        }
    }
}

}  // namespace
