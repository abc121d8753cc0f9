#include "platform/win32/Win32FileRemover.h"

#include <windows.h>  // first: the shell headers build on it

#include <shellapi.h>
#include <shlobj.h>
#include <shobjidl.h>

#include "platform/win32/RecycleOnlySink.h"
#include "platform/win32/Win32Path.h"

namespace kelmora::platform::win32 {
namespace {

RemoveResult refused(DWORD error) { return {RemoveOutcome::Refused, static_cast<int>(error)}; }

RemoveResult refusedBy(HRESULT result) {
    return {RemoveOutcome::Refused, static_cast<int>(result)};
}

// Checks the entry at `path` before it is acted on: nothing when it may go, else the outcome.
std::optional<RemoveResult> precheck(const std::wstring& path, FileFacts& facts) {
    DWORD error = 0;
    const auto found = readFileFacts(path, error);
    if (!found)
        return isNotFound(error) ? RemoveResult{RemoveOutcome::AlreadyGone, 0} : refused(error);
    if (!found->isRegularFile()) return refused(ERROR_NOT_SUPPORTED);
    facts = *found;
    return std::nullopt;
}

bool stillThere(const std::wstring& path) {
    return GetFileAttributesW(extendedPath(path).c_str()) != INVALID_FILE_ATTRIBUTES ||
           !isNotFound(GetLastError());
}

// Initialises COM on this thread for the call's length, in the single-threaded apartment that the
// shell's objects want; a thread that already joined an apartment keeps it.
class ComScope {
  public:
    ComScope()
        : result_(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED | COINIT_DISABLE_OLE1DDE)) {}
    ~ComScope() {
        if (SUCCEEDED(result_)) CoUninitialize();
    }
    bool usable() const { return SUCCEEDED(result_) || result_ == RPC_E_CHANGED_MODE; }
    HRESULT result() const { return result_; }

  private:
    HRESULT result_;
};

template <typename T>
struct Released {
    T* object = nullptr;
    ~Released() {
        if (object) object->Release();
    }
};

}  // namespace

RemoveResult Win32FileRemover::deleteFile(const NativeString& path) {
    FileFacts facts;
    if (auto early = precheck(path, facts)) return *early;
    // Without force: a read-only file is the user's or a program's wish to keep it.
    if (facts.attributes & FILE_ATTRIBUTE_READONLY) return refused(ERROR_ACCESS_DENIED);
    if (DeleteFileW(extendedPath(path).c_str())) return {RemoveOutcome::Removed, 0};
    const DWORD error = GetLastError();
    return isNotFound(error) ? RemoveResult{RemoveOutcome::AlreadyGone, 0} : refused(error);
}

RemoveResult Win32FileRemover::moveToTrash(const NativeString& path) {
    FileFacts facts;
    if (auto early = precheck(path, facts)) return *early;

    const ComScope com;
    if (!com.usable()) return refusedBy(com.result());
    Released<IFileOperation> operation;
    HRESULT hr =
        CoCreateInstance(CLSID_FileOperation, nullptr, CLSCTX_ALL, IID_PPV_ARGS(&operation.object));
    if (FAILED(hr)) return refusedBy(hr);
    hr = operation.object->SetOperationFlags(FOF_ALLOWUNDO | FOF_NOCONFIRMATION |
                                             FOFX_RECYCLEONDELETE);
    if (FAILED(hr)) return refusedBy(hr);

    // The shell takes the path in its ordinary form; it parses no wildcards.
    Released<IShellItem> item;
    hr = SHCreateItemFromParsingName(path.c_str(), nullptr, IID_PPV_ARGS(&item.object));
    if (FAILED(hr)) return refusedBy(hr);

    Released<RecycleOnlySink> sink{new RecycleOnlySink};
    DWORD cookie = 0;
    hr = operation.object->Advise(sink.object, &cookie);
    if (FAILED(hr)) return refusedBy(hr);  // without the sink the shell might erase: do not start
    hr = operation.object->DeleteItem(item.object, nullptr);
    if (SUCCEEDED(hr)) hr = operation.object->PerformOperations();
    BOOL aborted = FALSE;
    if (SUCCEEDED(hr) && SUCCEEDED(operation.object->GetAnyOperationsAborted(&aborted)) && aborted)
        hr = HRESULT_FROM_WIN32(ERROR_CANCELLED);
    operation.object->Unadvise(cookie);

    // The file's presence is the last word: a refused or failed move left it where it was.
    if (stillThere(path)) return refusedBy(FAILED(hr) ? hr : E_FAIL);
    return {RemoveOutcome::Removed, 0};
}

}  // namespace kelmora::platform::win32
