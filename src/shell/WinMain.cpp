#include <windows.h>

#include "shell/Wizard.h"

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int) {
    return RunSetupProgram(instance);
}
