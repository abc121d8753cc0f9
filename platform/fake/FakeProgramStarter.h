// SPDX-License-Identifier: MIT
#pragma once

#include <map>
#include <vector>

#include "platform/SystemInfo.h"

namespace kelmora::platform {

// An in-memory starter for tests: files exist when a test adds them; a start succeeds only for an
// added program and is recorded, never run.
class FakeProgramStarter : public ProgramStarter {
  public:
    enum class Kind { Program, Hidden, NotAProgram };
    // `path` exists: an ordinary file that starts, a hidden one (it starts, but is no ordinary
    // file), or an ordinary file that cannot be started.
    void addFile(const NativeString& path, Kind kind = Kind::Program) { files_[path] = kind; }
    void removeFile(const NativeString& path) { files_.erase(path); }

    // Every path asked about by isOrdinaryFile and every path started, in order.
    const std::vector<NativeString>& fileTests() const { return fileTests_; }
    const std::vector<NativeString>& starts() const { return starts_; }
    // The paths whose start succeeded.
    const std::vector<NativeString>& started() const { return started_; }

    // Widens each byte, as the ANSI text of plain ASCII paths.
    NativeString pathFromAnsi(const std::string& ansi) override;
    bool isOrdinaryFile(const NativeString& path) override;
    bool start(const NativeString& path) override;

  private:
    std::map<NativeString, Kind> files_;
    std::vector<NativeString> fileTests_, starts_, started_;
};

}  // namespace kelmora::platform
