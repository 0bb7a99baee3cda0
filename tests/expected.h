// What every test expects of the uninstaller, written once for the host tests, the fuzz targets and
// the end-to-end driver: its texts, its keys, the ten program files and the shortcut's name.
#ifndef QUARN_TESTS_EXPECTED_H
#define QUARN_TESTS_EXPECTED_H

inline constexpr char Caption[] = "Quarn uninstall";
inline constexpr char QuestionText[] = "Are you sure you want to delete Quarn and all its components?";
inline constexpr char RefusalText[] = "This program cannot be run from command line and will be terminated.";
inline constexpr char CompletionText[] = "Quarn has been successfully uninstalled.";

inline constexpr char InstallDir[] = "C:\\Program Files\\Quarn";
inline constexpr char ProductKey[] = "Software\\QuarnUS";
inline constexpr char UninstallKey[] = "Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\QuarnUS";
inline constexpr const char *ProgramFileNames[10] = {
    "Tovik8.dll", "Quarn8.dll", "Spare.dat", "Core.dat", "Skin10.dll",
    "Skin20.dll", "Skin30.dll", "DelQuarn.dat", "notes.txt", "Quarn.exe",
};
inline constexpr char ShortcutName[] = "Quarn (english).lnk";

#endif
