#include <windows.h>

#include "shell/Wizard.h"
#include "util/SystemLibrary.h"

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int) {
    RestrictDllSearchToSystemFolder();
    EnforceRedirectionTrust();
    return RunSetupProgram(instance);
}
