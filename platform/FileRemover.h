// SPDX-License-Identifier: MIT
#pragma once

#include "platform/FileIdentity.h"
#include "platform/NativeString.h"

namespace kelmora::platform {

// What became of one file that the user asked to remove.
enum class RemoveOutcome {
    Removed,      // the file left its folder: deleted, or moved into the trash
    AlreadyGone,  // there was no file at the path when the call was made
    Refused,      // the file is still there (read-only, in use, denied, not the listed file, no
                  // trash would take it)
};

struct RemoveResult {
    RemoveOutcome outcome = RemoveOutcome::Refused;
    int osError = 0;  // the platform's error code behind a refusal, 0 otherwise
};

// Removes single files the user selected. Used on the user-interface thread; each call handles
// exactly one file and returns when it is done.
//
// Each call acts on exactly the listed file: the file whose identity the scan recorded
// (ListedFile::file), in the folder it recorded (ListedFile::folder where the platform checks it),
// reached without following any link. Whatever else is found at the path now, a link, a folder or
// another file put there since the scan, is refused and stays. A path always names one file, never
// a pattern: "*" and "?" in it are plain characters.
class FileRemover {
  public:
    virtual ~FileRemover() = default;

    // Deletes the file for good, without force: a read-only file is refused.
    virtual RemoveResult deleteFile(const ListedFile& file) = 0;

    // Moves the file to the system's trash (the recycle bin), from where the user can restore it.
    // Either the file lands in the trash or the call is refused with the file untouched: it never
    // falls back to deleting it for good.
    virtual RemoveResult moveToTrash(const ListedFile& file) = 0;

    // Ends a run of calls (one click's files): lets go of what the remover keeps open between
    // calls to go faster, such as the folders last used, so that no mount stays busy. Later
    // calls work as before.
    virtual void finishBatch() {}
};

}  // namespace kelmora::platform
