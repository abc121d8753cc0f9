// SPDX-License-Identifier: MIT
#include "platform/posix/sysinfo/PosixProgramStarter.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>

#include "platform/Platform.h"
#include "platform/posix/shared/UniqueFd.h"

extern char** environ;

namespace kelmora::platform::posix {
namespace {

// Reads until `size` bytes arrived or the other end closed; the count read.
std::size_t readFully(int fd, void* data, std::size_t size) {
    std::size_t got = 0;
    while (got < size) {
        const ssize_t n = ::read(fd, static_cast<char*>(data) + got, size - got);
        if (n > 0)
            got += static_cast<std::size_t>(n);
        else if (n == 0 || errno != EINTR)
            break;
    }
    return got;
}

// Runs the program: by its checked descriptor when there is one, else by its path. Called in
// the forked child, so async-signal-safe calls only.
void execute(int programFd, char* const argv[]) {
    if (programFd < 0) {
        ::execve(argv[0], argv, environ);
        return;
    }
    ::execveat(programFd, "", argv, environ, AT_EMPTY_PATH);
    // A script's interpreter opens it as /dev/fd/N, which a close-on-exec descriptor no longer
    // is by then: keep it open across the exec, for the script's sake only.
    if (errno == ENOENT && ::fcntl(programFd, F_SETFD, 0) == 0)
        ::execveat(programFd, "", argv, environ, AT_EMPTY_PATH);
}

}  // namespace

PosixProgramStarter::PosixProgramStarter() : trust_(trustForThisProcess()) {}

bool PosixProgramStarter::isOrdinaryFile(const NativeString& path) {
    if (path.empty() || path.find('\0') != NativeString::npos) return false;
    const std::size_t slash = path.rfind('/');
    const std::size_t nameStart = slash == NativeString::npos ? 0 : slash + 1;
    if (nameStart == path.size() || path[nameStart] == '.') return false;
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

bool PosixProgramStarter::start(const NativeString& path) {
    // A path with a zero byte would be cut short at it: that would start another program.
    if (path.empty() || path.find('\0') != NativeString::npos) return false;
    const UniqueFd program(trust_ ? openTrustedProgram(path, *trust_) : -1);
    if (trust_ && !program) return false;
    int report[2];
    if (::pipe2(report, O_CLOEXEC) != 0) return false;

    // Everything the children need is made before forking: after fork only async-signal-safe
    // calls are allowed, as other threads may hold locks.
    char* const argv[] = {const_cast<char*>(path.c_str()), nullptr};
    const pid_t middle = ::fork();
    if (middle < 0) {
        ::close(report[0]);
        ::close(report[1]);
        return false;
    }
    if (middle == 0) {
        ::close(report[0]);
        ::setsid();
        const pid_t child = ::fork();
        if (child == 0) {
            execute(program.get(), argv);
            const int error = errno;
            (void)!::write(report[1], &error, sizeof error);
            ::_exit(127);
        }
        if (child < 0) {
            const int error = errno;
            (void)!::write(report[1], &error, sizeof error);
        }
        ::_exit(0);
    }

    ::close(report[1]);
    int status = 0;
    while (::waitpid(middle, &status, 0) < 0 && errno == EINTR) {
    }
    // Nothing comes through the pipe when the exec succeeded: it closed with the program's
    // image replacing the child's.
    int error = 0;
    const bool failed = readFully(report[0], &error, sizeof error) == sizeof error;
    ::close(report[0]);
    return !failed;
}

}  // namespace kelmora::platform::posix

namespace kelmora::platform {
std::unique_ptr<ProgramStarter> makeProgramStarter() {
    return std::make_unique<posix::PosixProgramStarter>();
}
}  // namespace kelmora::platform
