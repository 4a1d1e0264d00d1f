// The simulated scanner's negotiable settings, the image they produce, and
// the conversions between inches (how settings are kept) and the unit the
// application chose with ICAP_UNITS.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "sample_source/container_io.h"
#include "twain/twain.h"

namespace sample {

// The glass: a US legal page, so A4 and US letter fit on it.
constexpr double kPhysicalWidthInches = 8.5;
constexpr double kPhysicalHeightInches = 14.0;
// The smallest frame side accepted, so every image has at least a pixel.
constexpr double kMinimumFrameInches = 0.1;
// Sheets in the feeder when CAP_XFERCOUNT leaves the count to the Source.
constexpr int kFeederSheets = 3;

struct FrameInches {
  double left = 0;
  double top = 0;
  double right = 0;
  double bottom = 0;
};

struct DeviceSettings {
  TW_UINT16 xferMech = TWSX_NATIVE;
  TW_UINT16 pixelType = TWPT_RGB;
  TW_UINT16 bitDepth = 24;
  TW_UINT16 units = TWUN_INCHES;
  double xDpi = 100;
  double yDpi = 100;
  double brightness = 0;
  double contrast = 0;
  TW_UINT16 compression = TWCP_NONE;
  TW_UINT16 fileFormat = TWFF_BMP;
  TW_UINT16 supportedSize = TWSS_USLETTER;
  FrameInches frame{0, 0, 8.5, 11};
  TW_INT16 xferCount = -1;
  bool indicators = true;
  bool feederEnabled = false;
  std::string author;
  TW_INT32 lampWarmup = 5;
  std::vector<TW_UINT16> toneCurve{0, 64, 128, 192, 255};
  TW_UINT32 documentNumber = 1;
  TW_UINT32 pageNumber = 1;
  TW_UINT32 frameNumber = 1;
};

// Bit depths each pixel type offers; the first is the default.
std::vector<TW_UINT16> BitDepthsFor(TW_UINT16 pixelType);
// JFIF holds 8-bit gray and 24-bit colour; every other image goes to BMP.
bool JfifAllowed(const DeviceSettings& settings);
// Brings dependent settings back in line after one of them changed.
void Normalize(DeviceSettings& settings);

// Application units per inch for lengths; pixels depend on the resolution.
double LengthPerInch(TW_UINT16 units, double dpi);
// Resolution in dots per application unit. Pixels have no length of their
// own, so resolutions stay per inch there.
double ResolutionInUnits(double dpi, TW_UINT16 units);
double ResolutionFromUnits(double value, TW_UINT16 units);

struct ImageGeometry {
  int width = 0;
  int height = 0;
  TW_UINT16 pixelType = TWPT_RGB;
  int bitsPerPixel = 24;
  int samplesPerPixel = 3;
  double xDpi = 0;
  double yDpi = 0;
};

ImageGeometry GeometryOf(const DeviceSettings& settings);
TW_IMAGEINFO ImageInfoOf(const DeviceSettings& settings);

// The outcome of a set: TWRC_SUCCESS, TWRC_CHECKSTATUS (adjusted) or
// TWRC_FAILURE with its condition.
struct Outcome {
  TW_UINT16 rc = TWRC_SUCCESS;
  TW_UINT16 cc = TWCC_SUCCESS;
};

TW_FRAME FrameToUnits(const FrameInches& frame, const DeviceSettings& settings);
FrameInches FrameFromUnits(const TW_FRAME& frame, const DeviceSettings& settings);
// Clips a requested frame to the glass (TWRC_CHECKSTATUS) or refuses one
// that is empty or inverted (TWCC_BADVALUE); on success stores it.
Outcome SetFrame(DeviceSettings& settings, const FrameInches& frame);

TW_IMAGELAYOUT LayoutOf(const DeviceSettings& settings);
Outcome SetLayout(DeviceSettings& settings, const TW_IMAGELAYOUT& layout);

// Sizes of ICAP_SUPPORTEDSIZES on this glass.
struct PaperSize {
  TW_UINT16 code;
  double widthInches;
  double heightInches;
};
const std::vector<PaperSize>& PaperSizes();

}  // namespace sample
