// SPDX-License-Identifier: MIT
#pragma once

#include <functional>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "window/MainView.h"

namespace kelmora::test {

// A main window without a display: keeps what the handlers last put on each control.
class RecordingView : public MainView {
  public:
    std::map<Control, std::string> captions;
    ScanPicture picture = ScanPicture::Go;
    bool listControlsEnabled = true;
    std::string freed = "0 KB", will = "0 KB";
    NativeString pathLine;
    std::vector<NativeString> rows;
    std::vector<bool> selected;  // row for row with `rows`
    std::optional<std::size_t> current;
    std::vector<int> gaugeWidths;  // every width set, in order

    void setCaption(Control control, std::string_view utf8) override {
        captions[control] = std::string(utf8);
    }
    void setScanPicture(ScanPicture p) override { picture = p; }
    void setListControlsEnabled(bool enabled) override { listControlsEnabled = enabled; }
    void setFreedText(std::string_view utf8) override { freed = std::string(utf8); }
    void setWillText(std::string_view utf8) override { will = std::string(utf8); }
    void setPathLine(const NativeString& path) override { pathLine = path; }
    void clearRows() override {
        rows.clear();
        selected.clear();
        current.reset();
    }
    void appendRow(const ResultList& results) override {
        rows.push_back(results.pathOf(results.size() - 1));
        selected.push_back(false);
    }
    void removeRow(std::size_t row) override {
        rows.erase(rows.begin() + static_cast<std::ptrdiff_t>(row));
        selected.erase(selected.begin() + static_cast<std::ptrdiff_t>(row));
        if (current && *current >= rows.size()) current.reset();
    }
    std::vector<std::size_t> selectedRows() const override {
        std::vector<std::size_t> out;
        for (std::size_t i = 0; i < selected.size(); ++i)
            if (selected[i]) out.push_back(i);
        return out;
    }
    void setAllRowsSelected(bool on) override { selected.assign(selected.size(), on); }
    std::optional<std::size_t> currentRow() const override { return current; }
    // What the list widget does on a user's toggle: flips `row` and makes it current.
    void toggle(std::size_t row) {
        selected[row] = !selected[row];
        current = row;
    }
    void setGaugeWidth(int twips) override { gaugeWidths.push_back(twips); }
};

}  // namespace kelmora::test
