#pragma once

#include <cstdint>

// Converts a packed I420 picture (Y, then U, then V) of an even size to 0xFFRRGGBB pixels,
// BT.601 limited range, in integers.
void i420ToArgb(const uint8_t *src, uint32_t *dst, int width, int height);
