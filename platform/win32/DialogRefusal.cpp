// SPDX-License-Identifier: MIT
#include "platform/win32/DialogRefusal.h"

namespace kelmora::platform::win32 {
namespace {

thread_local HHOOK activeHook = nullptr;
thread_local int refusedDialogs = 0;

constexpr ATOM kDialogClassAtom = 0x8002;  // the predefined class "#32770"

bool isDialogClass(const wchar_t* windowClass) {
    if (IS_INTRESOURCE(windowClass))
        return reinterpret_cast<ULONG_PTR>(windowClass) == kDialogClassAtom;
    return lstrcmpiW(windowClass, L"#32770") == 0;
}

LRESULT CALLBACK refuseDialogs(int code, WPARAM wParam, LPARAM lParam) {
    if (code == HCBT_CREATEWND) {
        const auto* created = reinterpret_cast<const CBT_CREATEWNDW*>(lParam);
        if (isDialogClass(created->lpcs->lpszClass)) {
            ++refusedDialogs;
            return 1;  // the window is not created
        }
    }
    return CallNextHookEx(activeHook, code, wParam, lParam);
}

}  // namespace

DialogRefusal::DialogRefusal()
    : hook_(SetWindowsHookExW(WH_CBT, refuseDialogs, nullptr, GetCurrentThreadId())) {
    activeHook = hook_;
    refusedDialogs = 0;
}

DialogRefusal::~DialogRefusal() {
    if (hook_) UnhookWindowsHookEx(hook_);
    activeHook = nullptr;
}

int DialogRefusal::refused() const { return refusedDialogs; }

}  // namespace kelmora::platform::win32
