// The message boxes every subsystem shares. All have no owner window.
#pragma once

// Warning: caption "注意", OK, warning icon, task-modal. Returns the box's result.
int ShowWarning(const char* text);

// Question: Yes and No, question icon, task-modal, the given caption. Returns IDYES or IDNO.
int AskQuestion(const char* text, const char* caption);
