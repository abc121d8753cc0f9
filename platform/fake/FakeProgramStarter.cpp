// SPDX-License-Identifier: MIT
#include "platform/fake/FakeProgramStarter.h"

namespace kelmora::platform {

NativeString FakeProgramStarter::pathFromAnsi(const std::string& ansi) {
    return NativeString(ansi.begin(), ansi.end());
}

bool FakeProgramStarter::isOrdinaryFile(const NativeString& path) {
    fileTests_.push_back(path);
    const auto it = files_.find(path);
    return it != files_.end() && it->second != Kind::Hidden;
}

bool FakeProgramStarter::start(const NativeString& path) {
    starts_.push_back(path);
    const auto it = files_.find(path);
    if (it == files_.end() || it->second == Kind::NotAProgram) return false;
    started_.push_back(path);
    return true;
}

}  // namespace kelmora::platform
