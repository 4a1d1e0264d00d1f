#include "vocab/twain_names.h"

#include <algorithm>
#include <cctype>
#include <span>

#include "vocab/code_table.h"
#include "vocab/number_text.h"

namespace {

#define TWAIN_NAME_ROW(name, value) {value, #name},
constexpr CodeName kCapNames[] = {TWAIN_CAP_TABLE(TWAIN_NAME_ROW)};
constexpr CodeName kResultCodeNames[] = {TWAIN_RC_TABLE(TWAIN_NAME_ROW)};
constexpr CodeName kConditionCodeNames[] = {TWAIN_CC_TABLE(TWAIN_NAME_ROW)};
#undef TWAIN_NAME_ROW
static_assert(std::size(kCapNames) == 114);
static_assert(SortedByCode(kCapNames));
static_assert(SortedByCode(kResultCodeNames));
static_assert(SortedByCode(kConditionCodeNames));

// Capability constants, each array indexed by the constant's value.
constexpr const char* kCompression[] = {
    "TWCP_NONE",   "TWCP_PACKBITS", "TWCP_GROUP31D", "TWCP_GROUP31DEOL", "TWCP_GROUP32D",
    "TWCP_GROUP4", "TWCP_JPEG",     "TWCP_LZW",      "TWCP_JBIG",        "TWCP_PNG",
    "TWCP_RLE4",   "TWCP_RLE8",     "TWCP_BITFIELDS"};
constexpr const char* kPixelType[] = {"TWPT_BW",     "TWPT_GRAY", "TWPT_RGB", "TWPT_PALETTE",
                                      "TWPT_CMY",    "TWPT_CMYK", "TWPT_YUV", "TWPT_YUVK",
                                      "TWPT_CIEXYZ", "TWPT_LAB"};
constexpr const char* kUnits[] = {"TWUN_INCHES", "TWUN_CENTIMETERS", "TWUN_PICAS",
                                  "TWUN_POINTS", "TWUN_TWIPS",       "TWUN_PIXELS"};
constexpr const char* kXferMech[] = {"TWSX_NATIVE", "TWSX_FILE", "TWSX_MEMORY"};
constexpr const char* kDuplex[] = {"TWDX_NONE", "TWDX_1PASSDUPLEX", "TWDX_2PASSDUPLEX"};
constexpr const char* kFilter[] = {"TWFT_RED",     "TWFT_GREEN",  "TWFT_BLUE",
                                   "TWFT_NONE",    "TWFT_WHITE",  "TWFT_CYAN",
                                   "TWFT_MAGENTA", "TWFT_YELLOW", "TWFT_BLACK"};
constexpr const char* kImageFileFormat[] = {"TWFF_TIFF",  "TWFF_PICT", "TWFF_BMP",       "TWFF_XBM",
                                            "TWFF_JFIF",  "TWFF_FPX",  "TWFF_TIFFMULTI", "TWFF_PNG",
                                            "TWFF_SPIFF", "TWFF_EXIF"};
constexpr const char* kLightSource[] = {"TWLS_RED",   "TWLS_GREEN", "TWLS_BLUE", "TWLS_NONE",
                                        "TWLS_WHITE", "TWLS_UV",    "TWLS_IR"};
constexpr const char* kOrientation[] = {"TWOR_ROT0 (PORTRAIT)", "TWOR_ROT90", "TWOR_ROT180",
                                        "TWOR_ROT270 (LANDSCAPE)"};
constexpr const char* kBitOrder[] = {"TWBO_LSBFIRST", "TWBO_MSBFIRST"};
constexpr const char* kLightPath[] = {"TWLP_REFLECTIVE", "TWLP_TRANSMISSIVE"};
constexpr const char* kPixelFlavor[] = {"TWPF_CHOCOLATE", "TWPF_VANILLA"};
constexpr const char* kPlanarChunky[] = {"TWPC_CHUNKY", "TWPC_PLANAR"};
constexpr const char* kSupportedSizes[] = {"TWSS_NONE",
                                           "TWSS_A4(TWSS_A4LETTER)",
                                           "TWSS_B5LETTER/TWSS_JISB5",
                                           "TWSS_USLETTER",
                                           "TWSS_USLEGAL",
                                           "TWSS_A5",
                                           "TWSS_ISOB4(TWSS_B4)",
                                           "TWSS_ISOB6(TWSS_B6)",
                                           "illegal(8)",
                                           "TWSS_USLEDGER",
                                           "TWSS_USEXECUTIVE",
                                           "TWSS_A3",
                                           "TWSS_ISOB3(TWSS_B3)",
                                           "TWSS_A6",
                                           "TWSS_C4",
                                           "TWSS_C5",
                                           "TWSS_C6",
                                           "TWSS_4A0",
                                           "TWSS_2A0",
                                           "TWSS_A0",
                                           "TWSS_A1",
                                           "TWSS_A2",
                                           "TWSS_A7",
                                           "TWSS_A8",
                                           "TWSS_A9",
                                           "TWSS_A10",
                                           "TWSS_ISOB0",
                                           "TWSS_ISOB1",
                                           "TWSS_ISOB2",
                                           "TWSS_ISOB5",
                                           "TWSS_ISOB7",
                                           "TWSS_ISOB8",
                                           "TWSS_ISOB9",
                                           "TWSS_ISOB10",
                                           "TWSS_JISB0",
                                           "TWSS_JISB1",
                                           "TWSS_JISB2",
                                           "TWSS_JISB3",
                                           "TWSS_JISB4",
                                           "TWSS_JISB6",
                                           "TWSS_JISB7",
                                           "TWSS_JISB8",
                                           "TWSS_JISB9",
                                           "TWSS_JISB10",
                                           "TWSS_C0",
                                           "TWSS_C1",
                                           "TWSS_C2",
                                           "TWSS_C3",
                                           "TWSS_C7",
                                           "TWSS_C8",
                                           "TWSS_C9",
                                           "TWSS_C10",
                                           "TWSS_USSTATEMENT",
                                           "TWSS_BUSINESSCARD"};
constexpr const char* kBitDepthReduction[] = {"TWBR_THRESHOLD", "TWBR_HALFTONE",
                                              "TWBR_CUSTHALFTONE", "TWBR_DIFFUSION"};
static_assert(std::size(kSupportedSizes) == 54);

struct ConstantTable {
  TW_UINT32 code;  // the capability
  std::span<const char* const> names;
};

constexpr ConstantTable kConstantTables[] = {
    {ICAP_COMPRESSION, kCompression},
    {ICAP_PIXELTYPE, kPixelType},
    {ICAP_UNITS, kUnits},
    {ICAP_XFERMECH, kXferMech},
    {CAP_DUPLEX, kDuplex},
    {ICAP_FILTER, kFilter},
    {ICAP_IMAGEFILEFORMAT, kImageFileFormat},
    {ICAP_LIGHTSOURCE, kLightSource},
    {ICAP_ORIENTATION, kOrientation},
    {ICAP_BITORDER, kBitOrder},
    {ICAP_LIGHTPATH, kLightPath},
    {ICAP_PIXELFLAVOR, kPixelFlavor},
    {ICAP_PLANARCHUNKY, kPlanarChunky},
    {ICAP_SUPPORTEDSIZES, kSupportedSizes},
    {ICAP_PIXELFLAVORCODES, kPixelFlavor},
    {ICAP_JPEGPIXELTYPE, kPixelType},
    {ICAP_BITDEPTHREDUCTION, kBitDepthReduction},
};
static_assert(SortedByCode(kConstantTables));

// Capabilities whose values are capability codes.
constexpr TW_UINT32 kCapabilityLists[] = {CAP_SUPPORTEDCAPS, CAP_EXTENDEDCAPS,
                                          CAP_SUPPORTEDCAPSEXT};

constexpr const char* kItemTypeNames[] = {"int8",   "int16",  "int32", "uint8", "uint16",
                                          "uint32", "bool",   "fix32", "frame", "str32",
                                          "str64",  "str128", "str255"};
static_assert(std::size(kItemTypeNames) == TWTY_STR255 + 1);

struct UnitNames {
  const char* singular;
  const char* plural;
};
constexpr UnitNames kUnitNames[] = {{"inch", "inches"}, {"cm", "cm"},      {"pica", "picas"},
                                    {"pt", "pts"},      {"twip", "twips"}, {"pixel", "pixels"}};
static_assert(std::size(kUnitNames) == TWUN_PIXELS + 1);

// Array lookups take the code as unsigned, so a negative code is outside.
template <typename Rows>
auto At(const Rows& rows, int code) -> decltype(&rows[0]) {
  const auto index = static_cast<unsigned>(code);
  return index < std::size(rows) ? &rows[index] : nullptr;
}

std::string NameOr(const char* name, const char* fallback, int code) {
  if (name) return name;
  return FormatText(fallback, static_cast<unsigned>(code));
}

}  // namespace

std::string CapName(int cap) {
  if (const char* name = KnownCapName(cap)) return name;
  const auto code = static_cast<unsigned>(cap);
  return FormatText(code < CAP_CUSTOMBASE ? "0x%04x" : "CAP_0x%04x", code);
}

bool EqualIgnoringCase(std::string_view a, std::string_view b) {
  return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
           return std::tolower(static_cast<unsigned char>(x)) ==
                  std::tolower(static_cast<unsigned char>(y));
         });
}

bool StartsWithIgnoringCase(std::string_view text, std::string_view prefix) {
  // substr clamps, so a shorter text compares unequal by its size.
  return EqualIgnoringCase(text.substr(0, prefix.size()), prefix);
}

std::optional<int> CodeByName(std::span<const CodeName> table, std::string_view name) {
  for (const CodeName& row : table) {
    if (EqualIgnoringCase(row.name, name)) return static_cast<int>(row.code);
  }
  return std::nullopt;
}

std::optional<int> CapCode(std::string_view name) {
  return CodeByName(kCapNames, name);
}

std::optional<int> ResultCodeByName(std::string_view name) {
  return CodeByName(kResultCodeNames, name);
}

std::optional<int> ConditionCodeByName(std::string_view name) {
  return CodeByName(kConditionCodeNames, name);
}

const char* KnownCapName(int cap) {
  return FindName(kCapNames, static_cast<unsigned>(cap));
}

std::span<const CodeName> KnownCapNames() {
  return kCapNames;
}

std::optional<std::string> ConstantName(int cap, int value) {
  const auto code = static_cast<TW_UINT32>(cap);
  if (std::find(std::begin(kCapabilityLists), std::end(kCapabilityLists), code) !=
      std::end(kCapabilityLists)) {
    return CapName(value);
  }
  const ConstantTable* table = FindCode(kConstantTables, code);
  if (!table) return std::nullopt;
  const char* const* name = At(table->names, value);
  if (!name) return std::nullopt;
  return std::string(*name);
}

std::string ItemTypeName(int itemType) {
  const char* const* name = At(kItemTypeNames, itemType);
  return NameOr(name ? *name : nullptr, "<type 0x%x?>", itemType);
}

std::string UnitName(int unit) {
  const UnitNames* names = At(kUnitNames, unit);
  return names ? names->singular : "?";
}

std::string UnitNamePlural(int unit) {
  const UnitNames* names = At(kUnitNames, unit);
  return names ? names->plural : "?";
}

std::string ResultCodeName(int rc) {
  return NameOr(FindName(kResultCodeNames, static_cast<TW_UINT32>(rc)), "<rc %u?>", rc);
}

std::string ConditionCodeName(int cc) {
  return NameOr(FindName(kConditionCodeNames, static_cast<TW_UINT32>(cc)), "<cc %u?>", cc);
}
