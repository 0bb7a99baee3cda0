// The launch gate, the three boxes, COM around the removal and the exit code: the four ways a run ends.
#include <string>
#include <vector>

#include "flow_fixture.h"

namespace {

// Calls that change or read the machine; none may happen before consent.
const std::vector<std::string> Effects = {
    "CoInitialize",      "RegOpenKeyExA",      "RegQueryValueExA",           "RegCloseKey", "RegDeleteKeyA",
    "DeleteFileA",       "SHGetDesktopFolder", "SHGetSpecialFolderLocation", "CoUninitialize",
};

void ExpectBox(const standin::Box &box, const char *text, UINT style)
{
    EXPECT_EQ(box.owner, nullptr);
    EXPECT_EQ(box.text, text);
    EXPECT_EQ(box.caption, Caption);
    EXPECT_EQ(box.style, style);
}

using Dialogue = FlowTest;

struct GateCase {
    const char *commandLine;
    bool accepted;
};

const GateCase GateCases[] = {
    {"QuarnUninstall.exe", false},
    {"QuarnUninstall.exe ", false},
    {"QuarnUninstall.exe -removequarn ", false},
    {"QuarnUninstall.exe -removequarn now", false},
    {"QuarnUninstall.exe -removequarn1", false},
    {"QuarnUninstall.exe -removequarnx", false},
    {"QuarnUninstall.exe \"-removequarn\"", false},
    {"QuarnUninstall.exe removequarn", false},
    {"QuarnUninstall.exe -remove", false},
    {"QuarnUninstall.exe /removequarn", false},
    {"QuarnUninstall.exe -removequarn", true},
    {"QuarnUninstall.exe -REMOVEQUARN", true},
    {"QuarnUninstall.exe -RemoveQuarn", true},
    {"\"C:\\Program Files\\Quarn\\QuarnUninstall.exe\" \t  \t-removequarn", true},
    {"\"C:\\Program Files\\Quarn\\QuarnUninstall.exe\"-removequarn", true},
};

TEST_F(Dialogue, OnlyTheWholeKeywordIsAccepted)
{
    for (const GateCase &c : GateCases) {
        standin::Reset();
        EXPECT_EQ(Run(c.commandLine, {IDNO}), 0) << c.commandLine;
        ASSERT_EQ(standin::Boxes().size(), 1U) << c.commandLine;
        EXPECT_EQ(standin::Boxes()[0].text, c.accepted ? QuestionText : RefusalText) << c.commandLine;
        ExpectInvariants(c.commandLine);
    }
}

TEST_F(Dialogue, RefusalShowsOneBoxAndTouchesNothing)
{
    StageInstallation();
    EXPECT_EQ(Run("QuarnUninstall.exe", {IDYES}), 0);
    ASSERT_EQ(standin::Boxes().size(), 1U);
    ExpectBox(standin::Boxes()[0], RefusalText, 0x30);
    EXPECT_EQ(standin::Trace(Effects), std::vector<std::string>());
    EXPECT_TRUE(InstallationIntact());
}

TEST_F(Dialogue, AnythingButYesDeclinesAndTouchesNothing)
{
    // No, Cancel, and 0 from a box that could not be shown.
    for (int answer : {IDNO, IDCANCEL, IDOK, 0}) {
        standin::Reset();
        StageInstallation();
        EXPECT_EQ(Run(ConfirmedCommandLine, {answer}), 0) << answer;
        ASSERT_EQ(standin::Boxes().size(), 1U) << answer;
        ExpectBox(standin::Boxes()[0], QuestionText, 0x24);
        EXPECT_EQ(standin::Trace(Effects), std::vector<std::string>()) << answer;
        EXPECT_TRUE(InstallationIntact()) << answer;
        ExpectInvariants(std::to_string(answer));
    }
}

TEST_F(Dialogue, ConfirmedRunEndsWithTheCompletionBox)
{
    StageInstallation();
    EXPECT_EQ(RunConfirmed(), 0);
    ASSERT_EQ(standin::Boxes().size(), 2U);
    ExpectBox(standin::Boxes()[0], QuestionText, 0x24);
    ExpectBox(standin::Boxes()[1], CompletionText, 0x40);
}

TEST_F(Dialogue, MissingProductKeyEndsSilentlyAfterYes)
{
    StageInstallation(false);
    EXPECT_EQ(RunConfirmed(), 0);
    ASSERT_EQ(standin::Boxes().size(), 1U);
    ExpectBox(standin::Boxes()[0], QuestionText, 0x24);
    EXPECT_TRUE(InstallationIntact());
}

// COM comes after consent, before any registry or shell call, and is balanced exactly when it
// was initialised, on both paths past the question.
TEST_F(Dialogue, ComIsBalancedForEveryInitialisationResult)
{
    const struct {
        HRESULT result;
        bool balanced;
    } results[] = {{S_OK, true}, {S_FALSE, true}, {E_FAIL, false}, {RPC_E_CHANGED_MODE, false}, {E_OUTOFMEMORY, false}};
    for (const auto &r : results) {
        for (bool productKey : {true, false}) {
            standin::Reset();
            if (productKey) {
                StageInstallation();
            }
            standin::SetCoInitializeResult(r.result);
            EXPECT_EQ(RunConfirmed(), 0);
            const std::vector<std::string> trace =
                standin::Trace({"MessageBoxA", "CoInitialize", "CoUninitialize", "RegOpenKeyExA", "SHGetDesktopFolder"});
            ASSERT_GE(trace.size(), 3U);
            EXPECT_EQ(trace[1], "CoInitialize(NULL)");
            EXPECT_EQ(trace[2].rfind("RegOpenKeyExA(", 0), 0U);
            EXPECT_EQ(trace.back() == "CoUninitialize()", r.balanced) << std::hex << r.result << " " << productKey;
            EXPECT_EQ(standin::Trace({"CoUninitialize"}).size(), r.balanced ? 1U : 0U);
            // Removal goes ahead whether or not COM came up.
            EXPECT_EQ(standin::Boxes().size(), productKey ? 2U : 1U);
            EXPECT_EQ(standin::KeyExists(HKEY_CURRENT_USER, ProductKey), false);
            ExpectInvariants(std::to_string(r.result));
        }
    }
}

}  // namespace
