// SPDX-License-Identifier: MIT
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

// How many separate light areas the dark pixels of an image `width` pixels wide enclose, as the
// eye of an "o" is one and a "B" has two; light that reaches the image's edge is not enclosed.
int enclosedLightAreas(const std::vector<std::uint32_t>& pixels, int width);

}  // namespace kelmora::win32ui
