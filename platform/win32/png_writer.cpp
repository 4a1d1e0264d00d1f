// PNG files through the Windows Imaging Component's encoder.
#include "platform/png_writer.h"

#include <windows.h>

#include <initguid.h>  // defines the GUIDs wincodec.h declares

#include <objbase.h>
#include <wincodec.h>

#include <vector>

namespace platform {
namespace {

template <class T>
class ComPtr {
 public:
  ~ComPtr() {
    if (object_) object_->Release();
  }
  T** out() { return &object_; }
  T* operator->() const { return object_; }
  T* get() const { return object_; }

 private:
  T* object_ = nullptr;
};

const GUID* FormatOf(int depth) {
  switch (depth) {
    case 1:
      return &GUID_WICPixelFormat1bppIndexed;
    case 4:
      return &GUID_WICPixelFormat4bppIndexed;
    case 8:
      return &GUID_WICPixelFormat8bppIndexed;
    case 24:
      return &GUID_WICPixelFormat24bppBGR;
    default:
      return nullptr;
  }
}

bool Write(const char* path, const PngPicture& picture) {
  const GUID* format = FormatOf(picture.depth);
  if (!format || picture.width <= 0 || picture.height <= 0 || !picture.rows) return false;
  ComPtr<IWICImagingFactory> factory;
  if (FAILED(CoCreateInstance(CLSID_WICImagingFactory, nullptr, CLSCTX_INPROC_SERVER,
                              IID_IWICImagingFactory, reinterpret_cast<void**>(factory.out()))))
    return false;
  const int wideLength = MultiByteToWideChar(CP_ACP, 0, path, -1, nullptr, 0);
  if (wideLength <= 0) return false;
  std::vector<wchar_t> widePath(static_cast<std::size_t>(wideLength));
  MultiByteToWideChar(CP_ACP, 0, path, -1, widePath.data(), wideLength);

  ComPtr<IWICStream> stream;
  ComPtr<IWICBitmapEncoder> encoder;
  ComPtr<IWICBitmapFrameEncode> frame;
  ComPtr<IPropertyBag2> options;
  if (FAILED(factory->CreateStream(stream.out())) ||
      FAILED(stream->InitializeFromFilename(widePath.data(), GENERIC_WRITE)) ||
      FAILED(factory->CreateEncoder(GUID_ContainerFormatPng, nullptr, encoder.out())) ||
      FAILED(encoder->Initialize(stream.get(), WICBitmapEncoderNoCache)) ||
      FAILED(encoder->CreateNewFrame(frame.out(), options.out())) ||
      FAILED(frame->Initialize(options.get())) ||
      FAILED(frame->SetSize(static_cast<UINT>(picture.width), static_cast<UINT>(picture.height))))
    return false;
  WICPixelFormatGUID chosen = *format;
  if (FAILED(frame->SetPixelFormat(&chosen)) || !IsEqualGUID(chosen, *format)) return false;
  if (picture.depth <= 8) {
    std::vector<WICColor> colors(std::size_t{1} << picture.depth, 0xFF000000);
    for (int i = 0; i < picture.tableEntries && i < static_cast<int>(colors.size()); ++i) {
      const std::uint32_t c = picture.table[i];
      colors[static_cast<std::size_t>(i)] =
          0xFF000000 | (c & 0xFF) << 16 | (c & 0xFF00) | (c >> 16 & 0xFF);
    }
    ComPtr<IWICPalette> palette;
    if (FAILED(factory->CreatePalette(palette.out())) ||
        FAILED(palette->InitializeCustom(colors.data(), static_cast<UINT>(colors.size()))) ||
        FAILED(frame->SetPalette(palette.get())))
      return false;
  }
  const std::size_t bytes = picture.stride * static_cast<std::size_t>(picture.height);
  if (bytes > 0xFFFFFFFFu) return false;
  return SUCCEEDED(frame->WritePixels(static_cast<UINT>(picture.height),
                                      static_cast<UINT>(picture.stride), static_cast<UINT>(bytes),
                                      const_cast<BYTE*>(picture.rows))) &&
         SUCCEEDED(frame->Commit()) && SUCCEEDED(encoder->Commit());
}

}  // namespace

bool WritePngFile(const char* path, const PngPicture& picture) {
  // COM may already be started on this thread, in either model; only our own start is undone.
  const HRESULT started = CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
  const bool written = Write(path, picture);
  if (SUCCEEDED(started)) CoUninitialize();
  return written;
}

}  // namespace platform
