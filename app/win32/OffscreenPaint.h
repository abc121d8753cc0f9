#pragma once

#include <windows.h>

#include <cstdint>
#include <functional>
#include <vector>

namespace kelmora::win32ui {

// Paints `draw` on a white memory image of `width` by `height` pixels and returns the image, one
// 0x00RRGGBB value per pixel, row by row from the top; empty when the image could not be made.
std::vector<std::uint32_t> paintOffscreen(int width, int height,
                                          const std::function<void(HDC)>& draw);

// How dark an image is: the sum over its pixels of how far each is from white.
std::uint64_t inkOf(const std::vector<std::uint32_t>& pixels);

}  // namespace kelmora::win32ui
