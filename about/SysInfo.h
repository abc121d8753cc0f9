// SPDX-License-Identifier: MIT
#pragma once

#include <string_view>

#include "platform/SystemInfo.h"

namespace kelmora {

// The launcher's one message to the user.
inline constexpr std::string_view kSysInfoUnavailable =
    "System Information Is Unavailable At This Time";

// Where the launcher shows its message: the About dialog (a message box), or a test's record.
class MessageSink {
  public:
    virtual ~MessageSink() = default;
    // Shows `utf8` and returns once the user has answered it.
    virtual void showMessage(std::string_view utf8) = 0;
};

// The registry places that locate the system information tool, tried in this order, both below
// HKEY_LOCAL_MACHINE: the tool's full program path, then the folder that holds it.
using platform::kToolPathKey;
using platform::kToolPathValue;
inline constexpr std::string_view kToolFolderKey = "SOFTWARE\\Microsoft\\Shared Tools Location";
inline constexpr std::string_view kToolFolderValue = "MSINFO";
// Appended to the folder, whatever the folder text ends with.
inline constexpr std::string_view kToolFileName = "\\MSINFO32.EXE";

// The system information button's handler: finds the system information tool and starts it as an
// independent program, or shows kSysInfoUnavailable. Keeps nothing between calls, so every click
// searches afresh.
// 1. Lookup 1 found: its path is started as read, with no file test and no lookup 2.
// 2. Otherwise lookup 2 found: the folder followed by kToolFileName is started when it is an
//    ordinary file.
// Every failure on the way (neither value found, the file missing or hidden, a start that fails,
// a value that cannot be decoded) ends in the one message. `registry` and `starter` may be null
// (the platform has none): every lookup then misses, or every start fails.
void StartSysInfo(platform::Registry* registry, platform::ProgramStarter* starter,
                  MessageSink& messages);

}  // namespace kelmora
