#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "programs/jpeg2bmp-cli/output_file.h"

namespace {

// The folder part of a path ("." for a bare name) and the name part.
std::string folder_of(const std::string& path) {
    const size_t slash = path.rfind('/');
    if (slash == std::string::npos) return ".";
    return slash == 0 ? "/" : path.substr(0, slash);
}

std::string name_of(const std::string& path) {
    const size_t slash = path.rfind('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

// More links than this in a chain is a loop, as the system itself counts.
constexpr int MAX_LINKS = 40;

std::string resolved(const std::string& path, int links) {
    char buffer[PATH_MAX];
    if (realpath(path.c_str(), buffer)) return buffer;
    // A link whose target does not exist yet leads to that target.
    struct stat status;
    if (links < MAX_LINKS && lstat(path.c_str(), &status) == 0 && S_ISLNK(status.st_mode)) {
        const ssize_t length = readlink(path.c_str(), buffer, sizeof buffer - 1);
        if (length > 0) {
            std::string target(buffer, static_cast<size_t>(length));
            if (target[0] != '/') target = folder_of(path) + "/" + target;
            return resolved(target, links + 1);
        }
    }
    if (!realpath(folder_of(path).c_str(), buffer)) return path;
    const std::string folder = buffer;
    return (folder == "/" ? folder : folder + "/") + name_of(path);
}

// The one temporary file in flight, for the signal handler: its path as
// mkstemp filled it in, and whether it exists.
char temporary_path[PATH_MAX + 16];
volatile sig_atomic_t temporary_exists = 0;

void remove_and_die(int signal_number) {
    if (temporary_exists) unlink(temporary_path);
    std::signal(signal_number, SIG_DFL);
    std::raise(signal_number);
}

// The signals that end a conversion, held off while the temporary file
// comes into being and its path is noted.
sigset_t stopping_signals() {
    sigset_t set;
    sigemptyset(&set);
    sigaddset(&set, SIGINT);
    sigaddset(&set, SIGTERM);
    return set;
}

}  // namespace

std::string resolved_path(const std::string& path) { return resolved(path, 0); }

bool same_existing_file(const std::string& first, const std::string& second) {
    struct stat a, b;
    return stat(first.c_str(), &a) == 0 && stat(second.c_str(), &b) == 0 && a.st_dev == b.st_dev &&
           a.st_ino == b.st_ino;
}

bool is_special_file(const std::string& path) {
    struct stat status;
    return stat(path.c_str(), &status) == 0 && !S_ISREG(status.st_mode);
}

TemporaryFile::TemporaryFile(const std::string& target) : target_(target) {
    const std::string pattern = folder_of(target) + "/." + name_of(target) + ".XXXXXX";
    if (pattern.size() >= sizeof temporary_path) {
        errno = ENAMETOOLONG;
        return;
    }
    // The mode a plain create gives: 0666 less the umask, which can only be
    // read by setting it.
    const mode_t mask = umask(0);
    umask(mask);

    const sigset_t held = stopping_signals();
    sigset_t before;
    sigprocmask(SIG_BLOCK, &held, &before);
    std::memcpy(temporary_path, pattern.c_str(), pattern.size() + 1);
    const int descriptor = mkstemp(temporary_path);
    temporary_exists = descriptor >= 0;
    sigprocmask(SIG_SETMASK, &before, nullptr);
    if (descriptor < 0) return;

    if (fchmod(descriptor, 0666 & ~mask) != 0 || !(file_ = fdopen(descriptor, "wb"))) {
        const int error = errno;
        close(descriptor);
        unlink(temporary_path);
        temporary_exists = 0;
        errno = error;
    }
}

TemporaryFile::~TemporaryFile() {
    if (committed_ || !temporary_exists) return;
    unlink(temporary_path);
    temporary_exists = 0;
}

bool TemporaryFile::commit() {
    if (std::rename(temporary_path, target_.c_str()) != 0) return false;
    temporary_exists = 0;
    committed_ = true;
    return true;
}

void remove_temporary_file_on_signals() {
    std::signal(SIGINT, remove_and_die);
    std::signal(SIGTERM, remove_and_die);
}
