// SPDX-License-Identifier: MIT
#pragma once

#include <cstddef>
#include <optional>
#include <string_view>
#include <vector>

#include "lang/Captions.h"
#include "platform/NativeString.h"
#include "results/ResultList.h"

namespace kelmora {

// The pictures the scan button shows.
enum class ScanPicture { Go, Stop };

// What the handlers change on the main window, so that they run without a display in tests. The
// window implements it with its widgets. Every call takes effect at once as far as the handlers can
// tell: what the view reports back (selectedRows, currentRow) counts every change made before. The
// screen may lag: while a scan or a removal runs, a view may show their changes at the display's
// pace, at most once per frame, as long as everything is on screen when the handler returns.
// Texts are UTF-8, paths native (the window turns them into display text).
class MainView : public CaptionSink {
  public:
    virtual void setScanPicture(ScanPicture picture) = 0;
    // Enables or disables the result list and the four buttons that act on it.
    virtual void setListControlsEnabled(bool enabled) = 0;
    virtual void setFreedText(std::string_view utf8) = 0;  // lblFreed
    virtual void setWillText(std::string_view utf8) = 0;   // lblWill
    // lblWD. A view may keep only the ends of a long path (see endsOfPath), all that one line
    // shows.
    virtual void setPathLine(const NativeString& path) = 0;
    // The result list. Row i shows row i of MainState::Results; the caller keeps both in step.
    virtual void clearRows() = 0;
    // `results` has one more row at its end, which the list shows as its last row. A view reads a
    // row's path from `results` whenever it needs it, rather than keeping a copy: `results` is
    // the MainState::Results of the view's window, and outlives the rows shown.
    virtual void appendRow(const ResultList& results) = 0;
    // Removes row `row`, which exists; the rows after it move up by one and keep their selection.
    virtual void removeRow(std::size_t row) = 0;
    // The numbers of the selected rows, in ascending order.
    virtual std::vector<std::size_t> selectedRows() const = 0;
    // Selects or deselects every row at once.
    virtual void setAllRowsSelected(bool selected) = 0;
    // The row the user last toggled or moved to; nothing when the list has no current row.
    virtual std::optional<std::size_t> currentRow() const = 0;
    // Width of the stack-usage bar sLevel, in twips.
    virtual void setGaugeWidth(int twips) = 0;

    // A long handler (the removal, after each file) calls this between two of its steps. The view
    // may bring what changed so far to the screen and repaint, but must let no other handler
    // run: the caller is half-way through and its state is not whole. The default does nothing,
    // which suits a view whose every change shows at once.
    virtual void showProgress() {}
};

}  // namespace kelmora
