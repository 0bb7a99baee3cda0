// The uninstaller's entry routine: the launch gate, the three boxes and the order of the removal steps.
#include "removal.h"
#include "win32.h"

static const char LaunchKeyword[] = "-removequarn";

static const struct {
    const char *Caption;
    const char *Question;
    const char *Refusal;
    const char *Completion;
} UninstallTexts = {
    "Quarn uninstall",
    "Are you sure you want to delete Quarn and all its components?",
    "This program cannot be run from command line and will be terminated.",
    "Quarn has been successfully uninstalled.",
};

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR lpCmdLine, int)
{
    if (lstrcmpiA(lpCmdLine, LaunchKeyword) != 0) {
        MessageBoxA(NULL, UninstallTexts.Refusal, UninstallTexts.Caption, MB_OK | MB_ICONEXCLAMATION);
        return 0;
    }
    // A box that fails returns 0, which is no consent either.
    if (MessageBoxA(NULL, UninstallTexts.Question, UninstallTexts.Caption, MB_YESNO | MB_ICONQUESTION) != IDYES) {
        return 0;
    }

    // The shell step needs COM; a failure here only means there is nothing to balance.
    const HRESULT com = CoInitialize(NULL);
    if (RemoveInstalledItems()) {
        RemoveShortcuts();
        MessageBoxA(NULL, UninstallTexts.Completion, UninstallTexts.Caption, MB_OK | MB_ICONINFORMATION);
    }
    if (SUCCEEDED(com)) {
        CoUninitialize();
    }
    return 0;
}
