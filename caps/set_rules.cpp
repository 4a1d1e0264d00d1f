#include "caps/set_rules.h"

#include <cstddef>

#include "twain/twain.h"

namespace {

struct SetRuleRow {
  TW_UINT16 cap;
  SetRule rule;
};

constexpr int kOne = kSetOneValue;
constexpr int kEnumOne = kSetEnumeration | kSetOneValue;
constexpr int kEnumOneRange = kSetEnumeration | kSetOneValue | kSetRange;

constexpr SetRuleRow kSetRules[] = {
    {CAP_XFERCOUNT, {TWTY_INT16, kOne, TWON_ONEVALUE}},
    {ICAP_COMPRESSION, {TWTY_UINT16, kEnumOne, TWON_ONEVALUE}},
    {ICAP_PIXELTYPE, {TWTY_UINT16, kEnumOne, TWON_ONEVALUE}},
    {ICAP_UNITS, {TWTY_UINT16, kEnumOne, TWON_ONEVALUE}},
    {ICAP_XFERMECH, {TWTY_UINT16, kEnumOne, TWON_ONEVALUE}},
    {ICAP_IMAGEFILEFORMAT, {TWTY_UINT16, kEnumOne, TWON_ONEVALUE}},
    {ICAP_LIGHTSOURCE, {TWTY_UINT16, kEnumOne, TWON_ONEVALUE}},
    {ICAP_ORIENTATION, {TWTY_UINT16, kEnumOne, TWON_ONEVALUE}},
    {ICAP_PLANARCHUNKY, {TWTY_UINT16, kEnumOne, TWON_ONEVALUE}},
    {ICAP_SUPPORTEDSIZES, {TWTY_UINT16, kEnumOne, TWON_ONEVALUE}},
    {ICAP_JPEGPIXELTYPE, {TWTY_UINT16, kEnumOne, TWON_ONEVALUE}},
    {ICAP_BITDEPTH, {TWTY_UINT16, kEnumOne, TWON_ONEVALUE}},
    {ICAP_BITDEPTHREDUCTION, {TWTY_UINT16, kEnumOne, TWON_ONEVALUE}},
    {CAP_AUTHOR, {TWTY_STR128, kOne, TWON_ONEVALUE}},
    {CAP_CAPTION, {TWTY_STR255, kOne, TWON_ONEVALUE}},
    {CAP_FEEDERENABLED, {TWTY_BOOL, kOne, TWON_ONEVALUE}},
    {CAP_AUTOFEED, {TWTY_BOOL, kOne, TWON_ONEVALUE}},
    {CAP_CLEARPAGE, {TWTY_BOOL, kOne, TWON_ONEVALUE}},
    {CAP_FEEDPAGE, {TWTY_BOOL, kOne, TWON_ONEVALUE}},
    {CAP_REWINDPAGE, {TWTY_BOOL, kOne, TWON_ONEVALUE}},
    {CAP_INDICATORS, {TWTY_BOOL, kOne, TWON_ONEVALUE}},
    {CAP_THUMBNAILSENABLED, {TWTY_BOOL, kOne, TWON_ONEVALUE}},
    {CAP_DUPLEXENABLED, {TWTY_BOOL, kOne, TWON_ONEVALUE}},
    {ICAP_AUTOBRIGHT, {TWTY_BOOL, kOne, TWON_ONEVALUE}},
    {ICAP_FLASHUSED, {TWTY_BOOL, kOne, TWON_ONEVALUE}},
    {ICAP_LAMPSTATE, {TWTY_BOOL, kOne, TWON_ONEVALUE}},
    {ICAP_TILES, {TWTY_BOOL, kOne, TWON_ONEVALUE}},
    {ICAP_UNDEFINEDIMAGESIZE, {TWTY_BOOL, kOne, TWON_ONEVALUE}},
    {ICAP_EXTIMAGEINFO, {TWTY_BOOL, kOne, TWON_ONEVALUE}},
    {CAP_ENDORSER, {TWTY_UINT32, kOne, TWON_ONEVALUE}},
    {CAP_JOBCONTROL, {TWTY_UINT16, kOne, TWON_ONEVALUE}},
    {ICAP_MAXFRAMES, {TWTY_UINT16, kOne, TWON_ONEVALUE}},
    {ICAP_LIGHTPATH, {TWTY_UINT16, kOne, TWON_ONEVALUE}},
    {ICAP_PIXELFLAVOR, {TWTY_UINT16, kOne, TWON_ONEVALUE}},
    {ICAP_PIXELFLAVORCODES, {TWTY_UINT16, kOne, TWON_ONEVALUE}},
    {ICAP_TIMEFILL, {TWTY_UINT16, kOne, TWON_ONEVALUE}},
    {CAP_EXTENDEDCAPS, {TWTY_UINT16, kSetArray, TWON_ARRAY}},
    {ICAP_CUSTHALFTONE, {TWTY_UINT8, kSetArray, TWON_ARRAY}},
    {ICAP_FILTER, {TWTY_UINT16, kSetArray | kSetOneValue, TWON_ONEVALUE}},
    {ICAP_BRIGHTNESS, {TWTY_FIX32, kEnumOneRange, TWON_ONEVALUE}},
    {ICAP_CONTRAST, {TWTY_FIX32, kEnumOneRange, TWON_ONEVALUE}},
    {ICAP_EXPOSURETIME, {TWTY_FIX32, kEnumOneRange, TWON_ONEVALUE}},
    {ICAP_HIGHLIGHT, {TWTY_FIX32, kEnumOneRange, TWON_ONEVALUE}},
    {ICAP_SHADOW, {TWTY_FIX32, kEnumOneRange, TWON_ONEVALUE}},
    {ICAP_XRESOLUTION, {TWTY_FIX32, kEnumOneRange, TWON_ONEVALUE}},
    {ICAP_YRESOLUTION, {TWTY_FIX32, kEnumOneRange, TWON_ONEVALUE}},
    {ICAP_THRESHOLD, {TWTY_FIX32, kEnumOneRange, TWON_ONEVALUE}},
    {ICAP_XSCALING, {TWTY_FIX32, kEnumOneRange, TWON_ONEVALUE}},
    {ICAP_YSCALING, {TWTY_FIX32, kEnumOneRange, TWON_ONEVALUE}},
    {ICAP_GAMMA, {TWTY_FIX32, kOne, TWON_ONEVALUE}},
    {ICAP_ROTATION, {TWTY_FIX32, kOne, TWON_ONEVALUE}},
    {ICAP_HALFTONES, {TWTY_STR32, kEnumOne, TWON_ONEVALUE}},
    {ICAP_FRAMES, {TWTY_FRAME, kEnumOne, TWON_ONEVALUE}},
    {ICAP_IMAGEDATASET, {TWTY_UINT32, kSetArray | kSetOneValue | kSetRange, TWON_ONEVALUE}},
    // Read-only: the item type shows, nothing is offered.
    {CAP_FEEDERLOADED, {TWTY_BOOL, 0, TWON_ONEVALUE}},
    {CAP_PAPERDETECTABLE, {TWTY_BOOL, 0, TWON_ONEVALUE}},
    {CAP_UICONTROLLABLE, {TWTY_BOOL, 0, TWON_ONEVALUE}},
    {CAP_DEVICEONLINE, {TWTY_BOOL, 0, TWON_ONEVALUE}},
    {CAP_ENABLEDSUIONLY, {TWTY_BOOL, 0, TWON_ONEVALUE}},
    {CAP_CUSTOMDSDATA, {TWTY_BOOL, 0, TWON_ONEVALUE}},
    {CAP_TIMEDATE, {TWTY_STR32, 0, TWON_ONEVALUE}},
    {CAP_SUPPORTEDCAPS, {TWTY_UINT16, 0, TWON_ONEVALUE}},
    {CAP_DUPLEX, {TWTY_UINT16, 0, TWON_ONEVALUE}},
    {ICAP_PHYSICALWIDTH, {TWTY_FIX32, 0, TWON_ONEVALUE}},
    {ICAP_PHYSICALHEIGHT, {TWTY_FIX32, 0, TWON_ONEVALUE}},
    {ICAP_XNATIVERESOLUTION, {TWTY_FIX32, 0, TWON_ONEVALUE}},
    {ICAP_YNATIVERESOLUTION, {TWTY_FIX32, 0, TWON_ONEVALUE}},
    {ICAP_MINIMUMHEIGHT, {TWTY_FIX32, 0, TWON_ONEVALUE}},
    {ICAP_MINIMUMWIDTH, {TWTY_FIX32, 0, TWON_ONEVALUE}},
};

constexpr SetRule kLearnedRule{0, kSetArray | kSetEnumeration | kSetOneValue | kSetRange,
                               TWON_ONEVALUE};
constexpr SetRule kOtherRule{TWTY_UINT16, kSetOneValue, TWON_ONEVALUE};

struct Registry {
  std::uint32_t caps[kItemTypeRegistrySize] = {};
  std::uint32_t itemTypes[kItemTypeRegistrySize] = {};
  int count = 0;
};

Registry g_registry;

}  // namespace

SetRule LookupSetRule(int cap) {
  for (const SetRuleRow& row : kSetRules) {
    if (row.cap == cap) return row.rule;
  }
  const int learned = RegisteredItemType(static_cast<std::uint32_t>(cap));
  if (learned >= 0) {
    SetRule rule = kLearnedRule;
    rule.itemType = learned;
    return rule;
  }
  return kOtherRule;
}

void RegisterItemType(std::uint32_t cap, std::uint32_t itemType) {
  if (g_registry.count >= kItemTypeRegistrySize) return;
  g_registry.caps[g_registry.count] = cap;
  g_registry.itemTypes[g_registry.count] = itemType;
  ++g_registry.count;
}

int RegisteredItemTypeCount() {
  return g_registry.count;
}

int RegisteredItemType(std::uint32_t cap) {
  for (int i = 0; i < g_registry.count; ++i) {
    if (g_registry.caps[i] == cap) return static_cast<int>(g_registry.itemTypes[i]);
  }
  return -1;
}

void ResetItemTypeRegistry() {
  g_registry = Registry{};
}
