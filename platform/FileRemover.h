#pragma once

#include "platform/NativeString.h"

namespace kelmora::platform {

// What became of one file that the user asked to remove.
enum class RemoveOutcome {
    Removed,      // the file left its folder: deleted, or moved into the trash
    AlreadyGone,  // there was no file at the path when the call was made
    Refused,      // the file is still there (read-only, in use, denied, no trash would take it)
};

struct RemoveResult {
    RemoveOutcome outcome = RemoveOutcome::Refused;
    int osError = 0;  // the platform's error code behind a refusal, 0 otherwise
};

// Removes single files the user selected. Used on the user-interface thread; each call handles
// exactly one file and returns when it is done.
//
// A path always names one file, never a pattern: "*" and "?" in it are plain characters. A link is
// never followed: the listed entry itself is acted on, and an entry that is no longer a regular
// file is refused.
class FileRemover {
  public:
    virtual ~FileRemover() = default;

    // Deletes the file for good, without force: a read-only file is refused.
    virtual RemoveResult deleteFile(const NativeString& path) = 0;

    // Moves the file to the system's trash (the recycle bin), from where the user can restore it.
    // Either the file lands in the trash or the call is refused with the file untouched: it never
    // falls back to deleting it for good.
    virtual RemoveResult moveToTrash(const NativeString& path) = 0;
};

}  // namespace kelmora::platform
