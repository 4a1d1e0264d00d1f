#include "vocab/triplet_text.h"

#include <cstdio>

namespace {

struct CodeName {
  TW_UINT32 code;
  const char* name;
};

#define TWAIN_NAME_ROW(name, value) {value, #name},
constexpr CodeName kDataGroups[] = {
    {DG_CONTROL, "DG_CONTROL"}, {DG_IMAGE, "DG_IMAGE"}, {DG_AUDIO, "DG_AUDIO"}};
constexpr CodeName kDataArgTypes[] = {TWAIN_DAT_TABLE(TWAIN_NAME_ROW)};
constexpr CodeName kMessages[] = {TWAIN_MSG_TABLE(TWAIN_NAME_ROW)};
#undef TWAIN_NAME_ROW

template <std::size_t N>
std::string Lookup(const CodeName (&table)[N], TW_UINT32 code, const char* fallback) {
  for (const CodeName& row : table) {
    if (row.code == code) return row.name;
  }
  char text[32];
  std::snprintf(text, sizeof(text), fallback, static_cast<unsigned>(code));
  return text;
}

}  // namespace

std::string DataGroupName(TW_UINT32 dg) {
  return Lookup(kDataGroups, dg, "DG_0x%04x");
}
std::string DataArgTypeName(TW_UINT16 dat) {
  return Lookup(kDataArgTypes, dat, "DAT_0x%04x");
}
std::string MessageName(TW_UINT16 msg) {
  return Lookup(kMessages, msg, "MSG_0x%04x");
}

std::string TripletText(TW_UINT32 dg, TW_UINT16 dat, TW_UINT16 msg) {
  return DataGroupName(dg) + " / " + DataArgTypeName(dat) + " / " + MessageName(msg);
}
