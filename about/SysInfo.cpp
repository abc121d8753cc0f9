// SPDX-License-Identifier: MIT
#include "about/SysInfo.h"

#include <exception>
#include <string>

#include "about/KeyValue.h"

namespace kelmora {
namespace {

// Both lookups, the file test and the start; false for any step that fails.
bool findAndStart(platform::Registry* registry, platform::ProgramStarter* starter) {
    std::string toolPath;
    if (!GetKeyValue(registry, platform::kLocalMachine, std::string(kToolPathKey),
                     std::string(kToolPathValue), toolPath)) {
        if (!GetKeyValue(registry, platform::kLocalMachine, std::string(kToolFolderKey),
                         std::string(kToolFolderValue), toolPath))
            return false;
        toolPath += kToolFileName;
        if (!starter || !starter->isOrdinaryFile(starter->pathFromAnsi(toolPath))) return false;
    }
    // The path of lookup 1 is started as read: when it names nothing startable (a missing file,
    // no program, or an empty text from a value of another type) the start fails.
    return starter && starter->start(starter->pathFromAnsi(toolPath));
}

}  // namespace

void StartSysInfo(platform::Registry* registry, platform::ProgramStarter* starter,
                  MessageSink& messages) {
    bool started = false;
    try {
        started = findAndStart(registry, starter);
    } catch (const std::exception&) {
        // A value that cannot be decoded, or a platform step that throws: the tool is unavailable.
    }
    if (!started) messages.showMessage(kSysInfoUnavailable);
}

}  // namespace kelmora
