#include "platform/win32/Win32FileRemover.h"

#include <windows.h>  // first: the shell headers build on it

#include <shellapi.h>
#include <shlobj.h>
#include <shobjidl.h>

#include "platform/win32/RecycleOnlySink.h"
#include "platform/win32/Win32Identity.h"
#include "platform/win32/Win32Path.h"

namespace kelmora::platform::win32 {
namespace {

RemoveResult refused(DWORD error) { return {RemoveOutcome::Refused, static_cast<int>(error)}; }

RemoveResult refusedBy(HRESULT result) {
    return {RemoveOutcome::Refused, static_cast<int>(result)};
}

// Closes a handle when it goes out of scope.
struct OpenHandle {
    HANDLE handle = INVALID_HANDLE_VALUE;
    ~OpenHandle() {
        if (handle != INVALID_HANDLE_VALUE) CloseHandle(handle);
    }
};

// Opens the entry at the listed path itself, with `access`, and checks that it is the listed
// regular file: nothing when it is (its attributes in `attributes`), else the outcome.
std::optional<RemoveResult> openListed(const ListedFile& listed, DWORD access, OpenHandle& opened,
                                       DWORD& attributes) {
    // Windows allows neither in a name; a path with them is never a pattern here.
    if (listed.path.find_first_of(L"*?") != std::wstring::npos) return refused(ERROR_INVALID_NAME);
    opened.handle =
        CreateFileW(extendedPath(listed.path).c_str(), access,
                    FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                    FILE_FLAG_OPEN_REPARSE_POINT | FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (opened.handle == INVALID_HANDLE_VALUE) {
        const DWORD error = GetLastError();
        return isNotFound(error) ? RemoveResult{RemoveOutcome::AlreadyGone, 0} : refused(error);
    }
    FILE_ATTRIBUTE_TAG_INFO tag{};
    if (!GetFileInformationByHandleEx(opened.handle, FileAttributeTagInfo, &tag, sizeof tag))
        return refused(GetLastError());
    FileFacts facts;
    facts.attributes = tag.FileAttributes;
    facts.reparseTag = (tag.FileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) ? tag.ReparseTag : 0;
    if (!facts.isRegularFile()) return refused(ERROR_NOT_SUPPORTED);
    DWORD error = 0;
    const auto identity = identityOfHandle(opened.handle, error);
    if (!identity) return refused(error);
    if (*identity != listed.file) return refused(ERROR_FILE_INVALID);
    attributes = facts.attributes;
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

RemoveResult Win32FileRemover::deleteFile(const ListedFile& file) {
    OpenHandle opened;
    DWORD attributes = 0;
    if (auto early = openListed(file, DELETE | FILE_READ_ATTRIBUTES, opened, attributes))
        return *early;
    // Without force: a read-only file is the user's or a program's wish to keep it.
    if (attributes & FILE_ATTRIBUTE_READONLY) return refused(ERROR_ACCESS_DENIED);
    FILE_DISPOSITION_INFO disposition{};
    disposition.DeleteFile = TRUE;
    if (!SetFileInformationByHandle(opened.handle, FileDispositionInfo, &disposition,
                                    sizeof disposition))
        return refused(GetLastError());
    return {RemoveOutcome::Removed, 0};  // the name goes when the handle closes, here
}

RemoveResult Win32FileRemover::moveToTrash(const ListedFile& file) {
    {  // checked, then closed: the shell opens the file itself
        OpenHandle opened;
        DWORD attributes = 0;
        if (auto early = openListed(file, FILE_READ_ATTRIBUTES, opened, attributes)) return *early;
    }
    const std::wstring& path = file.path;

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
