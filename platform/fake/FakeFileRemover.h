// SPDX-License-Identifier: MIT
#pragma once

#include <map>
#include <vector>

#include "platform/FileRemover.h"

namespace kelmora::platform {

// A file remover for tests: touches no file, answers each call with the result set for its path
// (Removed when none is set) and records every call in order.
class FakeFileRemover : public FileRemover {
  public:
    enum class Call { Delete, Trash };
    struct Record {
        Call call;
        NativeString path;
        bool operator==(const Record&) const = default;
    };

    // The answer of deleteFile or moveToTrash for `path` from now on.
    void answerDelete(const NativeString& path, RemoveOutcome outcome, int osError = 0) {
        deleteAnswers_[path] = {outcome, osError};
    }
    void answerTrash(const NativeString& path, RemoveOutcome outcome, int osError = 0) {
        trashAnswers_[path] = {outcome, osError};
    }

    const std::vector<Record>& calls() const { return calls_; }
    // Every file handed over, identities included, in call order.
    const std::vector<ListedFile>& files() const { return files_; }
    // How many times finishBatch was called.
    int batchesFinished() const { return batchesFinished_; }

    RemoveResult deleteFile(const ListedFile& file) override;
    RemoveResult moveToTrash(const ListedFile& file) override;
    void finishBatch() override { ++batchesFinished_; }

  private:
    std::map<NativeString, RemoveResult> deleteAnswers_;
    std::map<NativeString, RemoveResult> trashAnswers_;
    std::vector<Record> calls_;
    std::vector<ListedFile> files_;
    int batchesFinished_ = 0;
};

}  // namespace kelmora::platform
