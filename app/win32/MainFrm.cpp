// SPDX-License-Identifier: MIT
#include "app/win32/MainFrm.h"

#include <commctrl.h>

#include <algorithm>
#include <utility>
#include <vector>

#include "about/AboutTexts.h"
#include "about/win32/frmAbout.h"
#include "app/win32/DesignFont.h"
#include "app/win32/DesignPlacement.h"
#include "app/win32/PictureButton.h"
#include "app/win32/Pictures.h"
#include "app/win32/ResourceIds.h"
#include "app/win32/WideText.h"
#include "results/Selection.h"
#include "scan/Masks.h"
#include "window/DesignLayout.h"
#include "window/PathLine.h"

namespace kelmora::win32ui {
namespace {

constexpr wchar_t kWindowClass[] = L"KelmoraMainFrm";

// The fixed frame: a caption with the system menu and its close box, no sizing border, no
// minimise or maximise box. WS_CLIPCHILDREN keeps the window's own painting off its controls.
constexpr DWORD kFrameStyle = WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_CLIPCHILDREN;

int id(std::string_view name) { return controlId(kMainLayout, name); }

// The longest a removal works without answering the system: whatever the frames' pace, the window
// handles its messages this often, so that Windows never takes it for hung (it asks after five
// seconds, but a user sees a frozen window much sooner) and a close is taken when it comes.
constexpr std::chrono::milliseconds kAnswerPeriod{25};

// What the user does with mouse, keyboard, pen or touch, as it arrives in the message queue.
bool isUserInput(UINT message) {
    return (message >= WM_KEYFIRST && message <= WM_KEYLAST) ||
           (message >= WM_MOUSEFIRST && message <= WM_MOUSELAST) ||
           (message >= WM_NCMOUSEMOVE && message <= WM_NCXBUTTONDBLCLK) ||
           (message >= WM_TOUCH && message <= WM_POINTERHWHEEL) || message == WM_INPUT ||
           message == WM_NCMOUSEHOVER || message == WM_MOUSEHOVER || message == WM_NCMOUSELEAVE ||
           message == WM_MOUSELEAVE;
}

// The user's ways of asking to close the window that arrive as input: a click on the close box,
// a double click on the system menu's icon, Alt+F4 (typed into whichever control has the focus).
// Input is thrown away during a removal, but a close must not be lost with it.
bool isCloseGesture(const MSG& message, HWND window) {
    if (!message.hwnd || GetAncestor(message.hwnd, GA_ROOT) != window) return false;
    switch (message.message) {
        case WM_NCLBUTTONDOWN:
            return message.wParam == HTCLOSE;
        case WM_NCLBUTTONDBLCLK:
            return message.wParam == HTSYSMENU;
        case WM_SYSKEYDOWN:
            return message.wParam == VK_F4 && (HIWORD(message.lParam) & KF_ALTDOWN) != 0;
        default:
            return false;
    }
}

// Picture1 is a STATIC, which would answer its bar's colour request with the system's colours:
// it hands the request on to the main window, which owns the design's colours.
LRESULT CALLBACK gaugeFrameProc(HWND frame, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR,
                                DWORD_PTR) {
    if (message == WM_CTLCOLORSTATIC)
        return SendMessageW(GetParent(frame), message, wParam, lParam);
    return DefSubclassProc(frame, message, wParam, lParam);
}

void registerWindowClass(WNDPROC windowProc) {
    static const bool registered = [windowProc] {
        const HINSTANCE instance = GetModuleHandleW(nullptr);
        WNDCLASSEXW windowClass{};
        windowClass.cbSize = sizeof windowClass;
        windowClass.lpfnWndProc = windowProc;
        windowClass.hInstance = instance;
        windowClass.hCursor = LoadCursorW(nullptr, IDC_ARROW);
        windowClass.hIcon = static_cast<HICON>(LoadImageW(instance, MAKEINTRESOURCEW(KELMORA_ICON),
                                                          IMAGE_ICON, GetSystemMetrics(SM_CXICON),
                                                          GetSystemMetrics(SM_CYICON), LR_SHARED));
        windowClass.hIconSm = static_cast<HICON>(
            LoadImageW(instance, MAKEINTRESOURCEW(KELMORA_ICON), IMAGE_ICON,
                       GetSystemMetrics(SM_CXSMICON), GetSystemMetrics(SM_CYSMICON), LR_SHARED));
        windowClass.lpszClassName = kWindowClass;
        return RegisterClassExW(&windowClass) != 0;
    }();
    (void)registered;
}

}  // namespace

MainFrm::MainFrm(platform::Services services, NativeString root)
    : services_(std::move(services)),
      scan_(state_, *this, *services_.fileSystem, std::move(root),
            [this] { handlePendingMessages(); }),
      dpi_(systemDpi()),
      green_(CreateSolidBrush(designColour(kWindowGreen))),
      yellow_(CreateSolidBrush(designColour(kGaugeYellow))),
      blue_(CreateSolidBrush(designColour(kGaugeBarBlue))) {
    registerWindowClass(&MainFrm::windowProc);
    RECT frame{0, 0, twipsToPixelsAt(kClientWidthTwips, dpi_),
               twipsToPixelsAt(kClientHeightTwips, dpi_)};
    AdjustWindowRectEx(&frame, kFrameStyle, FALSE, 0);
    hwnd_ = CreateWindowExW(0, kWindowClass, widen(kApplicationTitle).c_str(), kFrameStyle,
                            CW_USEDEFAULT, CW_USEDEFAULT, frame.right - frame.left,
                            frame.bottom - frame.top, nullptr, nullptr, GetModuleHandleW(nullptr),
                            this);
    // The class has no background brush: the window paints its green itself (WM_ERASEBKGND).
    buildControls();

    // Start-up: idle, the mask table, then the language switch once from Czech, so every run
    // begins in English.
    state_.Idle = 1;
    state_.Masks = nativeMaskTable();
    state_.Lang = kCzech;
    cmdLangClick();
}

MainFrm::~MainFrm() {
    if (IsWindow(hwnd_)) {
        SetWindowLongPtrW(hwnd_, GWLP_USERDATA, 0);
        DestroyWindow(hwnd_);
    }
}

void MainFrm::buildControls() {
    font_ = createDesignFont(kFontPoints, FontWeight::Regular, dpi_);
    boldFont_ = createDesignFont(kFontPoints, FontWeight::Bold, dpi_);
    boldOverstrike_ = boldOverstrike(boldFont_.get(), font_.get(), dpi_);

    // What each control is, by name; created in the designed tab order, which the dialog
    // manager's Tab key follows (labels and hidden controls never take the focus).
    struct Kind {
        std::string_view name;
        const wchar_t* windowClass;
        const wchar_t* designCaption;
        DWORD style;
        DWORD exStyle;
        bool bold;
    };
    constexpr DWORD label = WS_VISIBLE | SS_LEFTNOWORDWRAP | SS_NOPREFIX;
    // The window draws the bold captions itself (drawBoldLabel); their text is their window text.
    constexpr DWORD boldLabel = WS_VISIBLE | SS_OWNERDRAW;
    constexpr DWORD button = WS_VISIBLE | kPictureButtonStyle;
    const std::array<Kind, 18> kinds = {{
        {"cmdScan", WC_BUTTONW, L"Skenovat", button, 0, false},
        {"lstList", WC_LISTBOXW, L"",
         WS_VISIBLE | WS_TABSTOP | WS_VSCROLL | LBS_MULTIPLESEL | LBS_NOTIFY | LBS_NOINTEGRALHEIGHT,
         WS_EX_CLIENTEDGE, false},
        {"lblWD", WC_STATICW, L"", label | SS_PATHELLIPSIS, 0, false},
        {"Label1", WC_STATICW, L"Lze uvolnit:", boldLabel, 0, true},
        {"lblFreed", WC_STATICW, L"0 KB", label, 0, false},
        {"Label3", WC_STATICW, L"Název souboru:", boldLabel, 0, true},
        {"cmdCA", WC_BUTTONW, L"Vybrat vše", button, 0, false},
        {"Picture1", WC_STATICW, L"", WS_VISIBLE | SS_LEFT, WS_EX_CLIENTEDGE, false},
        {"lblWill", WC_STATICW, L"0 KB", label, 0, false},
        {"Label4", WC_STATICW, L"Uvolníte:", boldLabel, 0, true},
        {"Label2", WC_STATICW, L"Využití zásobníku", label, 0, false},
        {"cmdDeselect", WC_BUTTONW, L"Nevybrat nic", button, 0, false},
        {"cmdErase1", WC_BUTTONW, L"Smazat", button, 0, false},
        {"cmdErase2", WC_BUTTONW, L"Do Koše", button, 0, false},
        {"cmdLang", WC_BUTTONW, L"English", button, 0, false},
        {"Command1", WC_BUTTONW, L"Nápověda", button, 0, false},
        {"imgGo", WC_STATICW, L"", SS_ICON, 0, false},
        {"imgStop", WC_STATICW, L"", SS_ICON, 0, false},
    }};
    for (const Kind& kind : kinds) {
        const HWND created = createControl(kMainLayout, kind.name, hwnd_, dpi_, kind.windowClass,
                                           kind.designCaption, kind.style, kind.exStyle);
        SendMessageW(created, WM_SETFONT,
                     reinterpret_cast<WPARAM>(kind.bold ? boldFont_.get() : font_.get()), FALSE);
    }
    cmdScan_ = control("cmdScan");
    lstList_ = control("lstList");
    lblFreed_ = control("lblFreed");
    lblWill_ = control("lblWill");
    lblWD_ = control("lblWD");
    Picture1_ = control("Picture1");
    imgGo_ = control("imgGo");
    imgStop_ = control("imgStop");

    // The gauge: the bar is a child of the frame, so the frame clips it at its inner edges. It is
    // hidden until a scan makes it wide enough to be drawn (gaugeBarShown).
    SetWindowSubclass(Picture1_, gaugeFrameProc, 0, 0);
    sLevel_ =
        createControl(kMainLayout, "sLevel", Picture1_, dpi_, WC_STATICW, L"", WS_BORDER | SS_LEFT);

    // Whole rows of the window font, 18 of them inside the list's sunken border at 96 dpi.
    SendMessageW(lstList_, LB_SETITEMHEIGHT, 0, MulDiv(kListRowPixels, dpi_, 96));
    rows_ = std::make_unique<PacedList>(lstList_);
    rowTip_ = std::make_unique<RowTip>(lstList_);
    // The list's own window procedure goes first; the list box's runs inside it. Not the common
    // controls' subclassing: under Wine it costs a round trip to the server for every message,
    // a tenth of a millisecond, which adding 10,000 rows would pay 10,000 times.
    SetWindowLongPtrW(lstList_, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
    listBoxProc_ = reinterpret_cast<WNDPROC>(SetWindowLongPtrW(
        lstList_, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&MainFrm::resultListProc)));

    // The pictures: the scan button always takes the one it shows from the two hidden holders.
    const std::array<std::pair<std::string_view, int>, 6> pictures = {{
        {"imgGo", KELMORA_PICTURE_START},
        {"imgStop", KELMORA_PICTURE_STOP},
        {"cmdCA", KELMORA_PICTURE_TICK},
        {"cmdDeselect", KELMORA_PICTURE_CROSS},
        {"cmdErase1", KELMORA_PICTURE_PROHIBITION},
        {"cmdErase2", KELMORA_PICTURE_SHEET},
    }};
    // At the size the buttons have room for beside their captions (smaller at 96 dpi).
    const int room = pictureRoom(cmdScan_);
    for (std::size_t i = 0; i < pictures.size(); ++i) {
        pictures_[i] = loadPictureIcon(pictures[i].second, room);
        const HWND target = control(pictures[i].first);
        const auto icon = reinterpret_cast<LPARAM>(pictures_[i].get());
        if (target == imgGo_ || target == imgStop_)
            SendMessageW(target, STM_SETICON, static_cast<WPARAM>(icon), 0);
        else
            SendMessageW(target, BM_SETIMAGE, IMAGE_ICON, icon);
    }
    setScanPicture(ScanPicture::Go);
    focus_ = cmdScan_;
}

void MainFrm::show(int showCommand) {
    ShowWindow(hwnd_, showCommand);
    UpdateWindow(hwnd_);
    SetFocus(cmdScan_);
}

HWND MainFrm::control(std::string_view name) const { return GetDlgItem(hwnd_, id(name)); }

LRESULT CALLBACK MainFrm::windowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_NCCREATE) {
        // The first message: from here on the window's messages go to its MainFrm.
        auto* created =
            static_cast<MainFrm*>(reinterpret_cast<CREATESTRUCTW*>(lParam)->lpCreateParams);
        created->hwnd_ = window;
        SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(created));
    }
    auto* self = reinterpret_cast<MainFrm*>(GetWindowLongPtrW(window, GWLP_USERDATA));
    if (!self) return DefWindowProcW(window, message, wParam, lParam);
    return self->handle(message, wParam, lParam);
}

LRESULT CALLBACK MainFrm::resultListProc(HWND list, UINT message, WPARAM wParam, LPARAM lParam) {
    auto& self = *reinterpret_cast<MainFrm*>(GetWindowLongPtrW(list, GWLP_USERDATA));
    self.rowTip_->listMessage(message, wParam, lParam);
    const LRESULT result = CallWindowProcW(self.listBoxProc_, list, message, wParam, lParam);
    // Space toggles the list's current row as a click does, but Wine's list box announces only
    // the caret's moves, not that toggle, which would leave the selected total one toggle behind.
    // The list announces it itself here, after the toggle; where the system announces it too, the
    // total is just worked out twice.
    if (message == WM_KEYDOWN && wParam == VK_SPACE)
        SendMessageW(GetParent(list), WM_COMMAND, MAKEWPARAM(GetDlgCtrlID(list), LBN_SELCHANGE),
                     reinterpret_cast<LPARAM>(list));
    return result;
}

LRESULT MainFrm::handle(UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        case WM_COMMAND:
            // During a removal no other handler runs: a click that still reaches a control (sent
            // to it, not typed or clicked) changes nothing.
            if (!removing_) command(LOWORD(wParam), HIWORD(wParam));
            return 0;
        case WM_DRAWITEM: {
            const auto& item = *reinterpret_cast<const DRAWITEMSTRUCT*>(lParam);
            if (item.CtlType == ODT_BUTTON) {
                drawPictureButton(item, green_.get());
                return TRUE;
            }
            if (item.CtlType == ODT_STATIC) {
                drawBoldLabel(item);
                return TRUE;
            }
            break;
        }
        case WM_SETCURSOR:
            if (!removing_) break;
            SetCursor(busyCursor_);
            return TRUE;
        case WM_CTLCOLORSTATIC:
            return reinterpret_cast<LRESULT>(
                controlColour(reinterpret_cast<HDC>(wParam), reinterpret_cast<HWND>(lParam)));
        case WM_ERASEBKGND: {
            RECT client;
            GetClientRect(hwnd_, &client);
            FillRect(reinterpret_cast<HDC>(wParam), &client, green_.get());
            return TRUE;
        }
        case WM_ACTIVATE:
            // A plain window forgets which control had the focus when it is deactivated (the About
            // box, another program); give it back on return.
            if (LOWORD(wParam) == WA_INACTIVE) {
                if (const HWND had = GetFocus(); had && IsChild(hwnd_, had)) focus_ = had;
            } else if (focus_ && IsWindow(focus_)) {
                SetFocus(focus_);
            }
            return 0;
        case WM_CLOSE:
            if (removing_)
                closeAsked_ = true;  // carried out once the removal has ended
            else
                close();
            return 0;
        default:
            break;
    }
    return DefWindowProcW(hwnd_, message, wParam, lParam);
}

void MainFrm::command(int control, int code) {
    if (control == id("lstList")) {
        // A click or Space on a row toggles it alone and makes it the current row.
        if (code == LBN_SELCHANGE) listClick(state_, *this);
        return;
    }
    if (code != BN_CLICKED) return;
    if (control == id("cmdScan")) {
        scan_.click();
    } else if (control == id("cmdCA")) {
        selectAll(state_, *this);
    } else if (control == id("cmdDeselect")) {
        deselectAll(state_, *this);
    } else if (control == id("cmdErase1")) {
        // No message for a file that stays: its row stays, still selected, and shows it.
        removeSelectedRows(&eraseSelected);
    } else if (control == id("cmdErase2")) {
        removeSelectedRows(&moveSelectedToBin);
    } else if (control == id("cmdLang")) {
        cmdLangClick();
    } else if (control == id("Command1")) {
        Command1Click();
    }
}

HBRUSH MainFrm::controlColour(HDC dc, HWND from) {
    if (from == Picture1_) {
        SetBkColor(dc, designColour(kGaugeYellow));
        return yellow_.get();
    }
    if (from == sLevel_) {
        SetBkColor(dc, designColour(kGaugeBarBlue));
        return blue_.get();
    }
    // Labels: the system's text colour on the window's green (Label2's own background is
    // transparent; over the green window that looks the same).
    SetTextColor(dc, GetSysColor(COLOR_WINDOWTEXT));
    SetBkColor(dc, designColour(kWindowGreen));
    return green_.get();
}

// The scan's pause once per folder: shows a frame when one is due, then handles every message
// waiting in this thread's queue and returns. Clicks, repaints and a close of the window run here,
// nested in the scan handler. A WM_QUIT (the window was closed) ends the walk and goes back into
// the queue for the program's own loop, which then ends.
void MainFrm::handlePendingMessages() {
    if (pacing_.frameDue(Clock::now())) showFrame();
    MSG message;
    while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
        if (message.message == WM_QUIT) {
            if (state_.Idle == 0) scan_.stop();
            PostQuitMessage(static_cast<int>(message.wParam));
            return;
        }
        if (IsWindow(hwnd_) && IsDialogMessageW(hwnd_, &message)) continue;
        TranslateMessage(&message);
        DispatchMessageW(&message);
    }
}

void MainFrm::removeSelectedRows(Removal removal) {
    removing_ = true;
    SetCursor(busyCursor_);
    removal(state_, *this, services_.remover.get());
    removing_ = false;
    showPending();
    // Input that came during the removal but was not handled yet goes too, so that nothing done
    // meanwhile is replayed against the shortened list.
    discardUserInput();
    POINT at{};
    if (GetCursorPos(&at) && WindowFromPoint(at) &&
        GetAncestor(WindowFromPoint(at), GA_ROOT) == hwnd_)
        SetCursor(LoadCursorW(nullptr, IDC_ARROW));
    if (closeAsked_) {
        closeAsked_ = false;
        close();
    }
    if (quitAsked_) PostQuitMessage(static_cast<int>(*std::exchange(quitAsked_, std::nullopt)));
}

void MainFrm::showProgress() {
    // Only a removal pauses here, and only while it keeps user input away from the handlers.
    if (!removing_) return;
    const bool frame = pacing_.frameDue(Clock::now());
    if (frame) showFrame();
    // Frames may come far apart (nine times what the last one cost, which grows with the list),
    // but the system's messages are not kept waiting for them.
    if (frame || Clock::now() - answered_ >= kAnswerPeriod) {
        handleMessagesWhileBusy();
        answered_ = Clock::now();
    }
}

void MainFrm::handleMessagesWhileBusy() {
    MSG message;
    while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
        if (message.message == WM_QUIT) {
            quitAsked_ = message.wParam;  // posted again once the removal has ended
            continue;
        }
        if (isUserInput(message.message)) {
            if (isCloseGesture(message, hwnd_)) closeAsked_ = true;
            continue;
        }
        DispatchMessageW(&message);
    }
}

void MainFrm::discardUserInput() {
    MSG message;
    while (PeekMessageW(&message, nullptr, WM_KEYFIRST, WM_KEYLAST, PM_REMOVE) ||
           PeekMessageW(&message, nullptr, WM_MOUSEFIRST, WM_MOUSELAST, PM_REMOVE) ||
           PeekMessageW(&message, nullptr, WM_NCMOUSEMOVE, WM_NCXBUTTONDBLCLK, PM_REMOVE)) {
        if (isCloseGesture(message, hwnd_)) closeAsked_ = true;
    }
}

void MainFrm::showFrame() {
    const Clock::time_point start = Clock::now();
    const ListInView list = listInView();
    const Frame frame = pacing_.beginFrame(start, list);
    // A removal walks from the last row up and its rows leave where it is: the list keeps that
    // place in view, so that the rows in view move as they go, even where the walk began far
    // below the page the list showed.
    const std::optional<std::size_t> walkAt =
        removing_ && frame.rows ? list.firstChangedRow : std::nullopt;
    showChanges(frame);
    if (walkAt) keepRowInView(*walkAt);
    // Painted here, so that the frame's cost counts it.
    RedrawWindow(hwnd_, nullptr, nullptr, RDW_UPDATENOW | RDW_ALLCHILDREN);
    pacing_.frameShown(Clock::now());
}

void MainFrm::showPending() { showChanges(pacing_.finish()); }

ListInView MainFrm::listInView() const {
    RECT inside{};
    GetClientRect(lstList_, &inside);
    return {static_cast<std::size_t>(SendMessageW(lstList_, LB_GETTOPINDEX, 0, 0)),
            static_cast<int>(inside.bottom - inside.top),
            static_cast<int>(SendMessageW(lstList_, LB_GETITEMHEIGHT, 0, 0)),
            rows_->firstChangedRow()};
}

void MainFrm::keepRowInView(std::size_t row) {
    const ListInView list = listInView();
    const std::size_t page = std::max<std::size_t>(list.rowsPerPage(), 1);
    if (row >= list.topRow && row < list.topRow + page) return;
    // The place comes in at the bottom of the page, with the rows still to be visited above it
    // (past the last row, the list shows its last page).
    SendMessageW(lstList_, LB_SETTOPINDEX, row + 1 > page ? row + 1 - page : 0, 0);
}

void MainFrm::showChanges(const Frame& frame) {
    if (frame.rows) rows_->showPending();
    const PendingDisplay& values = frame.values;
    if (values.freedUtf8) SetWindowTextW(lblFreed_, widen(*values.freedUtf8).c_str());
    if (values.willUtf8) SetWindowTextW(lblWill_, widen(*values.willUtf8).c_str());
    if (values.pathLine) SetWindowTextW(lblWD_, values.pathLine->c_str());
    if (values.gaugeTwips) showGauge(*values.gaugeTwips);
}

void MainFrm::showNowUnlessPaced() {
    if (!paced()) showPending();
}

void MainFrm::drawBoldLabel(const DRAWITEMSTRUCT& item) {
    const HDC dc = item.hDC;
    FillRect(dc, &item.rcItem, green_.get());
    const HGDIOBJ previous = SelectObject(dc, boldFont_.get());
    SetBkMode(dc, TRANSPARENT);
    SetTextColor(dc,
                 GetSysColor((item.itemState & ODS_DISABLED) ? COLOR_GRAYTEXT : COLOR_WINDOWTEXT));
    drawOverstruckText(dc, windowText(item.hwndItem), item.rcItem,
                       DT_LEFT | DT_TOP | DT_SINGLELINE | DT_NOPREFIX, boldOverstrike_);
    SelectObject(dc, previous);
}

void MainFrm::cmdLangClick() { switchLanguage(state_.Lang, state_.Idle, *this); }

// A fresh About box for every opening; the main window takes no input while it is open, and a
// running scan stays paused inside this handler until it has closed.
void MainFrm::Command1Click() {
    frmAbout about(state_.Lang, services_.registry.get(), services_.starter.get());
    about.showModal(hwnd_);
}

// Closing the window ends the program at once, also in the middle of a scan: the walk is
// dropped, the window goes and the program's message loop is told to end, so nothing runs on
// once the scan handler unwinds.
void MainFrm::close() {
    if (state_.Idle == 0) scan_.stop();
    DestroyWindow(hwnd_);
    PostQuitMessage(0);
}

void MainFrm::setCaption(Control control, std::string_view utf8) {
    showNowUnlessPaced();
    const HWND target = this->control(controlName(control));
    SetWindowTextW(target, widen(utf8).c_str());
    InvalidateRect(target, nullptr, TRUE);
}

void MainFrm::setScanPicture(ScanPicture picture) {
    showNowUnlessPaced();
    // The button's picture always comes from one of the two hidden holders.
    const HWND holder = picture == ScanPicture::Go ? imgGo_ : imgStop_;
    SendMessageW(cmdScan_, BM_SETIMAGE, IMAGE_ICON, SendMessageW(holder, STM_GETICON, 0, 0));
    InvalidateRect(cmdScan_, nullptr, TRUE);
}

void MainFrm::setListControlsEnabled(bool enabled) {
    // Back to idle, the list is whole before it takes clicks again.
    showNowUnlessPaced();
    for (std::string_view name : {"lstList", "cmdCA", "cmdDeselect", "cmdErase1", "cmdErase2"})
        EnableWindow(control(name), enabled ? TRUE : FALSE);
}

void MainFrm::setFreedText(std::string_view utf8) {
    pacing_.pending().freedUtf8 = std::string(utf8);
    showNowUnlessPaced();
}

void MainFrm::setWillText(std::string_view utf8) {
    pacing_.pending().willUtf8 = std::string(utf8);
    showNowUnlessPaced();
}

void MainFrm::setPathLine(const NativeString& path) {
    pacing_.pending().pathLine = endsOfPath(path);
    showNowUnlessPaced();
}

void MainFrm::clearRows() { rows_->clear(); }

void MainFrm::appendRow(const ResultList& results) {
    // The list box keeps each row's text itself: the path is built once, for it.
    rows_->append(results.pathOf(results.size() - 1));
    showNowUnlessPaced();
}

void MainFrm::removeRow(std::size_t row) {
    rows_->removeRow(row);
    showNowUnlessPaced();
}

// The rows reported count every change made so far, shown or not: the list takes its waiting
// rows first.
std::vector<std::size_t> MainFrm::selectedRows() const {
    rows_->showPending();
    const LRESULT count = SendMessageW(lstList_, LB_GETSELCOUNT, 0, 0);
    if (count <= 0) return {};
    std::vector<int> rows(static_cast<std::size_t>(count));
    const LRESULT got = SendMessageW(lstList_, LB_GETSELITEMS, static_cast<WPARAM>(count),
                                     reinterpret_cast<LPARAM>(rows.data()));
    rows.resize(static_cast<std::size_t>(std::max<LRESULT>(got, 0)));
    std::sort(rows.begin(), rows.end());
    return {rows.begin(), rows.end()};
}

void MainFrm::setAllRowsSelected(bool selected) {
    rows_->showPending();
    // Row -1: every row at once, without a selection notification.
    SendMessageW(lstList_, LB_SETSEL, selected ? TRUE : FALSE, -1);
}

std::optional<std::size_t> MainFrm::currentRow() const {
    rows_->showPending();
    if (SendMessageW(lstList_, LB_GETCOUNT, 0, 0) <= 0) return std::nullopt;
    const LRESULT row = SendMessageW(lstList_, LB_GETCARETINDEX, 0, 0);
    if (row < 0) return std::nullopt;
    return static_cast<std::size_t>(row);
}

void MainFrm::setGaugeWidth(int twips) {
    pacing_.pending().gaugeTwips = twips;
    showNowUnlessPaced();
}

void MainFrm::showGauge(int twips) {
    RECT bar;
    GetWindowRect(sLevel_, &bar);
    SetWindowPos(sLevel_, nullptr, 0, 0, twipsToPixelsAt(std::max(twips, 0), dpi_),
                 bar.bottom - bar.top,
                 SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE |
                     (gaugeBarShown(twips) ? SWP_SHOWWINDOW : SWP_HIDEWINDOW));
}

}  // namespace kelmora::win32ui
