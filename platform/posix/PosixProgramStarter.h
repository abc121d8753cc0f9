#pragma once

#include "platform/SystemInfo.h"

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
class PosixProgramStarter : public ProgramStarter {
  public:
    NativeString pathFromAnsi(const std::string& ansi) override { return ansi; }
    bool isOrdinaryFile(const NativeString& path) override;
    bool start(const NativeString& path) override;
};

}  // namespace kelmora::platform::posix
