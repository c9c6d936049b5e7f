// The program itself: the single-instance guard, the shared objects, the page loop over the
// page table and the tear-down. WinMain only calls RunSetupProgram.
#pragma once
#include <windows.h>

// Runs the whole wizard with the templates and icon of the given module and returns the process
// exit code: 1 when the wizard ended (finished or cancelled) or could not start, -1 when a page's
// dialog could not be created.
int RunSetupProgram(HINSTANCE instance);
