// The argument tail that the start-up hands to WinMain, from raw command lines.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "startup.h"

namespace {

UINT codePage;

BOOL WINAPI LeadByte(BYTE c)
{
    return codePage == 932 && ((c >= 0x81 && c <= 0x9F) || (c >= 0xE0 && c <= 0xFC));
}

struct TailCase {
    const char *what;
    UINT codePage;
    const char *commandLine;
    const char *tail;
};

const TailCase TailCases[] = {
    {"name only", 1252, "QuarnUninstall.exe", ""},
    {"empty command line", 1252, "", ""},
    {"plain keyword", 1252, "QuarnUninstall.exe -removequarn", "-removequarn"},
    {"capitals kept for the comparison", 1252, "QuarnUninstall.exe -REMOVEQUARN", "-REMOVEQUARN"},
    {"trailing blank kept", 1252, "QuarnUninstall.exe -removequarn ", "-removequarn "},
    {"further argument kept", 1252, "QuarnUninstall.exe -removequarn now", "-removequarn now"},
    {"quoted keyword keeps its quotes", 1252, "QuarnUninstall.exe \"-removequarn\"", "\"-removequarn\""},
    {"quoted name with blanks, then blanks and tabs", 1252,
     "\"C:\\Program Files\\Quarn\\QuarnUninstall.exe\"  \t \t-removequarn", "-removequarn"},
    {"quote directly followed by the keyword", 1252, "\"C:\\Quarn\\QuarnUninstall.exe\"-removequarn",
     "-removequarn"},
    {"empty quoted name", 1252, "\"\"-removequarn", "-removequarn"},
    {"unclosed quote takes the whole line", 1252, "\"C:\\Quarn\\QuarnUninstall.exe -removequarn", ""},
    {"control characters end the name and are skipped", 1252, "QuarnUninstall.exe\x01\x1f\r\n-removequarn",
     "-removequarn"},
    {"control character ends an unquoted name", 1252, "QuarnUninstall.exe\x05-removequarn", "-removequarn"},
    {"blank first: the name is empty", 1252, " -removequarn", "-removequarn"},
    {"bytes above 127 belong to an unquoted name", 1252, "Quarn\xA0\xFF.exe -removequarn", "-removequarn"},
    {"blanks inside the tail are kept", 1252, "QuarnUninstall.exe \t-remove quarn\t", "-remove quarn\t"},
    {"cp932 trail byte equal to a quote stays in the name", 932, "\"C:\\\x83\"Quarn.exe\" -removequarn",
     "-removequarn"},
    {"cp1252 has no lead bytes: the same quote closes the name", 1252, "\"C:\\\x83\"Quarn.exe\" -removequarn",
     "Quarn.exe\" -removequarn"},
    {"cp932 lead byte at the very end", 932, "\"C:\\Quarn\x83", ""},
    {"cp932 double-byte name then keyword", 932, "\"\x83\x4e\x83\x41\x81\x5c.exe\" -removequarn", "-removequarn"},
};

TEST(ArgumentTail, FollowsTheRuleForEveryCommandLine)
{
    for (const TailCase &c : TailCases) {
        codePage = c.codePage;
        std::string line(c.commandLine);
        EXPECT_STREQ(ArgumentTail(&line[0], LeadByte), c.tail) << c.what;
    }
}

TEST(ArgumentTail, PointsIntoTheCommandLine)
{
    codePage = 1252;
    char line[] = "\"C:\\Quarn\\QuarnUninstall.exe\" -removequarn";
    EXPECT_EQ(ArgumentTail(line, LeadByte), std::strchr(line, '-'));
}

}  // namespace
