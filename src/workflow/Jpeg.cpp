#include "workflow/Jpeg.h"

#include <csetjmp>
#include <cstdio>
#include <cstring>

#include <jpeglib.h>
#include <jerror.h>

namespace mivex {
namespace {

// libjpeg reports failures through error_exit, which must not return: jump back to the
// caller instead of letting the library end the process.
struct ErrorManager {
  jpeg_error_mgr base;
  std::jmp_buf resume;
};

[[noreturn]] void OnJpegError(j_common_ptr info) {
  std::longjmp(reinterpret_cast<ErrorManager*>(info->err)->resume, 1);
}

void OnJpegMessage(j_common_ptr) {}  // warnings are not shown anywhere

// Destination manager that appends the compressed bytes to a vector, one block at a time.
struct VectorDestination {
  jpeg_destination_mgr pub;
  std::vector<std::uint8_t>* out;
  JOCTET block[4096];
};

// Appends `n` bytes of the block; false when memory runs out.
bool Flush(VectorDestination* dest, std::size_t n) {
  try {
    dest->out->insert(dest->out->end(), dest->block, dest->block + n);
    return true;
  } catch (...) {
    return false;
  }
}

void InitDestination(j_compress_ptr info) {
  auto* dest = reinterpret_cast<VectorDestination*>(info->dest);
  dest->pub.next_output_byte = dest->block;
  dest->pub.free_in_buffer = sizeof dest->block;
}

boolean EmptyOutputBuffer(j_compress_ptr info) {
  auto* dest = reinterpret_cast<VectorDestination*>(info->dest);
  // The error exit jumps away: it must not be taken from inside a catch handler.
  if (!Flush(dest, sizeof dest->block)) ERREXIT1(info, JERR_OUT_OF_MEMORY, 0);
  dest->pub.next_output_byte = dest->block;
  dest->pub.free_in_buffer = sizeof dest->block;
  return TRUE;
}

void TermDestination(j_compress_ptr info) {
  auto* dest = reinterpret_cast<VectorDestination*>(info->dest);
  if (!Flush(dest, sizeof dest->block - dest->pub.free_in_buffer)) ERREXIT1(info, JERR_OUT_OF_MEMORY, 0);
}

// The functions that set a longjmp target hold only trivially destructible locals.
bool Compress(const std::uint8_t* pixels, JDIMENSION width, JDIMENSION height, int quality,
              VectorDestination* dest) {
  jpeg_compress_struct info;
  ErrorManager err;
  info.err = jpeg_std_error(&err.base);
  err.base.error_exit = OnJpegError;
  err.base.output_message = OnJpegMessage;
  if (setjmp(err.resume) != 0) {
    jpeg_destroy_compress(&info);
    return false;
  }
  jpeg_create_compress(&info);
  dest->pub.init_destination = InitDestination;
  dest->pub.empty_output_buffer = EmptyOutputBuffer;
  dest->pub.term_destination = TermDestination;
  info.dest = &dest->pub;
  info.image_width = width;
  info.image_height = height;
  info.input_components = 1;
  info.in_color_space = JCS_GRAYSCALE;
  jpeg_set_defaults(&info);
  jpeg_set_quality(&info, quality, TRUE);
  jpeg_start_compress(&info, TRUE);
  while (info.next_scanline < info.image_height) {
    JSAMPROW row = const_cast<JSAMPROW>(pixels + static_cast<std::size_t>(info.next_scanline) * width);
    jpeg_write_scanlines(&info, &row, 1);
  }
  jpeg_finish_compress(&info);
  jpeg_destroy_compress(&info);
  return true;
}

// Largest picture the decoder accepts; samples are a few hundred pixels a side.
constexpr JDIMENSION kMaxDecodedSide = 8192;

bool Decompress(const std::uint8_t* data, std::size_t size, TBitmap* out) {
  jpeg_decompress_struct info;
  ErrorManager err;
  info.err = jpeg_std_error(&err.base);
  err.base.error_exit = OnJpegError;
  err.base.output_message = OnJpegMessage;
  if (setjmp(err.resume) != 0) {
    jpeg_destroy_decompress(&info);
    return false;
  }
  jpeg_create_decompress(&info);
  jpeg_mem_src(&info, data, static_cast<unsigned long>(size));
  jpeg_read_header(&info, TRUE);
  info.out_color_space = JCS_GRAYSCALE;
  jpeg_start_decompress(&info);
  if (info.output_width == 0 || info.output_height == 0 || info.output_width > kMaxDecodedSide ||
      info.output_height > kMaxDecodedSide || info.output_components != 1) {
    jpeg_destroy_decompress(&info);
    return false;
  }
  *out = TBitmap(static_cast<std::int32_t>(info.output_width), static_cast<std::int32_t>(info.output_height));
  while (info.output_scanline < info.output_height) {
    JSAMPROW row = out->ScanLine(static_cast<std::int32_t>(info.output_scanline));
    jpeg_read_scanlines(&info, &row, 1);
  }
  jpeg_finish_decompress(&info);
  jpeg_destroy_decompress(&info);
  return true;
}

}  // namespace

bool CompressGrey(const TBitmap& bitmap, int quality, std::vector<std::uint8_t>& out) {
  out.clear();
  if (bitmap.Empty()) return false;
  auto dest = std::make_unique<VectorDestination>();
  dest->out = &out;
  const bool ok = Compress(bitmap.Pixels().data(), static_cast<JDIMENSION>(bitmap.Width()),
                           static_cast<JDIMENSION>(bitmap.Height()), quality, dest.get());
  if (!ok) out.clear();
  return ok && !out.empty();
}

bool DecompressGrey(const std::uint8_t* data, std::size_t size, TBitmap& out) {
  if (data == nullptr || size == 0) return false;
  TBitmap decoded;
  if (!Decompress(data, size, &decoded)) return false;
  out = std::move(decoded);
  return true;
}

std::unique_ptr<TJpegImage> TJpegImage::FromData(std::vector<std::uint8_t> data) {
  auto picture = std::make_unique<TJpegImage>();
  if (!DecompressGrey(data.data(), data.size(), picture->decoded_)) return nullptr;
  picture->data_ = std::move(data);
  return picture;
}

std::unique_ptr<TJpegImage> ToJpeg(const TBitmap& bitmap) {
  // The copy keeps the device's bitmap untouched while the codec runs.
  const TBitmap copy(bitmap);
  std::vector<std::uint8_t> data;
  if (!CompressGrey(copy, kSampleJpegQuality, data)) return nullptr;
  return TJpegImage::FromData(std::move(data));
}

}  // namespace mivex
