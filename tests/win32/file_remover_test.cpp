#include "platform/win32/Win32FileRemover.h"

#include <gtest/gtest.h>
#include <shlobj.h>

#include "platform/win32/RecycleOnlySink.h"
#include "tests/support/ListedFileOf.h"
#include "tests/win32/WinTree.h"

namespace kelmora {
namespace {

using platform::RemoveOutcome;
using platform::win32::RecycleOnlySink;
using platform::win32::Win32FileRemover;

class Win32Remover : public ::testing::Test {
  protected:
    platform::ListedFile listed(const std::wstring& rel) const {
        return test::listedFileOf(tree.path(rel));
    }

    test::WinTree tree;
    Win32FileRemover remover;
};

TEST_F(Win32Remover, DeletesAnOrdinaryFileOnly) {
    ASSERT_TRUE(tree.file(L"a.tmp", 10));
    ASSERT_TRUE(tree.file(L"b.tmp", 10));
    EXPECT_EQ(remover.deleteFile(listed(L"a.tmp")).outcome, RemoveOutcome::Removed);
    EXPECT_FALSE(tree.exists(L"a.tmp"));
    EXPECT_TRUE(tree.exists(L"b.tmp"));
    EXPECT_EQ(remover.deleteFile(listed(L"a.tmp")).outcome, RemoveOutcome::AlreadyGone);
}

TEST_F(Win32Remover, ReadOnlyFileIsRefusedNotForced) {
    ASSERT_TRUE(tree.file(L"keep.bak", 0, "precious"));
    if (!tree.setAttributes(L"keep.bak", FILE_ATTRIBUTE_READONLY))
        GTEST_SKIP() << "the drive does not keep the read-only attribute";
    const auto result = remover.deleteFile(listed(L"keep.bak"));
    EXPECT_EQ(result.outcome, RemoveOutcome::Refused);
    EXPECT_EQ(result.osError, ERROR_ACCESS_DENIED);
    EXPECT_EQ(tree.read(L"keep.bak"), "precious");
}

TEST_F(Win32Remover, FoldersAndPatternsAreRefusedAndTouchNothing) {
    ASSERT_TRUE(tree.folder(L"dir.tmp"));
    ASSERT_TRUE(tree.file(L"a1.tmp"));
    EXPECT_EQ(remover.deleteFile(listed(L"dir.tmp")).outcome, RemoveOutcome::Refused);
    EXPECT_EQ(remover.moveToTrash(listed(L"dir.tmp")).outcome, RemoveOutcome::Refused);
    EXPECT_EQ(remover.deleteFile(listed(L"a?.tmp")).outcome, RemoveOutcome::Refused);
    EXPECT_EQ(remover.moveToTrash(listed(L"*.tmp")).outcome, RemoveOutcome::Refused);
    EXPECT_TRUE(tree.exists(L"dir.tmp"));
    EXPECT_TRUE(tree.exists(L"a1.tmp"));
}

TEST_F(Win32Remover, AnotherFileAtTheListedPathIsRefusedAndKept) {
    ASSERT_TRUE(tree.file(L"f.tmp", 0, "listed"));
    const platform::ListedFile file = listed(L"f.tmp");
    ASSERT_NE(file.file, platform::FileIdentity{});
    // Made while the listed file still exists, so it cannot have its file ID.
    ASSERT_TRUE(tree.file(L"newer", 0, "someone else's"));
    ASSERT_TRUE(MoveFileExW(tree.path(L"newer").c_str(), tree.path(L"f.tmp").c_str(),
                            MOVEFILE_REPLACE_EXISTING));
    for (const auto& result : {remover.deleteFile(file), remover.moveToTrash(file)}) {
        EXPECT_EQ(result.outcome, RemoveOutcome::Refused);
        EXPECT_EQ(result.osError, ERROR_FILE_INVALID);
    }
    EXPECT_EQ(tree.read(L"f.tmp"), "someone else's");
}

TEST_F(Win32Remover, NameOnlyReachableInItsLongFormIsDeleted) {
    // A final dot is trimmed from a path in its ordinary form, which would name another file.
    if (!tree.file(L"trail.tmp.", 1)) GTEST_SKIP() << "the drive refuses a name ending in a dot";
    ASSERT_TRUE(tree.file(L"trail.tmp", 1));
    EXPECT_EQ(remover.deleteFile(listed(L"trail.tmp.")).outcome, RemoveOutcome::Removed);
    EXPECT_TRUE(tree.exists(L"trail.tmp"));
}

TEST_F(Win32Remover, MoveToTrashLandsInTheBinOrLeavesTheFileUntouched) {
    ASSERT_TRUE(tree.file(L"old.tmp", 0, "contents"));
    const auto result = remover.moveToTrash(listed(L"old.tmp"));
    if (result.outcome == RemoveOutcome::Removed) {
        EXPECT_FALSE(tree.exists(L"old.tmp"));
    } else {
        // Wine 8's IFileOperation carries out nothing (E_NOTIMPL): refused, never erased.
        EXPECT_EQ(result.outcome, RemoveOutcome::Refused);
        EXPECT_NE(result.osError, 0);
        EXPECT_EQ(tree.read(L"old.tmp"), "contents");
    }
    RecordProperty("moveToTrash",
                   result.outcome == RemoveOutcome::Removed ? "recycled" : "refused");
    EXPECT_EQ(remover.moveToTrash(listed(L"missing.tmp")).outcome, RemoveOutcome::AlreadyGone);
}

TEST(RecycleOnlySink, RefusesEveryDeleteTheShellWouldNotRecycle) {
    auto* sink = new RecycleOnlySink;
    EXPECT_EQ(sink->PreDeleteItem(TSF_DELETE_RECYCLE_IF_POSSIBLE, nullptr), S_OK);
    EXPECT_FALSE(sink->refusedErasure());
    EXPECT_TRUE(FAILED(sink->PreDeleteItem(TSF_NORMAL, nullptr)));
    EXPECT_TRUE(FAILED(sink->PreDeleteItem(TSF_COPY_LOCALIZED_NAME, nullptr)));
    EXPECT_TRUE(sink->refusedErasure());
    sink->Release();
}

TEST(RecycleOnlySink, IsAnOrdinaryComObject) {
    auto* sink = new RecycleOnlySink;
    IFileOperationProgressSink* asSink = nullptr;
    ASSERT_EQ(
        sink->QueryInterface(IID_IFileOperationProgressSink, reinterpret_cast<void**>(&asSink)),
        S_OK);
    void* other = nullptr;
    EXPECT_EQ(sink->QueryInterface(IID_IShellItem, &other), E_NOINTERFACE);
    EXPECT_EQ(other, nullptr);
    EXPECT_EQ(asSink->Release(), 1U);
    EXPECT_EQ(sink->Release(), 0U);
}

}  // namespace
}  // namespace kelmora
