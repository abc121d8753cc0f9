#pragma once

#include <string_view>

#include "lang/Captions.h"
#include "platform/NativeString.h"

namespace kelmora {

// The pictures the scan button shows.
enum class ScanPicture { Go, Stop };

// What the handlers change on the main window, so that they run without a display in tests. The
// window implements it with its widgets; every call takes effect at once. Texts are UTF-8, paths
// native (the window turns them into display text).
class MainView : public CaptionSink {
  public:
    virtual void setScanPicture(ScanPicture picture) = 0;
    // Enables or disables the result list and the four buttons that act on it.
    virtual void setListControlsEnabled(bool enabled) = 0;
    virtual void setFreedText(std::string_view utf8) = 0;    // lblFreed
    virtual void setWillText(std::string_view utf8) = 0;     // lblWill
    virtual void setPathLine(const NativeString& path) = 0;  // lblWD
    virtual void clearRows() = 0;
    virtual void appendRow(const NativeString& path) = 0;
    // Width of the stack-usage bar sLevel, in twips.
    virtual void setGaugeWidth(int twips) = 0;
};

}  // namespace kelmora
