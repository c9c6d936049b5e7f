// The summary that the confirmation page shows before the installation starts.
#pragma once

// out (kTextBufferBytes) = the install kind, installFolder and both shortcut choices, one line
// each, from the shared wizard variables.
void BuildInstallSummary(char* out);
