// Shortcut files made with the shell's link object.
#pragma once

// kind: 0 the Desktop, 3 the Start menu's programs folder; subfolder may be null. 1 when the
// file "<folder>\[<subfolder>\]<name>.lnk" was written, else 0. Shows no message.
int CreateShortcut(unsigned int kind, const char* name, const char* target, const char* subfolder);

// 1 when the link file was written, 0 on any failure.
int SaveShellLink(const char* linkPath, const char* description, const char* target, const char* workingDirectory,
                  const char* arguments);
