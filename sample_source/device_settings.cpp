#include "sample_source/device_settings.h"

#include <algorithm>
#include <cmath>

namespace sample {
namespace {

struct PixelTypeRow {
  TW_UINT16 pixelType;
  std::vector<TW_UINT16> bitDepths;  // the first is the default
  int samplesPerPixel;
};

const std::vector<PixelTypeRow>& PixelTypes() {
  static const std::vector<PixelTypeRow> rows = {
      {TWPT_BW, {1}, 1},
      {TWPT_GRAY, {8, 4}, 1},
      {TWPT_RGB, {24}, 3},
      {TWPT_PALETTE, {8, 4}, 1},
  };
  return rows;
}

const PixelTypeRow& RowOf(TW_UINT16 pixelType) {
  for (const PixelTypeRow& row : PixelTypes()) {
    if (row.pixelType == pixelType) return row;
  }
  return PixelTypes()[2];
}

struct UnitRow {
  TW_UINT16 units;
  double perInch;  // 0: one per pixel, so it follows the resolution
};
constexpr UnitRow kUnits[] = {
    {TWUN_INCHES, 1.0},  {TWUN_CENTIMETERS, 2.54}, {TWUN_PICAS, 6.0},
    {TWUN_POINTS, 72.0}, {TWUN_TWIPS, 1440.0},     {TWUN_PIXELS, 0.0},
};

double PerInch(TW_UINT16 units) {
  for (const UnitRow& row : kUnits) {
    if (row.units == units) return row.perInch;
  }
  return 1.0;
}

// FIX32 and unit conversions leave a little noise; clipping by less than
// this is not worth a TWRC_CHECKSTATUS.
constexpr double kFrameTolerance = 1e-3;

}  // namespace

std::vector<TW_UINT16> BitDepthsFor(TW_UINT16 pixelType) {
  return RowOf(pixelType).bitDepths;
}

bool JfifAllowed(const DeviceSettings& settings) {
  return (settings.pixelType == TWPT_GRAY && settings.bitDepth == 8) ||
         settings.pixelType == TWPT_RGB;
}

void Normalize(DeviceSettings& settings) {
  const std::vector<TW_UINT16> depths = BitDepthsFor(settings.pixelType);
  if (std::find(depths.begin(), depths.end(), settings.bitDepth) == depths.end()) {
    settings.bitDepth = depths.front();
  }
  if (settings.fileFormat == TWFF_JFIF && !JfifAllowed(settings)) settings.fileFormat = TWFF_BMP;
}

double LengthPerInch(TW_UINT16 units, double dpi) {
  const double perInch = PerInch(units);
  return perInch > 0 ? perInch : dpi;
}

double ResolutionInUnits(double dpi, TW_UINT16 units) {
  const double perInch = PerInch(units);
  return perInch > 0 ? dpi / perInch : dpi;
}

double ResolutionFromUnits(double value, TW_UINT16 units) {
  const double perInch = PerInch(units);
  return perInch > 0 ? value * perInch : value;
}

ImageGeometry GeometryOf(const DeviceSettings& settings) {
  ImageGeometry g;
  const FrameInches& f = settings.frame;
  g.width = std::max(1, static_cast<int>(std::lround((f.right - f.left) * settings.xDpi)));
  g.height = std::max(1, static_cast<int>(std::lround((f.bottom - f.top) * settings.yDpi)));
  g.pixelType = settings.pixelType;
  g.samplesPerPixel = RowOf(settings.pixelType).samplesPerPixel;
  g.bitsPerPixel = settings.pixelType == TWPT_RGB ? 24 : settings.bitDepth;
  g.xDpi = settings.xDpi;
  g.yDpi = settings.yDpi;
  return g;
}

TW_IMAGEINFO ImageInfoOf(const DeviceSettings& settings) {
  const ImageGeometry g = GeometryOf(settings);
  TW_IMAGEINFO info{};
  info.XResolution = ToFix32(ResolutionInUnits(g.xDpi, settings.units));
  info.YResolution = ToFix32(ResolutionInUnits(g.yDpi, settings.units));
  info.ImageWidth = g.width;
  info.ImageLength = g.height;
  info.SamplesPerPixel = static_cast<TW_INT16>(g.samplesPerPixel);
  for (int i = 0; i < g.samplesPerPixel; ++i) {
    info.BitsPerSample[i] = static_cast<TW_INT16>(g.bitsPerPixel / g.samplesPerPixel);
  }
  info.BitsPerPixel = static_cast<TW_INT16>(g.bitsPerPixel);
  info.Planar = TW_FALSE;
  info.PixelType = static_cast<TW_INT16>(g.pixelType);
  info.Compression = TWCP_NONE;
  return info;
}

TW_FRAME FrameToUnits(const FrameInches& frame, const DeviceSettings& settings) {
  const double x = LengthPerInch(settings.units, settings.xDpi);
  const double y = LengthPerInch(settings.units, settings.yDpi);
  return TW_FRAME{ToFix32(frame.left * x), ToFix32(frame.top * y), ToFix32(frame.right * x),
                  ToFix32(frame.bottom * y)};
}

FrameInches FrameFromUnits(const TW_FRAME& frame, const DeviceSettings& settings) {
  const double x = LengthPerInch(settings.units, settings.xDpi);
  const double y = LengthPerInch(settings.units, settings.yDpi);
  return FrameInches{FromFix32(frame.Left) / x, FromFix32(frame.Top) / y,
                     FromFix32(frame.Right) / x, FromFix32(frame.Bottom) / y};
}

Outcome SetFrame(DeviceSettings& settings, const FrameInches& requested) {
  if (!(requested.right > requested.left) || !(requested.bottom > requested.top)) {
    return {TWRC_FAILURE, TWCC_BADVALUE};
  }
  FrameInches clipped{std::max(0.0, requested.left), std::max(0.0, requested.top),
                      std::min(kPhysicalWidthInches, requested.right),
                      std::min(kPhysicalHeightInches, requested.bottom)};
  if (clipped.right - clipped.left < kMinimumFrameInches - kFrameTolerance ||
      clipped.bottom - clipped.top < kMinimumFrameInches - kFrameTolerance) {
    return {TWRC_FAILURE, TWCC_BADVALUE};
  }
  const bool adjusted = requested.left < -kFrameTolerance || requested.top < -kFrameTolerance ||
                        requested.right > kPhysicalWidthInches + kFrameTolerance ||
                        requested.bottom > kPhysicalHeightInches + kFrameTolerance;
  settings.frame = clipped;
  settings.supportedSize = TWSS_NONE;
  return {adjusted ? TWRC_CHECKSTATUS : TWRC_SUCCESS, TWCC_SUCCESS};
}

TW_IMAGELAYOUT LayoutOf(const DeviceSettings& settings) {
  TW_IMAGELAYOUT layout{};
  layout.Frame = FrameToUnits(settings.frame, settings);
  layout.DocumentNumber = settings.documentNumber;
  layout.PageNumber = settings.pageNumber;
  layout.FrameNumber = settings.frameNumber;
  return layout;
}

Outcome SetLayout(DeviceSettings& settings, const TW_IMAGELAYOUT& layout) {
  const Outcome outcome = SetFrame(settings, FrameFromUnits(layout.Frame, settings));
  if (outcome.rc == TWRC_FAILURE) return outcome;
  settings.documentNumber = layout.DocumentNumber;
  settings.pageNumber = layout.PageNumber;
  settings.frameNumber = layout.FrameNumber;
  return outcome;
}

const std::vector<PaperSize>& PaperSizes() {
  static const std::vector<PaperSize> sizes = {
      {TWSS_A4, 210 / 25.4, 297 / 25.4},
      {TWSS_USLETTER, 8.5, 11.0},
      {TWSS_USLEGAL, 8.5, 14.0},
  };
  return sizes;
}

}  // namespace sample
