// SPDX-License-Identifier: MIT
// Kelmora.exe: the main window over this machine's file system, recycle bin, registry and program
// starter, scanning drive C:.
#include <windows.h>

#include <commctrl.h>

#include "app/win32/MainFrm.h"
#include "platform/Platform.h"
#include "scan/Masks.h"

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int showCommand) {
    kelmora::platform::keepOnlyTrustedEnvironment();
    INITCOMMONCONTROLSEX controls{sizeof controls, ICC_STANDARD_CLASSES};
    InitCommonControlsEx(&controls);

    using namespace kelmora;
    platform::Services services{platform::makeFileSystem(isListableName),
                                platform::makeFileRemover(), platform::makeRegistry(),
                                platform::makeProgramStarter()};
    win32ui::MainFrm window(std::move(services), NativeString(kDriveRoot));
    window.show(showCommand);

    // The program's message loop, until the window is closed. The dialog manager gives the
    // window's controls the keyboard: Tab between them, Space on a button or a row.
    MSG message;
    while (GetMessageW(&message, nullptr, 0, 0) > 0) {
        if (IsWindow(window.hwnd()) && IsDialogMessageW(window.hwnd(), &message)) continue;
        TranslateMessage(&message);
        DispatchMessageW(&message);
    }
    return 0;
}
