// SPDX-License-Identifier: MIT
#include "platform/win32/ShellRecycle.h"

#include <shellapi.h>
#include <shlobj.h>
#include <shobjidl.h>

#include "platform/win32/DialogRefusal.h"
#include "platform/win32/RecycleOnlySink.h"

namespace kelmora::platform::win32 {
namespace {

// Initialises COM on this thread for the call's length, in the single-threaded apartment that the
// shell's objects want; a thread that already joined an apartment keeps it.
class ComScope {
  public:
    ComScope()
        : result_(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED | COINIT_DISABLE_OLE1DDE)) {}
    ~ComScope() {
        if (SUCCEEDED(result_)) CoUninitialize();
    }
    ComScope(const ComScope&) = delete;
    ComScope& operator=(const ComScope&) = delete;
    bool usable() const { return SUCCEEDED(result_) || result_ == RPC_E_CHANGED_MODE; }

  private:
    HRESULT result_;
};

template <typename T>
struct Released {
    T* object = nullptr;
    Released() = default;
    explicit Released(T* o) : object(o) {}
    Released(const Released&) = delete;
    Released& operator=(const Released&) = delete;
    ~Released() {
        if (object) object->Release();
    }
};

// What IFileOperation answered; `missing` when the object cannot be had or does not do the work,
// so that the other shell call may.
struct FileOperationAnswer {
    HRESULT result = S_OK;
    bool missing = false;
};

FileOperationAnswer recycleWithFileOperation(const std::wstring& path) {
    const ComScope com;
    if (!com.usable()) return {E_FAIL, true};
    Released<IFileOperation> operation;
    HRESULT hr =
        CoCreateInstance(CLSID_FileOperation, nullptr, CLSCTX_ALL, IID_PPV_ARGS(&operation.object));
    if (FAILED(hr)) return {hr, true};
    // Silent, as the other call is: no question, no error box and no progress window during a
    // batch, and no retry of a failure that would hold the batch up.
    hr = operation.object->SetOperationFlags(FOF_ALLOWUNDO | FOF_NOCONFIRMATION | FOF_NOERRORUI |
                                             FOF_SILENT | FOFX_RECYCLEONDELETE | FOFX_EARLYFAILURE);
    if (FAILED(hr)) return {hr, hr == E_NOTIMPL};
    // Whatever the shell still shows belongs to the program's window, modal to it, not a window
    // of its own that the batch would wait behind.
    if (const HWND owner = GetActiveWindow()) {
        hr = operation.object->SetOwnerWindow(owner);
        if (FAILED(hr)) return {hr, hr == E_NOTIMPL};
    }

    // The shell takes the path in its ordinary form; it parses no wildcards.
    Released<IShellItem> item;
    hr = SHCreateItemFromParsingName(path.c_str(), nullptr, IID_PPV_ARGS(&item.object));
    if (FAILED(hr)) return {hr, false};

    Released<RecycleOnlySink> sink(new RecycleOnlySink);
    DWORD cookie = 0;
    hr = operation.object->Advise(sink.object, &cookie);
    // Without the sink the shell might erase: it does not start.
    if (FAILED(hr)) return {hr, hr == E_NOTIMPL};
    hr = operation.object->DeleteItem(item.object, nullptr);
    if (SUCCEEDED(hr)) {
        // A question the flags did not silence is refused, as in the other call.
        const DialogRefusal noQuestions;
        if (!noQuestions.active()) hr = HRESULT_FROM_WIN32(GetLastError());
        if (SUCCEEDED(hr)) hr = operation.object->PerformOperations();
        if (SUCCEEDED(hr) && noQuestions.refused() > 0) hr = HRESULT_FROM_WIN32(ERROR_CANCELLED);
    }
    BOOL aborted = FALSE;
    if (SUCCEEDED(hr) && SUCCEEDED(operation.object->GetAnyOperationsAborted(&aborted)) && aborted)
        hr = HRESULT_FROM_WIN32(ERROR_CANCELLED);
    operation.object->Unadvise(cookie);
    return {hr, hr == E_NOTIMPL};
}

HRESULT recycleWithShellFileOperation(const std::wstring& path) {
    // The call copies each name into a buffer of MAX_PATH characters.
    if (path.size() >= MAX_PATH) return HRESULT_FROM_WIN32(ERROR_FILENAME_EXCED_RANGE);
    std::wstring from = path;
    from.push_back(L'\0');  // a list of names, ended by an empty one
    SHFILEOPSTRUCTW operation{};
    operation.wFunc = FO_DELETE;
    operation.pFrom = from.c_str();
    // Silent, but asking before it would erase instead of recycle; that question is refused.
    operation.fFlags =
        FOF_ALLOWUNDO | FOF_NOCONFIRMATION | FOF_WANTNUKEWARNING | FOF_NOERRORUI | FOF_SILENT;
    const DialogRefusal noQuestions;
    if (!noQuestions.active()) return HRESULT_FROM_WIN32(GetLastError());
    const int result = SHFileOperationW(&operation);
    if (result != 0) return HRESULT_FROM_WIN32(static_cast<DWORD>(result));
    if (operation.fAnyOperationsAborted || noQuestions.refused() > 0)
        return HRESULT_FROM_WIN32(ERROR_CANCELLED);
    return S_OK;
}

}  // namespace

HRESULT ShellRecycler::recycle(const std::wstring& path) {
    if (!fileOperationMissing_) {
        const FileOperationAnswer answer = recycleWithFileOperation(path);
        if (!answer.missing) return answer.result;
        fileOperationMissing_ = true;
    }
    return recycleWithShellFileOperation(path);
}

}  // namespace kelmora::platform::win32
