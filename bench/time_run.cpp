// Runs a command with this process's standard input and output and writes
// its wall time, processor time (user, system) in seconds to the
// millisecond, and peak resident memory in KiB to a file:
// `time_run OUT_FILE PROGRAM [ARGS...]`.
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>

int main(int argc, char** argv) {
    if (argc < 3) {
        std::fprintf(stderr, "usage: time_run OUT_FILE PROGRAM [ARGS...]\n");
        return 2;
    }
    const auto start = std::chrono::steady_clock::now();
    const pid_t child = fork();
    if (child == 0) {
        execvp(argv[2], argv + 2);
        _exit(127);
    }
    int status = 0;
    rusage usage{};
    if (child < 0 || wait4(child, &status, 0, &usage) != child) return 2;
    const double wall = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    const auto seconds = [](timeval t) { return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_usec) * 1e-6; };
    FILE* out = std::fopen(argv[1], "w");
    if (!out) return 2;
    std::fprintf(out, "%.3f %.3f %.3f %ld\n", wall, seconds(usage.ru_utime), seconds(usage.ru_stime), usage.ru_maxrss);
    std::fclose(out);
    return WIFEXITED(status) ? WEXITSTATUS(status) : 2;
}
