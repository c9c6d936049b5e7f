// The one operation that installs the application from "kx.pac" beside the setup program.
#pragma once

class PackageReader;

// 0 when the installation completed; -1 after a failure that has been shown to the user.
int RunInstallation(PackageReader* reader);
