// SPDX-License-Identifier: MIT
#include "platform/win32/RecycleOnlySink.h"

namespace kelmora::platform::win32 {

HRESULT STDMETHODCALLTYPE RecycleOnlySink::QueryInterface(REFIID riid, void** object) {
    if (!object) return E_POINTER;
    if (IsEqualIID(riid, IID_IUnknown) || IsEqualIID(riid, IID_IFileOperationProgressSink)) {
        *object = static_cast<IFileOperationProgressSink*>(this);
        AddRef();
        return S_OK;
    }
    *object = nullptr;
    return E_NOINTERFACE;
}

ULONG STDMETHODCALLTYPE RecycleOnlySink::AddRef() {
    return static_cast<ULONG>(InterlockedIncrement(&references_));
}

ULONG STDMETHODCALLTYPE RecycleOnlySink::Release() {
    const LONG left = InterlockedDecrement(&references_);
    if (left == 0) delete this;
    return static_cast<ULONG>(left);
}

HRESULT STDMETHODCALLTYPE RecycleOnlySink::PreDeleteItem(DWORD flags, IShellItem*) {
    if ((flags & TSF_DELETE_RECYCLE_IF_POSSIBLE) != 0) return S_OK;
    // The shell would erase this item for good: stop it, the file stays.
    refusedErasure_ = true;
    return HRESULT_FROM_WIN32(ERROR_CANCELLED);
}

}  // namespace kelmora::platform::win32
