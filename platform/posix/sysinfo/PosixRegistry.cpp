// SPDX-License-Identifier: MIT
#include "platform/posix/sysinfo/PosixRegistry.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <string_view>

#include "platform/Platform.h"
#include "platform/posix/shared/UniqueFd.h"

namespace kelmora::platform::posix {
namespace {

bool sameIgnoringAsciiCase(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        const auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? char(c - 'A' + 'a') : c; };
        if (lower(a[i]) != lower(b[i])) return false;
    }
    return true;
}

bool isExecutableFile(const std::string& path, const ProgramTrust* trust) {
    if (trust) return UniqueFd(openTrustedProgram(path, *trust)).get() >= 0;
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode) &&
           ::access(path.c_str(), X_OK) == 0;
}

std::string systemSearchPath() { return kSystemProgramFolders; }

std::string environmentSearchPath() {
    const char* path = std::getenv("PATH");
    return path ? path : "";
}

}  // namespace

std::string findOnSearchPath(const std::string& searchPath,
                             std::initializer_list<const char*> programs,
                             const ProgramTrust* trust) {
    for (const char* program : programs) {
        std::size_t begin = 0;
        while (begin <= searchPath.size()) {
            std::size_t end = searchPath.find(':', begin);
            if (end == std::string::npos) end = searchPath.size();
            std::string folder = searchPath.substr(begin, end - begin);
            begin = end + 1;
            if (folder.empty() || folder.front() != '/') continue;
            if (folder.back() != '/') folder += '/';
            if (std::string candidate = folder + program; isExecutableFile(candidate, trust))
                return candidate;
        }
    }
    return {};
}

PosixRegistry::PosixRegistry() : PosixRegistry(environmentSearchPath, trustForThisProcess()) {
    // A program that must earn root's trust is looked for in the system's folders only.
    if (trust_) searchPath_ = systemSearchPath;
}

PosixRegistry::PosixRegistry(std::function<std::string()> searchPath,
                             std::optional<ProgramTrust> trust)
    : searchPath_(std::move(searchPath)), trust_(std::move(trust)) {}

std::optional<RegistryValue> PosixRegistry::readValue(std::int32_t root, const std::string& keyPath,
                                                      const std::string& valueName,
                                                      std::size_t bufferSize) {
    if (root != kLocalMachine || !sameIgnoringAsciiCase(keyPath, kToolPathKey) ||
        !sameIgnoringAsciiCase(valueName, kToolPathValue))
        return std::nullopt;
    const std::string tool = findOnSearchPath(
        searchPath_(), {"hardinfo2", "hardinfo", "kinfocenter"}, trust_ ? &*trust_ : nullptr);
    if (tool.empty() || tool.size() + 1 > bufferSize) return std::nullopt;
    RegistryValue value{kRegText, {tool.begin(), tool.end()}};
    value.bytes.push_back(0);
    return value;
}

}  // namespace kelmora::platform::posix

namespace kelmora::platform {
std::unique_ptr<Registry> makeRegistry() { return std::make_unique<posix::PosixRegistry>(); }
}  // namespace kelmora::platform
