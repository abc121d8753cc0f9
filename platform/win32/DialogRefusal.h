// SPDX-License-Identifier: MIT
#pragma once

#include <windows.h>

namespace kelmora::platform::win32 {

// While it lives, no dialog box (the window class of MessageBox and DialogBox, #32770) can be
// created on this thread: its creation fails, as if the user had cancelled it at once. Wrapped
// around a system call that would ask the user something, so that the call runs without a window
// and takes the answer "no". One at a time per thread.
class DialogRefusal {
  public:
    DialogRefusal();
    ~DialogRefusal();
    DialogRefusal(const DialogRefusal&) = delete;
    DialogRefusal& operator=(const DialogRefusal&) = delete;

    // False when the refusal could not be set up: then nothing is refused.
    bool active() const { return hook_ != nullptr; }
    // How many dialogs were refused so far.
    int refused() const;

  private:
    HHOOK hook_;
};

}  // namespace kelmora::platform::win32
