// The Windows Imaging Component behind the JPEG service. Every supported
// Windows has it, and Wine provides it.
#include "platform/jpeg_decoder.h"

#include <windows.h>

#include <initguid.h>  // defines the GUIDs wincodec.h declares

#include <objbase.h>
#include <wincodec.h>

#include <algorithm>
#include <new>

namespace platform {

struct JpegDecoding {
  IWICStream* stream = nullptr;
  IWICBitmapDecoder* decoder = nullptr;
  IWICBitmapFrameDecode* frame = nullptr;
  UINT width = 0;
  UINT height = 0;
  int channels = 0;
};

namespace {

struct Factory {
  IWICImagingFactory* factory = nullptr;
  bool comStarted = false;  // this service's own CoInitializeEx, undone at close
};

Factory g_wic;

template <class T>
void Release(T*& object) {
  if (object) object->Release();
  object = nullptr;
}

// The decoder's native formats and the channels they carry. Gray rows are
// copied as they are: a conversion of gray to 24 bits fails in Wine.
struct FormatChannels {
  const GUID* format;
  int channels;
};
const FormatChannels kFormats[] = {
    {&GUID_WICPixelFormat8bppGray, 1},
    {&GUID_WICPixelFormat24bppBGR, 3},
    {&GUID_WICPixelFormat32bppCMYK, 4},
};

int ChannelsOf(const WICPixelFormatGUID& format) {
  for (const FormatChannels& entry : kFormats) {
    if (IsEqualGUID(format, *entry.format)) return entry.channels;
  }
  return 0;
}

int Fail(JpegDecoding* decoding, int code) {
  JpegEnd(decoding);
  return code;
}

}  // namespace

bool JpegDecoderOpen() {
  if (g_wic.factory) return true;
  HRESULT started = CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
  g_wic.comStarted = SUCCEEDED(started);
  HRESULT created =
      CoCreateInstance(CLSID_WICImagingFactory, nullptr, CLSCTX_INPROC_SERVER,
                       IID_IWICImagingFactory, reinterpret_cast<void**>(&g_wic.factory));
  if (FAILED(created) || !g_wic.factory) {
    g_wic.factory = nullptr;
    JpegDecoderClose();
    return false;
  }
  return true;
}

void JpegDecoderClose() {
  Release(g_wic.factory);
  if (g_wic.comStarted) CoUninitialize();
  g_wic.comStarted = false;
}

int JpegBegin(const void* bytes, std::size_t length, JpegDecoding** decoding, JpegImageInfo* info) {
  if (!g_wic.factory) return kJpegNoResources;
  if (!bytes || !decoding || !info || length == 0 || length > 0xFFFFFFFFu) return kJpegBadHeader;
  auto* d = new (std::nothrow) JpegDecoding;
  if (!d) return kJpegNoResources;
  if (FAILED(g_wic.factory->CreateStream(&d->stream)) ||
      FAILED(d->stream->InitializeFromMemory(static_cast<BYTE*>(const_cast<void*>(bytes)),
                                             static_cast<DWORD>(length))) ||
      FAILED(g_wic.factory->CreateDecoder(GUID_ContainerFormatJpeg, nullptr, &d->decoder))) {
    return Fail(d, kJpegNoResources);
  }
  WICPixelFormatGUID format{};
  if (FAILED(d->decoder->Initialize(d->stream, WICDecodeMetadataCacheOnDemand)) ||
      FAILED(d->decoder->GetFrame(0, &d->frame)) ||
      FAILED(d->frame->GetSize(&d->width, &d->height)) ||
      FAILED(d->frame->GetPixelFormat(&format)) || d->width > 0x7FFFFFFF ||
      d->height > 0x7FFFFFFF) {
    return Fail(d, kJpegBadHeader);
  }
  d->channels = ChannelsOf(format);
  info->width = static_cast<int>(d->width);
  info->height = static_cast<int>(d->height);
  info->channels = d->channels;
  *decoding = d;
  return 0;
}

int JpegReadImage(JpegDecoding* decoding, unsigned char* top, std::ptrdiff_t stride) {
  if (!decoding || !top || (decoding->channels != 1 && decoding->channels != 3)) {
    return kJpegBadData;
  }
  const UINT height = decoding->height;
  if (height == 0) return 0;
  const std::size_t rowBytes = static_cast<std::size_t>(decoding->width) * decoding->channels;
  const std::size_t pitch = static_cast<std::size_t>(stride < 0 ? -stride : stride);
  const unsigned long long span = static_cast<unsigned long long>(pitch) * (height - 1) + rowBytes;
  if (pitch < rowBytes || pitch > 0xFFFFFFFFu || span > 0xFFFFFFFFu) return kJpegBadData;
  // The decoder writes top-down; a bottom-up image is turned over afterwards.
  unsigned char* lowest = stride < 0 ? top - pitch * (height - 1) : top;
  if (FAILED(decoding->frame->CopyPixels(nullptr, static_cast<UINT>(pitch), static_cast<UINT>(span),
                                         lowest))) {
    return kJpegBadData;
  }
  if (stride < 0) {
    for (UINT i = 0; i < height / 2; ++i) {
      unsigned char* upper = lowest + pitch * i;
      std::swap_ranges(upper, upper + rowBytes, lowest + pitch * (height - 1 - i));
    }
  }
  return 0;
}

void JpegEnd(JpegDecoding* decoding) {
  if (!decoding) return;
  Release(decoding->frame);
  Release(decoding->decoder);
  Release(decoding->stream);
  delete decoding;
}

}  // namespace platform
