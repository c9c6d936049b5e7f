// Replaces one imported function of the test program for the life of the object, so a test
// can meet a system error that Wine cannot produce (a drive without a medium, for one).
#pragma once
#include <windows.h>

// The system's own function behind a patched import slot, for a replacement to call: calling it
// by name from the program would land in the replacement again.
template <typename Call>
Call SystemFunction(const char* dllName, const char* functionName) {
    return reinterpret_cast<Call>(reinterpret_cast<void*>(GetProcAddress(GetModuleHandleA(dllName), functionName)));
}

class ImportPatch {
public:
    ImportPatch(const char* dllName, const char* functionName, void* replacement);
    ~ImportPatch();
    bool Applied() const { return slot_ != NULL; }

    ImportPatch(const ImportPatch&) = delete;
    ImportPatch& operator=(const ImportPatch&) = delete;

private:
    void** slot_ = NULL;
    void* original_ = NULL;
};
