// SPDX-License-Identifier: MIT
#pragma once

#include "window/MainView.h"

namespace kelmora::bench {

// A view that shows nothing, so that the core's handlers are timed without any window; a bench
// overrides what it needs to count or answer.
class NullView : public MainView {
  public:
    void setCaption(Control, std::string_view) override {}
    void setScanPicture(ScanPicture) override {}
    void setListControlsEnabled(bool) override {}
    void setFreedText(std::string_view) override {}
    void setWillText(std::string_view) override {}
    void setPathLine(const NativeString&) override {}
    void clearRows() override {}
    void appendRow(const ResultList&) override {}
    void removeRow(std::size_t) override {}
    std::vector<std::size_t> selectedRows() const override { return {}; }
    void setAllRowsSelected(bool) override {}
    std::optional<std::size_t> currentRow() const override { return std::nullopt; }
    void setGaugeWidth(int) override {}
};

}  // namespace kelmora::bench
