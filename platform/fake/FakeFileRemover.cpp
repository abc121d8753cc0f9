// SPDX-License-Identifier: MIT
#include "platform/fake/FakeFileRemover.h"

namespace kelmora::platform {
namespace {

RemoveResult answer(const std::map<NativeString, RemoveResult>& answers, const NativeString& path) {
    const auto it = answers.find(path);
    return it == answers.end() ? RemoveResult{RemoveOutcome::Removed, 0} : it->second;
}

}  // namespace

RemoveResult FakeFileRemover::deleteFile(const ListedFile& file) {
    calls_.push_back({Call::Delete, file.path});
    files_.push_back(file);
    return answer(deleteAnswers_, file.path);
}

RemoveResult FakeFileRemover::moveToTrash(const ListedFile& file) {
    calls_.push_back({Call::Trash, file.path});
    files_.push_back(file);
    return answer(trashAnswers_, file.path);
}

}  // namespace kelmora::platform
