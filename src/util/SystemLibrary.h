// The setup program runs as administrator, often from a Downloads folder that any web page can
// drop a file into, and Windows looks for a DLL in the program's own folder before the system
// folder. Every DLL that the program loads therefore comes from the system folder, by these
// calls, before any window is made.
#pragma once
#include <windows.h>

// Restricts the search for DLLs, the program's own loads and those that system DLLs make on its
// behalf, to the system folder. Where the system cannot (Windows 7 without its update), the
// current folder leaves the search, and the DLLs that the program loads itself (the delay-loaded
// ones too) are loaded by their full path in the system folder. Called first, once.
void RestrictDllSearchToSystemFolder();

// The DLL name from the system folder only; NULL, with the system's error, when it is not there.
HMODULE LoadSystemLibrary(const char* name);

// Where the system has it (Windows 11, and 10 from 21H2), this elevated program no longer follows
// a junction or other link that a user without administrator rights made: such a link laid in a
// folder that the user can write (the temporary folder, a data folder) then leads nowhere. True
// when the system took the policy; looked up at run time, since older systems lack the call.
bool EnforceRedirectionTrust();
