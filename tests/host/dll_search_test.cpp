// Before anything else, the start-up restricts where later DLL loads look, with whatever the
// system offers for it; a system that offers nothing still runs the whole program.
#include <string>
#include <vector>

#include "flow_fixture.h"

namespace {

using DllSearch = FlowTest;

const std::string KernelHandle = "GetModuleHandleA(\"kernel32.dll\")";
const std::string AskSetDefault = "GetProcAddress(0x7c800000, \"SetDefaultDllDirectories\")";
const std::string AskSetDirectory = "GetProcAddress(0x7c800000, \"SetDllDirectoryA\")";
const std::string SystemOnly = "SetDefaultDllDirectories(0x800)";
const std::string NoCurrentDirectory = "SetDllDirectoryA(\"\")";

TEST_F(DllSearch, RestrictedFirstOnEverySystem)
{
    const struct {
        const char *system;
        bool setDefault;
        bool setDirectory;
        const char *failing;  // an operation whose first call fails, or null
        std::vector<std::string> calls;
    } systems[] = {
        {"current Windows", true, true, nullptr, {KernelHandle, AskSetDefault, SystemOnly}},
        {"XP SP1 to 7 without the update", false, true, nullptr,
         {KernelHandle, AskSetDefault, AskSetDirectory, NoCurrentDirectory}},
        {"SetDefaultDllDirectories refusing", true, true, "SetDefaultDllDirectories",
         {KernelHandle, AskSetDefault, SystemOnly, AskSetDirectory, NoCurrentDirectory}},
        {"Windows 95 and NT 4", false, false, nullptr, {KernelHandle, AskSetDefault, AskSetDirectory}},
        {"no kernel32 handle", true, true, "GetModuleHandleA", {KernelHandle}},
    };
    for (const auto &s : systems) {
        standin::Reset();
        StageInstallation();
        standin::SetDllSearchFunctions(s.setDefault, s.setDirectory);
        if (s.failing != nullptr) {
            standin::FailCall(s.failing, 1);
        }
        EXPECT_EQ(RunConfirmed(), 0) << s.system;

        std::vector<std::string> first;
        for (size_t i = 0; i < s.calls.size() + 1 && i < standin::Journal().size(); ++i) {
            first.push_back(standin::Journal()[i].line);
        }
        ASSERT_EQ(first.size(), s.calls.size() + 1) << s.system;
        const std::string next = first.back();
        first.pop_back();
        EXPECT_EQ(first, s.calls) << s.system;
        EXPECT_TRUE(next == "GetModuleHandleA(NULL)" || next == "GetCommandLineA()") << s.system << ": " << next;
        EXPECT_EQ(standin::Boxes().size(), 2U) << "the whole run still happens: " << s.system;
        EXPECT_FALSE(standin::Exists(ShortcutPath(CSIDL_PROGRAMS))) << s.system;
        ExpectInvariants(s.system);
    }
}

}  // namespace
