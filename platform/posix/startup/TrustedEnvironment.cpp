// SPDX-License-Identifier: MIT
#include "platform/posix/startup/TrustedEnvironment.h"

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cstdlib>

#include "platform/posix/shared/Account.h"
#include "platform/posix/sysinfo/TrustedProgram.h"

extern char** environ;

namespace kelmora::platform::posix {
namespace {

// Kept as they are: they only reach the display the user sits at and its session bus, over which
// assistive technology reads and drives the window (whoever owns the display can drive any window
// on it anyway), or choose among plug-ins installed with the system.
constexpr std::array<std::string_view, 14> kDisplay = {"DBUS_SESSION_BUS_ADDRESS",
                                                       "AT_SPI_BUS_ADDRESS",
                                                       "DISPLAY",
                                                       "XAUTHORITY",
                                                       "WAYLAND_DISPLAY",
                                                       "XDG_RUNTIME_DIR",
                                                       "XDG_SESSION_TYPE",
                                                       "QT_QPA_PLATFORM",
                                                       "XDG_CURRENT_DESKTOP",
                                                       "QT_SCALE_FACTOR",
                                                       "QT_FONT_DPI",
                                                       "QT_SCREEN_SCALE_FACTORS",
                                                       "QT_ENABLE_HIGHDPI_SCALING",
                                                       "QT_SCALE_FACTOR_ROUNDING_POLICY"};

// Kept when no "/" makes a path of them: glibc loads a locale named by a path from that path.
bool isLanguage(std::string_view name) {
    return name == "LANG" || name == "LANGUAGE" || name.starts_with("LC_");
}

}  // namespace

bool environmentIsForeign(uid_t effectiveUser, uid_t realUser, gid_t effectiveGroup,
                          gid_t realGroup, const char* home) {
    if (effectiveUser == 0 || effectiveUser != realUser || effectiveGroup != realGroup) return true;
    struct stat facts {};
    return !home || *home != '/' || ::stat(home, &facts) != 0 || facts.st_uid != effectiveUser;
}

std::vector<std::string> trustedEnvironment(const std::vector<std::string_view>& entries,
                                            const Account& account) {
    std::vector<std::string> kept;
    for (const std::string_view entry : entries) {
        const auto equals = entry.find('=');
        if (equals == std::string_view::npos) continue;
        const std::string_view name = entry.substr(0, equals);
        const std::string_view value = entry.substr(equals + 1);
        const bool display = std::find(kDisplay.begin(), kDisplay.end(), name) != kDisplay.end();
        if (display || (isLanguage(name) && value.find('/') == std::string_view::npos))
            kept.emplace_back(entry);
    }
    kept.push_back(std::string("PATH=") + kSystemProgramFolders);
    if (!account.home.empty()) kept.push_back("HOME=" + account.home);
    if (!account.name.empty()) {
        kept.push_back("USER=" + account.name);
        kept.push_back("LOGNAME=" + account.name);
    }
    return kept;
}

void keepOnlyTrustedEnvironment() {
    if (!environmentIsForeign(::geteuid(), ::getuid(), ::getegid(), ::getgid(),
                              std::getenv("HOME")))
        return;
    std::vector<std::string_view> entries;
    for (char** entry = environ; entry && *entry; ++entry) entries.emplace_back(*entry);
    const auto kept = trustedEnvironment(entries, accountOf(::geteuid()));
    // The texts live on in `kept` only until the end of this function: putenv would keep them,
    // setenv copies them.
    ::clearenv();
    for (const std::string& entry : kept) {
        const auto equals = entry.find('=');
        ::setenv(entry.substr(0, equals).c_str(), entry.c_str() + equals + 1, 1);
    }
}

}  // namespace kelmora::platform::posix

namespace kelmora::platform {
void keepOnlyTrustedEnvironment() { posix::keepOnlyTrustedEnvironment(); }
}  // namespace kelmora::platform
