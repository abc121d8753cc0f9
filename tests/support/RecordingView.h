#pragma once

#include <functional>
#include <map>
#include <string>
#include <vector>

#include "app/MainView.h"

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
    std::vector<int> gaugeWidths;  // every width set, in order

    void setCaption(Control control, std::string_view utf8) override {
        captions[control] = std::string(utf8);
    }
    void setScanPicture(ScanPicture p) override { picture = p; }
    void setListControlsEnabled(bool enabled) override { listControlsEnabled = enabled; }
    void setFreedText(std::string_view utf8) override { freed = std::string(utf8); }
    void setWillText(std::string_view utf8) override { will = std::string(utf8); }
    void setPathLine(const NativeString& path) override { pathLine = path; }
    void clearRows() override { rows.clear(); }
    void appendRow(const NativeString& path) override { rows.push_back(path); }
    void setGaugeWidth(int twips) override { gaugeWidths.push_back(twips); }
};

}  // namespace kelmora::test
