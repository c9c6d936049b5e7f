#include <cstdio>
#include <cstring>

int main(int argc, char** argv) {
    if (argc > 1 && std::strcmp(argv[1], "--help") == 0) {
        std::puts("usage: kxpack build|list|verify ...");
        return 0;
    }
    std::fputs("kxpack: no command given (try --help)\n", stderr);
    return 2;
}
