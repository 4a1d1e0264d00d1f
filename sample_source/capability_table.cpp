#include "sample_source/capability_table.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <memory>
#include <string>

namespace sample {
namespace {

const DeviceSettings& Defaults() {
  static const DeviceSettings defaults;
  return defaults;
}

// Allowed values in the application's units: a list, or a range when the
// list is empty.
struct Domain {
  std::vector<double> items;
  double min = 0;
  double max = 0;
  double step = 1;
};

enum class Shape { kOneValue, kEnumeration, kRange };
// What a set value that is not offered becomes: refused (kExact), the
// nearest listed value (kNearest), or the nearest step of the range (kStep);
// the last two answer TWRC_CHECKSTATUS when they moved the value.
enum class Fit { kExact, kNearest, kStep };

struct NumericRow {
  TW_UINT16 code;
  TW_UINT16 itemType;
  Shape shape;
  bool readOnly;
  Fit fit;
  Domain (*domain)(const DeviceSettings&);
  double (*current)(const DeviceSettings&);
  double (*byDefault)(const DeviceSettings&);
  void (*store)(DeviceSettings&, double);
  bool (*valid)(double);  // may be null: every number is worth fitting
};

// FIX32 carries 1/65536; values closer than this are the same value.
double ToleranceOf(TW_UINT16 itemType) {
  return itemType == TWTY_FIX32 ? 1e-4 : 1e-9;
}

Bytes EncodeNumbers(TW_UINT16 itemType, const std::vector<double>& values) {
  Bytes items;
  for (double value : values) {
    const Bytes item = EncodeNumber(itemType, value);
    items.insert(items.end(), item.begin(), item.end());
  }
  return items;
}

TW_UINT32 NearestIndex(const std::vector<double>& items, double value) {
  TW_UINT32 best = 0;
  for (TW_UINT32 i = 1; i < items.size(); ++i) {
    if (std::fabs(items[i] - value) < std::fabs(items[best] - value)) best = i;
  }
  return best;
}

// The value to set out of what the application sent, and whether it sent a
// list or range that this Source does not keep as a constraint.
struct Requested {
  double value = 0;
  bool constrained = false;
};

std::optional<Requested> RequestedNumber(TW_UINT16 itemType, const ReceivedContainer& c) {
  if (!CompatibleTypes(c.itemType, itemType)) return std::nullopt;
  if (c.conType == TWON_ONEVALUE) return Requested{DecodeNumber(c.itemType, c.items[0].data())};
  if (c.conType == TWON_ENUMERATION && c.currentIndex < c.items.size()) {
    return Requested{DecodeNumber(c.itemType, c.items[c.currentIndex].data()), true};
  }
  if (c.conType == TWON_RANGE) return Requested{c.range[4], true};
  return std::nullopt;
}

Outcome Adjusted(bool moved) {
  return {moved ? TWRC_CHECKSTATUS : TWRC_SUCCESS, TWCC_SUCCESS};
}
constexpr Outcome kBadValue{TWRC_FAILURE, TWCC_BADVALUE};

class NumericCapability : public Capability {
 public:
  explicit NumericCapability(const NumericRow& row)
      : Capability(row.code, row.itemType, row.readOnly), row_(row) {}

  BuiltContainer Get(TW_UINT16 msg, const DeviceSettings& s) const override {
    const double current = row_.current(s);
    const double byDefault = row_.byDefault(s);
    if (msg == MSG_GETCURRENT || row_.shape == Shape::kOneValue) {
      return {TWON_ONEVALUE, BuildOneValue(itemType(), EncodeNumber(itemType(), current))};
    }
    if (msg == MSG_GETDEFAULT) {
      return {TWON_ONEVALUE, BuildOneValue(itemType(), EncodeNumber(itemType(), byDefault))};
    }
    const Domain d = row_.domain(s);
    if (row_.shape == Shape::kRange) {
      return {TWON_RANGE, BuildRange(itemType(), d.min, d.max, d.step, byDefault, current)};
    }
    return {TWON_ENUMERATION,
            BuildEnumeration(itemType(), EncodeNumbers(itemType(), d.items),
                             NearestIndex(d.items, current), NearestIndex(d.items, byDefault))};
  }

  Outcome Set(DeviceSettings& s, const ReceivedContainer& c) const override {
    const std::optional<Requested> requested = RequestedNumber(itemType(), c);
    if (!requested) return kBadValue;
    const double value = requested->value;
    if (row_.valid && !row_.valid(value)) return kBadValue;
    const double tolerance = ToleranceOf(itemType());
    const Domain d = row_.domain(s);
    double chosen = value;
    if (!d.items.empty()) {
      chosen = d.items[NearestIndex(d.items, value)];
      if (row_.fit == Fit::kExact && std::fabs(chosen - value) > tolerance) return kBadValue;
    } else {
      if (value < d.min - tolerance || value > d.max + tolerance) return kBadValue;
      chosen = std::clamp(d.min + std::round((value - d.min) / d.step) * d.step, d.min, d.max);
      if (row_.fit == Fit::kExact && std::fabs(chosen - value) > tolerance) return kBadValue;
    }
    row_.store(s, chosen);
    return Adjusted(std::fabs(chosen - value) > tolerance || requested->constrained);
  }

  void Reset(DeviceSettings& s) const override { row_.store(s, row_.byDefault(s)); }

 private:
  NumericRow row_;
};

// CAP_AUTHOR: one line of text.
class TextCapability : public Capability {
 public:
  static constexpr std::size_t kMaxLength = 128;
  TextCapability() : Capability(CAP_AUTHOR, TWTY_STR128, false) {}

  BuiltContainer Get(TW_UINT16 msg, const DeviceSettings& s) const override {
    const std::string& text = msg == MSG_GETDEFAULT ? Defaults().author : s.author;
    return {TWON_ONEVALUE, BuildOneValue(itemType(), EncodeText(itemType(), text.c_str()))};
  }

  Outcome Set(DeviceSettings& s, const ReceivedContainer& c) const override {
    if (c.conType != TWON_ONEVALUE || c.itemType < TWTY_STR32 || c.itemType > TWTY_STR255) {
      return kBadValue;
    }
    // The item may lack its terminating zero; it ends with the item then.
    const Bytes& item = c.items[0];
    const auto end = std::find(item.begin(), item.end(), 0);
    std::string text(item.begin(), end);
    const bool cut = text.size() > kMaxLength;
    if (cut) text.resize(kMaxLength);
    s.author = text;
    return Adjusted(cut);
  }

  void Reset(DeviceSettings& s) const override { s.author = Defaults().author; }
};

// ICAP_FRAMES: the one frame this Source scans, the same as the layout's.
class FramesCapability : public Capability {
 public:
  FramesCapability() : Capability(ICAP_FRAMES, TWTY_FRAME, false) {}

  BuiltContainer Get(TW_UINT16 msg, const DeviceSettings& s) const override {
    if (msg == MSG_GETDEFAULT) {
      return {TWON_ONEVALUE, BuildOneValue(itemType(), EncodeFrame(DefaultFrame(s)))};
    }
    const Bytes frame = EncodeFrame(FrameToUnits(s.frame, s));
    if (msg == MSG_GETCURRENT) return {TWON_ONEVALUE, BuildOneValue(itemType(), frame)};
    return {TWON_ENUMERATION, BuildEnumeration(itemType(), frame, 0, 0)};
  }

  Outcome Set(DeviceSettings& s, const ReceivedContainer& c) const override {
    if (c.itemType != TWTY_FRAME || c.items.empty()) return kBadValue;
    std::size_t index = 0;
    if (c.conType == TWON_ENUMERATION) {
      if (c.currentIndex >= c.items.size()) return kBadValue;
      index = c.currentIndex;
    } else if (c.conType != TWON_ONEVALUE) {
      return kBadValue;
    }
    TW_FRAME frame;
    std::memcpy(&frame, c.items[index].data(), sizeof(frame));
    Outcome outcome = SetFrame(s, FrameFromUnits(frame, s));
    // Only one frame is kept; a list of several is not.
    if (outcome.rc == TWRC_SUCCESS && c.items.size() > 1) outcome.rc = TWRC_CHECKSTATUS;
    return outcome;
  }

  void Reset(DeviceSettings& s) const override {
    s.frame = Defaults().frame;
    s.supportedSize = Defaults().supportedSize;
  }

 private:
  static TW_FRAME DefaultFrame(const DeviceSettings& s) {
    return FrameToUnits(Defaults().frame, s);
  }
};

// An array of numbers: CAP_SUPPORTEDCAPS (read-only) and the tone curve.
class ArrayCapability : public Capability {
 public:
  using Values = std::vector<TW_UINT16>;
  ArrayCapability(TW_UINT16 code, bool readOnly, Values (*current)(const DeviceSettings&),
                  Values (*byDefault)(), void (*store)(DeviceSettings&, const Values&))
      : Capability(code, TWTY_UINT16, readOnly),
        current_(current),
        byDefault_(byDefault),
        store_(store) {}

  BuiltContainer Get(TW_UINT16 msg, const DeviceSettings& s) const override {
    const Values values = msg == MSG_GETDEFAULT ? byDefault_() : current_(s);
    return {TWON_ARRAY,
            BuildArray(itemType(), EncodeNumbers(itemType(), {values.begin(), values.end()}))};
  }

  // The tone curve takes 2 to 16 points of 0 to 255.
  Outcome Set(DeviceSettings& s, const ReceivedContainer& c) const override {
    if (c.conType != TWON_ARRAY || !CompatibleTypes(c.itemType, itemType())) return kBadValue;
    if (c.items.size() < 2 || c.items.size() > 16) return kBadValue;
    Values values;
    for (const Bytes& item : c.items) {
      const double value = DecodeNumber(c.itemType, item.data());
      if (value < 0 || value > 255) return kBadValue;
      values.push_back(static_cast<TW_UINT16>(value));
    }
    store_(s, values);
    return Adjusted(false);
  }

  void Reset(DeviceSettings& s) const override { store_(s, byDefault_()); }

 private:
  Values (*current_)(const DeviceSettings&);
  Values (*byDefault_)();
  void (*store_)(DeviceSettings&, const Values&);
};

template <class T>
std::vector<double> Numbers(const std::vector<T>& values) {
  return {values.begin(), values.end()};
}

constexpr double kDpiList[] = {50, 75, 100, 150, 200, 300, 400, 600};
constexpr double kMinDpi = 50;
constexpr double kMaxDpi = 600;

Domain XResolutions(const DeviceSettings& s) {
  Domain d;
  for (double dpi : kDpiList) d.items.push_back(ResolutionInUnits(dpi, s.units));
  return d;
}

Domain YResolutions(const DeviceSettings& s) {
  return {{},
          ResolutionInUnits(kMinDpi, s.units),
          ResolutionInUnits(kMaxDpi, s.units),
          ResolutionInUnits(1, s.units)};
}

Domain Codes(std::vector<double> items) {
  return {std::move(items)};
}
Domain Booleans(const DeviceSettings&) {
  return Codes({0, 1});
}
Domain Level(const DeviceSettings&) {
  return {{}, -1000, 1000, 10};
}
Domain Fixed(const DeviceSettings&) {
  return {};
}  // read-only: nothing to choose from
double Zero(const DeviceSettings&) {
  return 0;
}
double True(const DeviceSettings&) {
  return 1;
}
double False(const DeviceSettings&) {
  return 0;
}
void Ignore(DeviceSettings&, double) {}
double PhysicalWidth(const DeviceSettings& s) {
  return kPhysicalWidthInches * LengthPerInch(s.units, s.xDpi);
}
double PhysicalHeight(const DeviceSettings& s) {
  return kPhysicalHeightInches * LengthPerInch(s.units, s.yDpi);
}
bool Positive(double v) {
  return v > 0;
}

TW_UINT16 Code(double v) {
  return static_cast<TW_UINT16>(std::lround(v));
}

std::vector<std::unique_ptr<Capability>> BuildTable() {
  const NumericRow numeric[] = {
      {CAP_XFERCOUNT, TWTY_INT16, Shape::kOneValue, false, Fit::kExact,
       [](const DeviceSettings&) {
         return Domain{{}, -1, 32767, 1};
       },
       [](const DeviceSettings& s) { return double(s.xferCount); },
       [](const DeviceSettings&) { return double(Defaults().xferCount); },
       [](DeviceSettings& s, double v) { s.xferCount = static_cast<TW_INT16>(std::lround(v)); },
       [](double v) { return v != 0; }},
      {ICAP_COMPRESSION, TWTY_UINT16, Shape::kEnumeration, false, Fit::kExact,
       [](const DeviceSettings&) { return Codes({TWCP_NONE}); },
       [](const DeviceSettings& s) { return double(s.compression); }, Zero,
       [](DeviceSettings& s, double v) { s.compression = Code(v); }, nullptr},
      {ICAP_PIXELTYPE, TWTY_UINT16, Shape::kEnumeration, false, Fit::kExact,
       [](const DeviceSettings&) {
         return Codes({TWPT_BW, TWPT_GRAY, TWPT_RGB, TWPT_PALETTE});
       },
       [](const DeviceSettings& s) { return double(s.pixelType); },
       [](const DeviceSettings&) { return double(Defaults().pixelType); },
       [](DeviceSettings& s, double v) {
         // Each pixel type starts at its own default depth.
         if (Code(v) != s.pixelType) s.bitDepth = BitDepthsFor(Code(v)).front();
         s.pixelType = Code(v);
       },
       nullptr},
      {ICAP_UNITS, TWTY_UINT16, Shape::kEnumeration, false, Fit::kExact,
       [](const DeviceSettings&) {
         return Codes(
             {TWUN_INCHES, TWUN_CENTIMETERS, TWUN_PICAS, TWUN_POINTS, TWUN_TWIPS, TWUN_PIXELS});
       },
       [](const DeviceSettings& s) { return double(s.units); }, Zero,
       [](DeviceSettings& s, double v) { s.units = Code(v); }, nullptr},
      {ICAP_XFERMECH, TWTY_UINT16, Shape::kEnumeration, false, Fit::kExact,
       [](const DeviceSettings&) {
         return Codes({TWSX_NATIVE, TWSX_FILE, TWSX_MEMORY});
       },
       [](const DeviceSettings& s) { return double(s.xferMech); }, Zero,
       [](DeviceSettings& s, double v) { s.xferMech = Code(v); }, nullptr},
      {CAP_FEEDERENABLED, TWTY_BOOL, Shape::kOneValue, false, Fit::kExact, Booleans,
       [](const DeviceSettings& s) { return double(s.feederEnabled); }, False,
       [](DeviceSettings& s, double v) { s.feederEnabled = v != 0; }, nullptr},
      {CAP_INDICATORS, TWTY_BOOL, Shape::kOneValue, false, Fit::kExact, Booleans,
       [](const DeviceSettings& s) { return double(s.indicators); }, True,
       [](DeviceSettings& s, double v) { s.indicators = v != 0; }, nullptr},
      {CAP_UICONTROLLABLE, TWTY_BOOL, Shape::kOneValue, true, Fit::kExact, Booleans, True, True,
       Ignore, nullptr},
      {CAP_DEVICEONLINE, TWTY_BOOL, Shape::kOneValue, true, Fit::kExact, Booleans, True, True,
       Ignore, nullptr},
      {ICAP_BRIGHTNESS, TWTY_FIX32, Shape::kRange, false, Fit::kStep, Level,
       [](const DeviceSettings& s) { return s.brightness; }, Zero,
       [](DeviceSettings& s, double v) { s.brightness = v; }, nullptr},
      {ICAP_CONTRAST, TWTY_FIX32, Shape::kRange, false, Fit::kStep, Level,
       [](const DeviceSettings& s) { return s.contrast; }, Zero,
       [](DeviceSettings& s, double v) { s.contrast = v; }, nullptr},
      {ICAP_IMAGEFILEFORMAT, TWTY_UINT16, Shape::kEnumeration, false, Fit::kExact,
       [](const DeviceSettings& s) {
         return JfifAllowed(s) ? Codes({TWFF_BMP, TWFF_JFIF}) : Codes({TWFF_BMP});
       },
       [](const DeviceSettings& s) { return double(s.fileFormat); },
       [](const DeviceSettings&) { return double(Defaults().fileFormat); },
       [](DeviceSettings& s, double v) { s.fileFormat = Code(v); }, nullptr},
      {ICAP_PHYSICALWIDTH, TWTY_FIX32, Shape::kOneValue, true, Fit::kExact, Fixed, PhysicalWidth,
       PhysicalWidth, Ignore, nullptr},
      {ICAP_PHYSICALHEIGHT, TWTY_FIX32, Shape::kOneValue, true, Fit::kExact, Fixed, PhysicalHeight,
       PhysicalHeight, Ignore, nullptr},
      {ICAP_XRESOLUTION, TWTY_FIX32, Shape::kEnumeration, false, Fit::kNearest, XResolutions,
       [](const DeviceSettings& s) { return ResolutionInUnits(s.xDpi, s.units); },
       [](const DeviceSettings& s) { return ResolutionInUnits(Defaults().xDpi, s.units); },
       [](DeviceSettings& s, double v) { s.xDpi = std::round(ResolutionFromUnits(v, s.units)); },
       Positive},
      {ICAP_YRESOLUTION, TWTY_FIX32, Shape::kRange, false, Fit::kStep, YResolutions,
       [](const DeviceSettings& s) { return ResolutionInUnits(s.yDpi, s.units); },
       [](const DeviceSettings& s) { return ResolutionInUnits(Defaults().yDpi, s.units); },
       [](DeviceSettings& s, double v) { s.yDpi = std::round(ResolutionFromUnits(v, s.units)); },
       Positive},
      {ICAP_SUPPORTEDSIZES, TWTY_UINT16, Shape::kEnumeration, false, Fit::kExact,
       [](const DeviceSettings&) {
         Domain d = Codes({TWSS_NONE});
         for (const PaperSize& size : PaperSizes()) d.items.push_back(size.code);
         return d;
       },
       [](const DeviceSettings& s) { return double(s.supportedSize); },
       [](const DeviceSettings&) { return double(Defaults().supportedSize); },
       [](DeviceSettings& s, double v) {
         s.supportedSize = Code(v);
         for (const PaperSize& size : PaperSizes()) {
           if (size.code == s.supportedSize) s.frame = {0, 0, size.widthInches, size.heightInches};
         }
       },
       nullptr},
      {ICAP_BITDEPTH, TWTY_UINT16, Shape::kEnumeration, false, Fit::kExact,
       [](const DeviceSettings& s) { return Domain{Numbers(BitDepthsFor(s.pixelType))}; },
       [](const DeviceSettings& s) { return double(s.bitDepth); },
       [](const DeviceSettings& s) { return double(BitDepthsFor(s.pixelType).front()); },
       [](DeviceSettings& s, double v) { s.bitDepth = Code(v); }, nullptr},
      {kCapLampWarmup, TWTY_INT32, Shape::kRange, false, Fit::kStep,
       [](const DeviceSettings&) {
         return Domain{{}, 0, 60, 5};
       },
       [](const DeviceSettings& s) { return double(s.lampWarmup); },
       [](const DeviceSettings&) { return double(Defaults().lampWarmup); },
       [](DeviceSettings& s, double v) { s.lampWarmup = static_cast<TW_INT32>(std::lround(v)); },
       nullptr},
  };

  std::vector<std::unique_ptr<Capability>> table;
  table.push_back(std::make_unique<ArrayCapability>(
      CAP_SUPPORTEDCAPS, true, [](const DeviceSettings&) { return SupportedCapabilities(); },
      [] { return SupportedCapabilities(); },
      [](DeviceSettings&, const ArrayCapability::Values&) {}));
  for (const NumericRow& row : numeric) table.push_back(std::make_unique<NumericCapability>(row));
  table.push_back(std::make_unique<TextCapability>());
  table.push_back(std::make_unique<FramesCapability>());
  table.push_back(std::make_unique<ArrayCapability>(
      kCapToneCurve, false, [](const DeviceSettings& s) { return s.toneCurve; },
      [] { return Defaults().toneCurve; },
      [](DeviceSettings& s, const ArrayCapability::Values& v) { s.toneCurve = v; }));
  return table;
}

const std::vector<std::unique_ptr<Capability>>& Table() {
  static const std::vector<std::unique_ptr<Capability>> table = BuildTable();
  return table;
}

#define SAMPLE_CAP_CODE(name, value) value,
constexpr TW_UINT16 kStandardCodes[] = {TWAIN_CAP_TABLE(SAMPLE_CAP_CODE)};
#undef SAMPLE_CAP_CODE

}  // namespace

const Capability* FindCapability(TW_UINT16 code) {
  for (const auto& capability : Table()) {
    if (capability->code() == code) return capability.get();
  }
  return nullptr;
}

std::vector<TW_UINT16> SupportedCapabilities() {
  std::vector<TW_UINT16> codes;
  for (const auto& capability : Table()) codes.push_back(capability->code());
  return codes;
}

bool KnownCapabilityCode(TW_UINT16 code) {
  return code >= CAP_CUSTOMBASE || std::find(std::begin(kStandardCodes), std::end(kStandardCodes),
                                             code) != std::end(kStandardCodes);
}

}  // namespace sample
