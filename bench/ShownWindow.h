// SPDX-License-Identifier: MIT
#pragma once

#include <QWidget>
#include <chrono>
#include <functional>

namespace kelmora::bench {

// Shows `window` and waits until the display has exposed it and painted it once; false when
// that has not happened within five seconds.
bool showExposed(QWidget& window);

// Lets the window finish what it has to do: handles every pending event (paints included), waits
// until the display server has carried out every request sent to it, and handles what that
// brought back. On a real X server this is the moment the user sees the final state.
void settle();

// Seconds from calling `click` to the window's being idle again (settle() included).
double secondsToIdle(const std::function<void()>& click);

}  // namespace kelmora::bench
