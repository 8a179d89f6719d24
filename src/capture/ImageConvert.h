#pragma once
// Stateless helpers that turn raw 8-bit grey sensor images into bitmaps the toolkit can
// show, and bytes into the template text encoding.
//
// Raw grey image: width x height bytes, one byte per pixel (0 black .. 255 white), rows
// one after another without padding, row 0 first.
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#ifdef _WIN32
#include <windows.h>

#include "base/win/Handles.h"
#endif

namespace mivex {

// Size of the two bitmap headers and the 256-entry palette in front of the pixel rows.
constexpr std::uint32_t kBitmapPixelOffset = 1078;

// Reverses the order of `rowCount` rows of `rowLength` bytes in place.
void FlipRows(std::uint8_t* buffer, std::size_t rowLength, std::size_t rowCount);

// Bytes per stored bitmap row: the width rounded up to a multiple of 4.
std::uint32_t BitmapStride(std::int32_t width);

// round(dpi / 2.54 * 100): a screen at 96 dpi gives 3780.
std::int32_t PixelsPerMetre(int dpi);

// The screen's vertical logical pixels per inch (96 where there is no screen to ask).
int ScreenLogicalDpi();

// An 8-bit grey bitmap file image in memory (BITMAPFILEHEADER, BITMAPINFOHEADER, the grey
// palette, the rows padded to the stride). With `topDown` false the source's last row is
// written first, so that the bitmap shows row 0 at the top; with `topDown` true the rows
// are written in their own order. Empty for a non-positive size or a null source.
std::vector<std::uint8_t> RawToBitmapStream(std::int32_t width, std::int32_t height,
                                            const std::uint8_t* pixels, bool topDown, int dpi);
// The same at the screen's logical dpi.
std::vector<std::uint8_t> RawToBitmapStream(std::int32_t width, std::int32_t height,
                                            const std::uint8_t* pixels, bool topDown);

// An 8-bit grey picture: width x height pixels held top-down (row 0 is the top row).
// On Windows it also hands out a GDI bitmap made from its bitmap file image, built on
// first use and kept with the picture.
class TBitmap {
 public:
  TBitmap() = default;
  // A black picture of the given size (an empty one for non-positive sizes).
  TBitmap(std::int32_t width, std::int32_t height);
  TBitmap(const TBitmap& other);
  TBitmap& operator=(const TBitmap& other);
  ~TBitmap();

  std::int32_t Width() const { return width_; }
  std::int32_t Height() const { return height_; }
  bool Empty() const { return width_ <= 0 || height_ <= 0; }
  // Row y (0 = top) of Width() bytes; null outside 0..Height()-1.
  const std::uint8_t* ScanLine(std::int32_t y) const;
  std::uint8_t* ScanLine(std::int32_t y);
  const std::vector<std::uint8_t>& Pixels() const { return pixels_; }

  // Reads an uncompressed 8-bit palette bitmap file image (bottom-up or top-down); each
  // pixel becomes the grey level of its palette entry. False, leaving the picture
  // unchanged, when the image is malformed or of another kind.
  bool LoadFromStream(const std::uint8_t* data, std::size_t size);

#ifdef _WIN32
  // The GDI bitmap of this picture; null when the picture is empty or GDI refuses it.
  HBITMAP Handle() const;
  // Draws the picture at (x, y) in its own size, or stretched over `rect`.
  bool Draw(HDC dc, int x, int y) const;
  bool StretchDraw(HDC dc, const RECT& rect) const;
#endif

 private:
  void Assign(std::int32_t width, std::int32_t height, std::vector<std::uint8_t> pixels);

  std::int32_t width_ = 0;
  std::int32_t height_ = 0;
  std::vector<std::uint8_t> pixels_;
#ifdef _WIN32
  mutable win::ScopedBitmap handle_;
#endif
};

// A new picture loaded from RawToBitmapStream of the image; none when loading fails.
std::unique_ptr<TBitmap> RawToBitmap(std::int32_t width, std::int32_t height,
                                     const std::uint8_t* pixels, bool topDown);

#ifdef _WIN32
// Draws the raw image on `dc`: stretched over the DC's current clip box when `stretch`,
// otherwise at (0, 0) in its own size. A null DC or a bitmap that cannot be made draws
// nothing.
void DrawRaw(HDC dc, const std::uint8_t* pixels, std::int32_t width, std::int32_t height,
             bool stretch, bool topDown);
#endif

// Appends the template text encoding of `size` bytes to `out`: standard Base64 with "="
// padding and CR LF after every 76th character, the count running over the whole text.
// The source is read in blocks of 510 bytes; an empty source appends nothing.
void EncodeBase64(const std::uint8_t* data, std::size_t size, std::string& out);
// The template text encoding of `size` bytes as a new text.
std::string EncodeBase64(const std::uint8_t* data, std::size_t size);
// Characters (line breaks included) that EncodeBase64 writes for `size` bytes.
std::size_t EncodedBase64Length(std::size_t size);

}  // namespace mivex
