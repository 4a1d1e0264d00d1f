// libjpeg-turbo behind the JPEG service. Its errors arrive by longjmp, so the
// calls that can raise one stay in small functions without C++ objects.
#include "platform/jpeg_decoder.h"

#include <csetjmp>
#include <cstdio>
#include <new>

#include <jpeglib.h>  // needs FILE declared first

#include "platform/host/host_platform.h"
#include "platform/host/host_reset.h"

namespace platform {

struct JpegDecoding {
  jpeg_decompress_struct info{};
  jpeg_error_mgr errors{};
  jpeg_progress_mgr progress{};
  std::jmp_buf escape;
};

namespace {

// A hostile progressive file can ask for endless scans; real files use a few.
constexpr int kMaxScans = 500;

struct DecoderRecord {
  bool open = false;
  bool failOpen = false;
  int openCount = 0;
};

DecoderRecord& Record() {
  static DecoderRecord record;
  return record;
}

JpegDecoding* Owner(j_common_ptr info) {
  return static_cast<JpegDecoding*>(info->client_data);
}

[[noreturn]] void Escape(j_common_ptr info) {
  std::longjmp(Owner(info)->escape, 1);
}

void Quiet(j_common_ptr) {}

void LimitScans(j_common_ptr info) {
  auto* decompress = reinterpret_cast<j_decompress_ptr>(info);
  if (decompress->input_scan_number > kMaxScans) Escape(info);
}

int ReadHeader(JpegDecoding* d, const void* bytes, std::size_t length) {
  if (setjmp(d->escape)) return kJpegBadHeader;
  jpeg_mem_src(&d->info, static_cast<const unsigned char*>(bytes),
               static_cast<unsigned long>(length));
  if (jpeg_read_header(&d->info, TRUE) != JPEG_HEADER_OK) return kJpegBadHeader;
  return 0;
}

int ReadRows(JpegDecoding* d, unsigned char* top, std::ptrdiff_t stride) {
  if (setjmp(d->escape)) return kJpegBadData;
  jpeg_start_decompress(&d->info);
  while (d->info.output_scanline < d->info.output_height) {
    JSAMPROW rows[4];
    JDIMENSION want = d->info.output_height - d->info.output_scanline;
    if (want > 4) want = 4;
    for (JDIMENSION i = 0; i < want; ++i) rows[i] = top + (d->info.output_scanline + i) * stride;
    if (jpeg_read_scanlines(&d->info, rows, want) == 0) return kJpegBadData;
  }
  // The rows are all there; trailing markers do not matter.
  jpeg_abort_decompress(&d->info);
  return 0;
}

}  // namespace

bool JpegDecoderOpen() {
  DecoderRecord& record = Record();
  if (record.open) return true;
  if (record.failOpen) return false;
  record.open = true;
  ++record.openCount;
  return true;
}

void JpegDecoderClose() {
  Record().open = false;
}

int JpegBegin(const void* bytes, std::size_t length, JpegDecoding** decoding, JpegImageInfo* info) {
  if (!Record().open) return kJpegNoResources;
  if (!bytes || !decoding || !info || length == 0 || length > 0xFFFFFFFFu) return kJpegBadHeader;
  auto* d = new (std::nothrow) JpegDecoding;
  if (!d) return kJpegNoResources;
  d->info.err = jpeg_std_error(&d->errors);
  d->errors.error_exit = Escape;
  d->errors.output_message = Quiet;
  jpeg_create_decompress(&d->info);
  d->info.client_data = d;
  d->progress.progress_monitor = LimitScans;
  d->info.progress = &d->progress;
  int result = ReadHeader(d, bytes, length);
  if (result != 0) {
    jpeg_destroy_decompress(&d->info);
    delete d;
    return result;
  }
  info->width = static_cast<int>(d->info.image_width);
  info->height = static_cast<int>(d->info.image_height);
  info->channels = d->info.num_components;
  *decoding = d;
  return 0;
}

int JpegReadImage(JpegDecoding* decoding, unsigned char* top, std::ptrdiff_t stride) {
  if (!decoding || !top) return kJpegBadData;
  switch (decoding->info.num_components) {
    case 3:
      decoding->info.out_color_space = JCS_EXT_BGR;
      break;
    case 1:
      decoding->info.out_color_space = JCS_GRAYSCALE;
      break;
    default:
      return kJpegBadData;
  }
  return ReadRows(decoding, top, stride);
}

void JpegEnd(JpegDecoding* decoding) {
  if (!decoding) return;
  jpeg_destroy_decompress(&decoding->info);
  delete decoding;
}

namespace host {

void FailJpegDecoderOpen(bool fail) {
  Record().failOpen = fail;
}
int JpegDecoderOpenCount() {
  return Record().openCount;
}
bool JpegDecoderIsOpen() {
  return Record().open;
}
void ResetJpegDecoder() {
  Record() = DecoderRecord{};
}

}  // namespace host
}  // namespace platform
