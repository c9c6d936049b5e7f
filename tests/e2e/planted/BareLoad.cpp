// Loads each DLL named on its command line by its bare name, as a program that does not guard
// its search does: the control that shows a planted DLL beside a program is found and run.
#include <windows.h>

int main(int argc, char** argv) {
    int loaded = 0;
    for (int i = 1; i < argc; ++i)
        if (LoadLibraryA(argv[i]) != NULL) ++loaded;
    return loaded;
}
