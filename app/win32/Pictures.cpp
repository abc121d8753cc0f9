// SPDX-License-Identifier: MIT
#include "app/win32/Pictures.h"

#include <objidl.h>
#include <shlwapi.h>

// GDI+'s headers use min and max, which NOMINMAX hides.
#include <algorithm>
namespace Gdiplus {
using std::max;
using std::min;
}  // namespace Gdiplus
#include <gdiplus.h>

#include <memory>

namespace kelmora::win32ui {
namespace {

// GDI+ is started on first use and kept for the life of the process.
bool startGdiplus() {
    static const bool started = [] {
        ULONG_PTR token = 0;
        const Gdiplus::GdiplusStartupInput input;
        return Gdiplus::GdiplusStartup(&token, &input, nullptr) == Gdiplus::Ok;
    }();
    return started;
}

struct StreamRelease {
    void operator()(IStream* stream) const { stream->Release(); }
};

// The picture `resourceId` decoded, or null.
std::unique_ptr<Gdiplus::Bitmap> decode(int resourceId) {
    if (!startGdiplus()) return nullptr;
    const HMODULE module = GetModuleHandleW(nullptr);
    const HRSRC found = FindResourceW(module, MAKEINTRESOURCEW(resourceId), RT_RCDATA);
    const HGLOBAL loaded = found ? LoadResource(module, found) : nullptr;
    const void* bytes = loaded ? LockResource(loaded) : nullptr;
    if (!bytes) return nullptr;
    // The stream holds its own copy of the bytes, which GDI+ may read again while drawing.
    const std::unique_ptr<IStream, StreamRelease> stream(
        SHCreateMemStream(static_cast<const BYTE*>(bytes), SizeofResource(module, found)));
    if (!stream) return nullptr;
    auto bitmap = std::make_unique<Gdiplus::Bitmap>(stream.get());
    if (bitmap->GetLastStatus() != Gdiplus::Ok) return nullptr;
    return bitmap;
}

}  // namespace

IconHandle loadPictureIcon(int resourceId, int largest) {
    auto bitmap = decode(resourceId);
    if (!bitmap) return {};
    const int width = static_cast<int>(bitmap->GetWidth()),
              height = static_cast<int>(bitmap->GetHeight());
    const int longest = std::max(width, height);
    if (largest > 0 && longest > largest) {
        // Scaled with its transparency, so that it stays transparent where it was.
        auto scaled = std::make_unique<Gdiplus::Bitmap>(std::max(1, width * largest / longest),
                                                        std::max(1, height * largest / longest),
                                                        PixelFormat32bppARGB);
        {
            Gdiplus::Graphics graphics(scaled.get());
            graphics.SetInterpolationMode(Gdiplus::InterpolationModeHighQualityBicubic);
            graphics.SetPixelOffsetMode(Gdiplus::PixelOffsetModeHalf);
            graphics.DrawImage(bitmap.get(), 0, 0, static_cast<INT>(scaled->GetWidth()),
                               static_cast<INT>(scaled->GetHeight()));
        }
        bitmap = std::move(scaled);
    }
    HICON icon = nullptr;
    if (bitmap->GetHICON(&icon) != Gdiplus::Ok) icon = nullptr;
    return IconHandle(icon);
}

GdiHandle<HBITMAP> loadScaledPicture(int resourceId, int width, int height, COLORREF background) {
    const auto picture = decode(resourceId);
    if (!picture || width <= 0 || height <= 0) return {};
    Gdiplus::Bitmap scaled(width, height, PixelFormat32bppARGB);
    {
        Gdiplus::Graphics graphics(&scaled);
        graphics.Clear(
            Gdiplus::Color(GetRValue(background), GetGValue(background), GetBValue(background)));
        graphics.SetInterpolationMode(Gdiplus::InterpolationModeHighQualityBicubic);
        graphics.DrawImage(picture.get(), 0, 0, width, height);
    }
    HBITMAP bitmap = nullptr;
    if (scaled.GetHBITMAP(
            Gdiplus::Color(GetRValue(background), GetGValue(background), GetBValue(background)),
            &bitmap) != Gdiplus::Ok)
        bitmap = nullptr;
    return GdiHandle<HBITMAP>(bitmap);
}

}  // namespace kelmora::win32ui
