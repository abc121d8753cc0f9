// SPDX-License-Identifier: MIT
#pragma once

#include <optional>

#include "platform/SystemInfo.h"
#include "platform/posix/sysinfo/TrustedProgram.h"

namespace kelmora::platform::posix {

// Files and program starts of a POSIX system.
// - pathFromAnsi: the bytes as they are, which is what POSIX paths are.
// - isOrdinaryFile: a regular file (links followed) whose name does not start with ".", the POSIX
//   meaning of hidden.
// - start: runs exactly the program file at `path` (argument 0 is the path, no other arguments,
//   the environment inherited) without a shell, in a session of its own and reparented away
//   from this process (a double fork), so it outlives the program and leaves no child to reap.
//   Returns once the program has replaced the forked process, false when it could not: the
//   failure of the exec itself comes back through a pipe that closes on a successful exec.
//   Run as root (or with a trust given), the program must pass openTrustedProgram, and the very
//   descriptor that was checked is executed (execveat with AT_EMPTY_PATH), so nothing swapped in
//   at the path after the check can run instead. A script is started the same way; its
//   interpreter then reads it through /dev/fd, so for a script the descriptor stays open in it.
class PosixProgramStarter : public ProgramStarter {
  public:
    // Checks programs as openTrustedProgram says when run as root, else not.
    PosixProgramStarter();
    // For tests: checks programs against `trust` when given, else not.
    explicit PosixProgramStarter(std::optional<ProgramTrust> trust) : trust_(std::move(trust)) {}

    NativeString pathFromAnsi(const std::string& ansi) override { return ansi; }
    bool isOrdinaryFile(const NativeString& path) override;
    bool start(const NativeString& path) override;

  private:
    std::optional<ProgramTrust> trust_;
};

}  // namespace kelmora::platform::posix
