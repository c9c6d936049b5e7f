// A stand-in for the address book, small enough to ship in the demo package: it holds the
// application's mutex while it runs, as the real program does, so the setup program refuses
// to start beside it.
#include <windows.h>

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
    HANDLE mutex = CreateMutexA(NULL, TRUE, "Quilmora");
    MessageBoxA(NULL, "Korvanto デモ版です。\n\nこのプログラムが開いている間、セットアップは起動できません。",
                "Korvanto", MB_OK | MB_ICONINFORMATION);
    if (mutex != NULL) {
        ReleaseMutex(mutex);
        CloseHandle(mutex);
    }
    return 0;
}
