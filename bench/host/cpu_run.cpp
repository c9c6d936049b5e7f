// Runs a command and writes what it and every process it started used, to a file:
//   cpu_run REPORT_FILE PROGRAM [ARGUMENTS...]   REPORT_FILE gets "wall_ms=W cpu_ms=C maxrss_kib=M"
// Wine starts each Windows process as an orphaned grandchild, which no ordinary timer sees; as a
// subreaper this program adopts and reaps them, so their processor time counts. Descendants
// still running when the command has ended (a desktop process Wine keeps) are not waited for.
#include <sys/prctl.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdio>

int main(int argc, char** argv) {
    if (argc < 3) {
        std::fputs("usage: cpu_run REPORT_FILE PROGRAM [ARGUMENTS...]\n", stderr);
        return 2;
    }
    if (prctl(PR_SET_CHILD_SUBREAPER, 1) != 0) {
        std::perror("cpu_run: subreaper");
        return 2;
    }
    auto start = std::chrono::steady_clock::now();
    pid_t child = fork();
    if (child < 0) {
        std::perror("cpu_run: fork");
        return 2;
    }
    if (child == 0) {
        execvp(argv[2], argv + 2);
        std::perror("cpu_run: exec");
        _exit(127);
    }
    int status = 0;
    while (waitpid(child, &status, 0) < 0 && errno == EINTR) {
    }
    auto end = std::chrono::steady_clock::now();
    // Reap the adopted grandchildren as they end, giving one that is still closing down a moment;
    // leave long-running ones alone.
    for (int quiet = 0; quiet < 20;) {
        if (waitpid(-1, NULL, WNOHANG) > 0) {
            quiet = 0;
        } else {
            ++quiet;
            usleep(5000);
        }
    }
    rusage usage;
    getrusage(RUSAGE_CHILDREN, &usage);
    double cpuMs = static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) * 1000.0 +
                   static_cast<double>(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1000.0;
    FILE* report = std::fopen(argv[1], "w");
    if (report == nullptr) {
        std::perror(argv[1]);
        return 2;
    }
    std::fprintf(report, "wall_ms=%.1f cpu_ms=%.1f maxrss_kib=%ld\n",
                 std::chrono::duration<double, std::milli>(end - start).count(), cpuMs, usage.ru_maxrss);
    std::fclose(report);
    return WIFEXITED(status) ? WEXITSTATUS(status) : 128;
}
