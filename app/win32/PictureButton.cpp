// SPDX-License-Identifier: MIT
#include "app/win32/PictureButton.h"

#include <algorithm>
#include <cstdint>
#include <string>
#include <vector>

#include "app/win32/WideText.h"

namespace kelmora::win32ui {
namespace {

// Draws `icon` greyed at `place`, as a disabled button shows its picture: the icon's shape in
// light greys, with what is drawn below showing where the icon is transparent. DrawState's
// DSS_DISABLED is no good here: Wine fills the icon's whole square with it, over the top of the
// caption at 96 dpi.
void drawGreyedIcon(HDC dc, HICON icon, RECT place) {
    const int width = place.right - place.left, height = place.bottom - place.top;
    BITMAPINFO info{};
    info.bmiHeader = {
        static_cast<DWORD>(sizeof info.bmiHeader), width, -height, 1, 32, BI_RGB, 0, 0, 0, 0, 0};
    void* bits = nullptr;
    const HDC memory = CreateCompatibleDC(dc);
    const HBITMAP image = CreateDIBSection(memory, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    if (image && bits) {
        const HGDIOBJ previous = SelectObject(memory, image);
        BitBlt(memory, 0, 0, width, height, dc, place.left, place.top, SRCCOPY);
        GdiFlush();
        auto* pixels = static_cast<std::uint32_t*>(bits);
        const std::vector<std::uint32_t> bare(pixels, pixels + width * height);
        DrawIconEx(memory, 0, 0, icon, width, height, 0, nullptr, DI_NORMAL);
        GdiFlush();
        for (std::size_t i = 0; i < bare.size(); ++i) {
            if (pixels[i] == bare[i]) continue;  // where the icon is transparent
            const std::uint32_t p = pixels[i];
            const std::uint32_t light =
                (((p >> 16) & 0xFF) * 30 + ((p >> 8) & 0xFF) * 59 + (p & 0xFF) * 11) / 100;
            const std::uint32_t grey = 0x80 + light / 2;  // between mid-grey and white
            pixels[i] = grey << 16 | grey << 8 | grey;
        }
        BitBlt(dc, place.left, place.top, width, height, memory, 0, 0, SRCCOPY);
        SelectObject(memory, previous);
    }
    if (image) DeleteObject(image);
    DeleteDC(memory);
}

// The band of a button's face that its picture is centred in: below the focus rectangle, which
// runs one pixel outside `inside`, and above the caption's line, which ends at the bottom of
// `inside`, clear of each by a quarter of the line.
struct Band {
    int top, bottom;
};
Band pictureBand(const RECT& inside, int lineHeight) {
    const int gap = (lineHeight + 2) / 4;
    return {static_cast<int>(inside.top) + gap, static_cast<int>(inside.bottom) - lineHeight - gap};
}

// The face of a button drawn in `frame` that the picture and the caption stay in: inside the
// two-pixel bevel and the focus rectangle that runs along it.
RECT insideOf(RECT frame) {
    InflateRect(&frame, -3, -3);
    return frame;
}

int lineHeightOf(HDC dc) {
    TEXTMETRICW metrics{};
    GetTextMetricsW(dc, &metrics);
    return metrics.tmHeight;
}

}  // namespace

int pictureRoom(HWND button) {
    RECT frame{};
    GetClientRect(button, &frame);
    const HDC dc = GetDC(button);
    const auto font = reinterpret_cast<HFONT>(SendMessageW(button, WM_GETFONT, 0, 0));
    const HGDIOBJ previous = font ? SelectObject(dc, font) : nullptr;
    const Band band = pictureBand(insideOf(frame), lineHeightOf(dc));
    if (previous) SelectObject(dc, previous);
    ReleaseDC(button, dc);
    return std::max(0, band.bottom - band.top);
}

void drawPictureButton(const DRAWITEMSTRUCT& item, HBRUSH face) {
    const HDC dc = item.hDC;
    const auto font = reinterpret_cast<HFONT>(SendMessageW(item.hwndItem, WM_GETFONT, 0, 0));
    const HGDIOBJ previousFont = font ? SelectObject(dc, font) : nullptr;
    RECT frame = item.rcItem;
    const bool pressed = (item.itemState & ODS_SELECTED) != 0;
    const bool disabled = (item.itemState & ODS_DISABLED) != 0;

    FillRect(dc, &frame, face);
    DrawEdge(dc, &frame, pressed ? EDGE_SUNKEN : EDGE_RAISED, BF_RECT);
    // The focus rectangle runs just inside the two-pixel bevel, and the picture and the caption
    // stay inside it, a pixel clear: the rectangle never crosses the caption.
    RECT focus = frame;
    InflateRect(&focus, -2, -2);
    RECT inside = insideOf(frame);
    if (pressed) OffsetRect(&inside, 1, 1);  // the face seems to move in when pressed

    const std::wstring caption = windowText(item.hwndItem);
    const auto picture =
        reinterpret_cast<HICON>(SendMessageW(item.hwndItem, BM_GETIMAGE, IMAGE_ICON, 0));
    RECT text = inside;
    if (picture) {
        ICONINFO info{};
        BITMAP size{};
        if (GetIconInfo(picture, &info)) {
            GetObjectW(info.hbmColor ? info.hbmColor : info.hbmMask, sizeof size, &size);
            if (info.hbmColor) DeleteObject(info.hbmColor);
            if (info.hbmMask) DeleteObject(info.hbmMask);
        }
        const int width = size.bmWidth, height = size.bmHeight;
        // The caption sits on the bottom edge; the picture is centred in the band above it. One
        // too big for the band (pictureRoom) still stays off the bevel.
        const int lineHeight = lineHeightOf(dc);
        text.top = inside.bottom - lineHeight;
        const Band band = pictureBand(inside, lineHeight);
        const int top = std::max<int>(band.top + (band.bottom - band.top - height) / 2,
                                      frame.top + 2 + (pressed ? 1 : 0));
        const int left = (inside.left + inside.right - width) / 2;
        if (disabled)
            drawGreyedIcon(dc, picture, {left, top, left + width, top + height});
        else
            DrawIconEx(dc, left, top, picture, width, height, 0, nullptr, DI_NORMAL);
    }

    SetBkMode(dc, TRANSPARENT);
    const UINT format = DT_CENTER | DT_VCENTER | DT_SINGLELINE | DT_NOPREFIX | DT_END_ELLIPSIS;
    if (disabled) {
        // The system's engraved look: a highlight copy one pixel down and right, then grey.
        RECT shadow = text;
        OffsetRect(&shadow, 1, 1);
        SetTextColor(dc, GetSysColor(COLOR_3DHILIGHT));
        DrawTextW(dc, caption.c_str(), static_cast<int>(caption.size()), &shadow, format);
        SetTextColor(dc, GetSysColor(COLOR_GRAYTEXT));
    } else {
        SetTextColor(dc, GetSysColor(COLOR_BTNTEXT));
    }
    DrawTextW(dc, caption.c_str(), static_cast<int>(caption.size()), &text, format);

    if ((item.itemState & ODS_FOCUS) && !(item.itemState & ODS_NOFOCUSRECT))
        DrawFocusRect(dc, &focus);
    if (previousFont) SelectObject(dc, previousFont);
}

}  // namespace kelmora::win32ui
