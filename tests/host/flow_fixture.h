// A staged Quarn installation on the stand-in, a confirmed or refused run of the whole program, and
// the invariants every run must keep, checked after each test.
#ifndef QUARN_TESTS_FLOW_FIXTURE_H
#define QUARN_TESTS_FLOW_FIXTURE_H

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "expected.h"
#include "standin.h"

extern const char InstallDirValue[];
extern const char ConfirmedCommandLine[];

// The ten program files under dir, as the uninstaller composes their paths.
std::vector<std::string> ProgramPaths(const std::string &dir);
std::string ShortcutPath(int csidl);

class FlowTest : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

    // The invariants of every run; TearDown checks them, loops over runs check each one.
    void ExpectInvariants(const std::string &run = "");

    // Key with InstallDir, the ten files, a stranger file, the installed-programs entry, and the
    // shortcut in both folders beside one of another name and one in a subfolder.
    void StageInstallation(bool withProductKey = true);
    // Starts the program on commandLine with the boxes answered in order; returns its exit code.
    int Run(const std::string &commandLine, const std::vector<int> &answers);
    int RunConfirmed() { return Run(ConfirmedCommandLine, {IDYES}); }

    // Every path staged by StageInstallation, and whether each is still there.
    bool InstallationIntact();

    // The DeleteFileA targets the run may use; tests that stage another directory say so.
    std::vector<std::string> allowedDeletions;

private:
    bool stagedProductKey = false;
};

#endif
