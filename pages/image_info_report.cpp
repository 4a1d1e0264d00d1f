#include "pages/image_info_report.h"

#include "caps/capability_calls.h"
#include "caps/container.h"
#include "caps/logged_operations.h"
#include "pages/log.h"
#include "session/triplet_calls.h"
#include "vocab/number_text.h"
#include "vocab/twain_names.h"
#include "vocab/value_text.h"

std::string ImageInfoReport(const TW_IMAGEINFO& info, int units) {
  const std::string unit = UnitName(units);
  return FormatText(
      "XResolution     = %g pixels/%s\r\n"
      "YResolution     = %g pixels/%s\r\n"
      "ImageWidth      = %d pixels\r\n"
      "ImageLength     = %d pixels\r\n"
      "SamplesPerPixel = %d\r\n"
      "BitsPerSample[] = [%d, %d, %d]\r\n"
      "BitsPerPixel    = %d\r\n"
      "Planar          = %s\r\n"
      "PixelType       = %s\r\n"
      "Compression     = %s",
      Fix32ToNumber(info.XResolution), unit.c_str(), Fix32ToNumber(info.YResolution), unit.c_str(),
      static_cast<int>(info.ImageWidth), static_cast<int>(info.ImageLength),
      int{info.SamplesPerPixel}, int{info.BitsPerSample[0]}, int{info.BitsPerSample[1]},
      int{info.BitsPerSample[2]}, int{info.BitsPerPixel}, info.Planar ? "True" : "False",
      ValueText(TWTY_INT16, info.PixelType, ICAP_PIXELTYPE).c_str(),
      ValueText(TWTY_UINT16, info.Compression, ICAP_COMPRESSION).c_str());
}

std::optional<std::string> ImageInfoGet() {
  TW_IMAGEINFO info{};
  const bool ok = TWAIN_DS(DG_IMAGE, DAT_IMAGEINFO, MSG_GET, &info);
  LogLine("(DG_IMAGE,DAT_IMAGEINFO,MSG_GET) -> %s", ResultText().c_str());
  if (!ok) return std::nullopt;
  return ImageInfoReport(info, TWAIN_GetCurrentUnits());
}

std::optional<bool> ImageInfoGetEnabled(int newState, int shownState) {
  if (newState == shownState) return std::nullopt;
  return newState == 6;
}
