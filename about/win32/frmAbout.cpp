// SPDX-License-Identifier: MIT
#include "about/win32/frmAbout.h"

#include <commctrl.h>

#include <string_view>

#include "about/AboutLayout.h"
#include "about/AboutTexts.h"
#include "about/KeyValue.h"
#include "about/Version.h"
#include "app/win32/DesignFont.h"
#include "app/win32/DesignPlacement.h"
#include "app/win32/Pictures.h"
#include "app/win32/ResourceIds.h"
#include "app/win32/WideText.h"

namespace kelmora::win32ui {
namespace {

// The fixed tool-window frame: a small title bar with only a close box, no taskbar entry and no
// window icon.
constexpr DWORD kFrameStyle = WS_POPUP | WS_CAPTION | WS_SYSMENU | DS_MODALFRAME;
constexpr DWORD kFrameExStyle = WS_EX_TOOLWINDOW;

// A dialog template without controls: the dialog builds them itself once it exists, from the
// design table in pixels at the system's DPI, so that both front ends read one table. The dialog
// manager wants the template on a DWORD boundary.
struct alignas(4) EmptyDialogTemplate {
    DLGTEMPLATE header{kFrameStyle, kFrameExStyle, 0, 0, 0, 0, 0};
    WORD menu = 0;
    WORD windowClass = 0;
    WORD title = 0;  // the caption is set on load
};

int id(std::string_view name) { return name == "cmdOK" ? IDOK : controlId(kAboutLayout, name); }

}  // namespace

frmAbout::frmAbout(std::uint8_t Lang, platform::Registry* registry,
                   platform::ProgramStarter* starter)
    : lang_(Lang), registry_(registry), starter_(starter) {}

void frmAbout::showModal(HWND owner) {
    static const EmptyDialogTemplate dialogTemplate;
    DialogBoxIndirectParamW(GetModuleHandleW(nullptr), &dialogTemplate.header, owner,
                            &frmAbout::dialogProc, reinterpret_cast<LPARAM>(this));
    hwnd_ = nullptr;
}

INT_PTR CALLBACK frmAbout::dialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_INITDIALOG) {
        auto* self = reinterpret_cast<frmAbout*>(lParam);
        self->hwnd_ = dialog;
        SetWindowLongPtrW(dialog, DWLP_USER, lParam);
    }
    auto* self = reinterpret_cast<frmAbout*>(GetWindowLongPtrW(dialog, DWLP_USER));
    return self ? self->handle(message, wParam, lParam) : FALSE;
}

INT_PTR frmAbout::handle(UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        case WM_INITDIALOG:
            dpi_ = systemDpi();
            placeWindow();
            buildControls();
            load();
            // cmdOK is the default button (Enter) and has the focus; Esc and the close box send
            // IDCANCEL, which closes the dialog too.
            SendMessageW(hwnd_, DM_SETDEFID, IDOK, 0);
            SetFocus(GetDlgItem(hwnd_, IDOK));
            return FALSE;  // the focus is set
        case WM_COMMAND:
            if (LOWORD(wParam) == IDOK || LOWORD(wParam) == IDCANCEL) {
                EndDialog(hwnd_, LOWORD(wParam));
            } else if (LOWORD(wParam) == id("cmdSysInfo") && HIWORD(wParam) == BN_CLICKED) {
                StartSysInfo();
            }
            return TRUE;
        case WM_CTLCOLORDLG:
        case WM_CTLCOLORBTN:
            return reinterpret_cast<INT_PTR>(background_.get());
        case WM_DRAWITEM:
            drawBoldLabel(*reinterpret_cast<const DRAWITEMSTRUCT*>(lParam));
            return TRUE;
        case WM_CTLCOLORSTATIC:
            return reinterpret_cast<INT_PTR>(
                controlColour(reinterpret_cast<HDC>(wParam), reinterpret_cast<HWND>(lParam)));
        default:
            return FALSE;
    }
}

// The client area as designed, its top-left corner at the designed place on the screen.
void frmAbout::placeWindow() {
    RECT frame{0, 0, twipsToPixelsAt(kAboutClientWidthTwips, dpi_),
               twipsToPixelsAt(kAboutClientHeightTwips, dpi_)};
    AdjustWindowRectEx(&frame, kFrameStyle, FALSE, kFrameExStyle);
    SetWindowPos(hwnd_, nullptr, twipsToPixelsAt(kAboutScreenLeftTwips, dpi_) + frame.left,
                 twipsToPixelsAt(kAboutScreenTopTwips, dpi_) + frame.top, frame.right - frame.left,
                 frame.bottom - frame.top, SWP_NOZORDER | SWP_NOACTIVATE);
}

void frmAbout::buildControls() {
    text_ = createDesignFont(kAboutTextPoints, FontWeight::Regular, dpi_);
    bold_ = createDesignFont(kAboutTextPoints, FontWeight::Bold, dpi_);
    title_ = createDesignFont(kAboutTitlePoints, FontWeight::Bold, dpi_);
    boldOverstrike_ = boldOverstrike(bold_.get(), text_.get(), dpi_);
    titleOverstrike_ = boldOverstrike(
        title_.get(), createDesignFont(kAboutTitlePoints, FontWeight::Regular, dpi_).get(), dpi_);
    background_.reset(CreateSolidBrush(designColour(kAboutBackground)));

    struct Kind {
        std::string_view name;
        const wchar_t* windowClass;
        DWORD style;
        HFONT font;
    };
    constexpr DWORD label = WS_VISIBLE | SS_LEFT | SS_NOPREFIX;
    constexpr DWORD boldLabel = WS_VISIBLE | SS_OWNERDRAW;  // drawBoldLabel
    const std::array<Kind, 10> kinds = {{
        {"cmdOK", WC_BUTTONW, WS_VISIBLE | WS_TABSTOP | WS_GROUP | BS_DEFPUSHBUTTON, text_.get()},
        {"cmdSysInfo", WC_BUTTONW, WS_VISIBLE | WS_TABSTOP | BS_PUSHBUTTON, text_.get()},
        {"lblDescription", WC_STATICW, label, text_.get()},
        {"lblTitle", WC_STATICW, boldLabel, title_.get()},
        {"lblVersion", WC_STATICW, boldLabel, bold_.get()},
        {"Label1", WC_STATICW, label, text_.get()},
        {"Label2", WC_STATICW, label, text_.get()},
        {"Label3", WC_STATICW, boldLabel, bold_.get()},
        {"web", WC_STATICW, boldLabel, bold_.get()},
        {"logo", WC_STATICW, WS_VISIBLE | SS_BITMAP, nullptr},
    }};
    for (const Kind& kind : kinds) {
        const HWND created =
            createControl(kAboutLayout, kind.name, hwnd_, dpi_, kind.windowClass, L"", kind.style);
        if (kind.name == "cmdOK") SetWindowLongPtrW(created, GWLP_ID, IDOK);
        if (kind.font)
            SendMessageW(created, WM_SETFONT, reinterpret_cast<WPARAM>(kind.font), FALSE);
    }
    SetDlgItemTextW(hwnd_, IDOK, widen(kOkCaption).c_str());
    SetDlgItemTextW(hwnd_, id("cmdSysInfo"), widen(kSysInfoCaption).c_str());
    SetDlgItemTextW(hwnd_, id("Label2"), widen(kAuthorLine).c_str());
    SetDlgItemTextW(hwnd_, id("Label3"), widen(kAuthorEmail).c_str());

    // The logo, scaled to fill its control.
    const RECT logo = designRect(kAboutLayout, "logo", dpi_);
    logo_ = loadScaledPicture(KELMORA_PICTURE_LOGO, logo.right - logo.left, logo.bottom - logo.top,
                              designColour(kAboutBackground));
    SendDlgItemMessageW(hwnd_, id("logo"), STM_SETIMAGE, IMAGE_BITMAP,
                        reinterpret_cast<LPARAM>(logo_.get()));

    // The etched separator: a grey line over a white one, each a plain STATIC in its colour.
    for (std::size_t i = 0; i < kAboutEtchedLines.size(); ++i) {
        const DesignLine& line = kAboutEtchedLines[i];
        const int x1 = twipsToPixelsAt(line.x1, dpi_);
        const int top = twipsToPixelsAt(line.y, dpi_) - line.thickness / 2;
        lines_[i].reset(CreateSolidBrush(designColour(line.colour)));
        lineWindows_[i] = CreateWindowExW(0, WC_STATICW, L"", WS_CHILD | WS_VISIBLE | SS_LEFT, x1,
                                          top, twipsToPixelsAt(line.x2, dpi_) - x1, line.thickness,
                                          hwnd_, reinterpret_cast<HMENU>(static_cast<INT_PTR>(-1)),
                                          GetModuleHandleW(nullptr), nullptr);
    }
}

void frmAbout::load() {
    SetWindowTextW(hwnd_, widen(aboutCaption()).c_str());
    SetDlgItemTextW(hwnd_, id("lblVersion"),
                    widen(versionLine(kVersionMajor, kVersionMinor, kVersionRevision)).c_str());
    SetDlgItemTextW(hwnd_, id("lblTitle"), widen(kApplicationTitle).c_str());
    const AboutTexts texts = aboutTexts(lang_);
    SetDlgItemTextW(hwnd_, id("lblDescription"), widen(texts.description).c_str());
    SetDlgItemTextW(hwnd_, id("web"), widen(texts.web).c_str());
    SetDlgItemTextW(hwnd_, id("Label1"), widen(texts.caution).c_str());
}

HBRUSH frmAbout::controlColour(HDC dc, HWND control) {
    for (std::size_t i = 0; i < lineWindows_.size(); ++i)
        if (control == lineWindows_[i]) return lines_[i].get();
    // Labels are transparent: the dialog's grey shows through; their text is black.
    SetBkMode(dc, TRANSPARENT);
    SetTextColor(dc, RGB(0, 0, 0));
    return background_.get();
}

void frmAbout::drawBoldLabel(const DRAWITEMSTRUCT& item) {
    const bool title = item.hwndItem == GetDlgItem(hwnd_, id("lblTitle"));
    FillRect(item.hDC, &item.rcItem, background_.get());
    const HGDIOBJ previous = SelectObject(item.hDC, title ? title_.get() : bold_.get());
    SetBkMode(item.hDC, TRANSPARENT);
    SetTextColor(item.hDC, RGB(0, 0, 0));
    // Wrapped at words as the plain labels are.
    drawOverstruckText(item.hDC, windowText(item.hwndItem), item.rcItem,
                       DT_LEFT | DT_TOP | DT_WORDBREAK | DT_NOPREFIX,
                       title ? titleOverstrike_ : boldOverstrike_);
    SelectObject(item.hDC, previous);
}

void frmAbout::StartSysInfo() { kelmora::StartSysInfo(registry_, starter_, *this); }

bool frmAbout::GetKeyValue(std::int32_t KeyRoot, const std::string& KeyName,
                           const std::string& SubKeyRef, std::string& KeyVal) {
    return kelmora::GetKeyValue(registry_, KeyRoot, KeyName, SubKeyRef, KeyVal);
}

void frmAbout::showMessage(std::string_view utf8) {
    MessageBoxW(hwnd_, widen(utf8).c_str(), widen(kApplicationTitle).c_str(), MB_OK | MB_APPLMODAL);
}

}  // namespace kelmora::win32ui
