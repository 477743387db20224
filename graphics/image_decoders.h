#pragma once
// Decoders of the image formats the factory knows.  Each returns a new bitmap owned by the caller,
// or null when the data cannot be decoded; a failed decode releases everything it allocated.
#include "graphics/bitmap.h"
#include "graphics/read_stream.h"

// The factory's default key colour: (239, 205, 171) as (red, green, blue).
inline constexpr TColor kDefaultKeyColor = 0xABCDEF;
// Key colour value that selects the alpha-keeping 32-bit variant.
inline constexpr TColor kKeepAlpha = -1;

// Decoders refuse pictures of more pixels than this (at most kMaxBitmapPixels, the default).
// Programs that decode untrusted data in bulk may lower it.
void SetDecodedPixelLimit(std::int64_t pixels);
std::int64_t DecodedPixelLimit();

// PNG of any colour type and depth, decoded to 8-bit RGBA first.  With a key colour the result
// has 24 bits per pixel and fully transparent pixels take the key colour (other pixels keep their
// colour, unblended); with kKeepAlpha it has 32 bits per pixel with the alpha values unchanged.
Bitmap* LoadPNGfromStream(ReadStream& stream, TColor keyColor);

// Baseline or progressive JPEG (colour or grey) to a 24-bit bitmap.  Damaged data (a truncated
// stream included) gives null rather than a partly grey picture.
Bitmap* LoadJPGfromStream(ReadStream& stream);

// Uncompressed BMP file (1, 4, 8, 24 or 32 bits per pixel, bottom-up or top-down) to a 24-bit
// bitmap; the platform's loader for "bitmap:" resources and ".bmp" files.
Bitmap* LoadBMPfromStream(ReadStream& stream);
