#include "platform/fake/FakeFileRemover.h"

namespace kelmora::platform {
namespace {

RemoveResult answer(const std::map<NativeString, RemoveResult>& answers, const NativeString& path) {
    const auto it = answers.find(path);
    return it == answers.end() ? RemoveResult{RemoveOutcome::Removed, 0} : it->second;
}

}  // namespace

RemoveResult FakeFileRemover::deleteFile(const NativeString& path) {
    calls_.push_back({Call::Delete, path});
    return answer(deleteAnswers_, path);
}

RemoveResult FakeFileRemover::moveToTrash(const NativeString& path) {
    calls_.push_back({Call::Trash, path});
    return answer(trashAnswers_, path);
}

}  // namespace kelmora::platform
