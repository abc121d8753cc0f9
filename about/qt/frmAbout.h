// SPDX-License-Identifier: MIT
#pragma once

#include <QDialog>
#include <cstdint>
#include <string>

#include "about/SysInfo.h"
#include "about/qt/DialogRunner.h"
#include "platform/SystemInfo.h"

namespace kelmora {

// The About dialog: title, version, author, description and web line in the main window's
// language, the logo, and a button that starts the system information tool. Created for one
// opening and discarded when it closes; its texts follow `Lang` as it was when it was created.
// OK, Enter, Esc and the close box close it; the system information button (Alt+S) leaves it
// open.
class frmAbout : public QDialog, private MessageSink {
    Q_OBJECT
  public:
    // `registry` and `starter` may be null (the platform has none); `dialogs` shows the message
    // box. All must outlive the dialog.
    frmAbout(std::uint8_t Lang, platform::Registry* registry, platform::ProgramStarter* starter,
             DialogRunner& dialogs, QWidget* parent = nullptr);

    // The system information button's handler: starts the tool or shows that it is unavailable.
    void StartSysInfo();
    // One registry value, decoded; see kelmora::GetKeyValue.
    bool GetKeyValue(std::int32_t KeyRoot, const std::string& KeyName, const std::string& SubKeyRef,
                     std::string& KeyVal);

  private:
    void buildControls();
    void load(std::uint8_t lang);
    void showMessage(std::string_view utf8) override;

    platform::Registry* registry_;
    platform::ProgramStarter* starter_;
    DialogRunner& dialogs_;
};

}  // namespace kelmora
