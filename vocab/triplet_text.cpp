#include "vocab/triplet_text.h"

#include "vocab/code_table.h"
#include "vocab/number_text.h"

namespace {

#define TWAIN_NAME_ROW(name, value) {value, #name},
constexpr CodeName kDataGroups[] = {
    {DG_CONTROL, "DG_CONTROL"}, {DG_IMAGE, "DG_IMAGE"}, {DG_AUDIO, "DG_AUDIO"}};
constexpr CodeName kDataArgTypes[] = {TWAIN_DAT_TABLE(TWAIN_NAME_ROW)};
constexpr CodeName kMessages[] = {TWAIN_MSG_TABLE(TWAIN_NAME_ROW)};
#undef TWAIN_NAME_ROW
static_assert(SortedByCode(kDataGroups));
static_assert(SortedByCode(kDataArgTypes));
static_assert(SortedByCode(kMessages));

template <std::size_t N>
std::string Lookup(const CodeName (&table)[N], TW_UINT32 code, const char* fallback) {
  if (const char* name = FindName(table, code)) return name;
  return FormatText(fallback, static_cast<unsigned>(code));
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

const char* KnownDataGroupName(TW_UINT32 dg) {
  return FindName(kDataGroups, dg);
}
const char* KnownDataArgTypeName(TW_UINT16 dat) {
  return FindName(kDataArgTypes, dat);
}
const char* KnownMessageName(TW_UINT16 msg) {
  return FindName(kMessages, msg);
}

std::optional<int> DataGroupByName(std::string_view name) {
  return CodeByName(kDataGroups, name);
}
std::optional<int> DataArgTypeByName(std::string_view name) {
  return CodeByName(kDataArgTypes, name);
}
std::optional<int> MessageByName(std::string_view name) {
  return CodeByName(kMessages, name);
}

std::string TripletText(TW_UINT32 dg, TW_UINT16 dat, TW_UINT16 msg) {
  return DataGroupName(dg) + " / " + DataArgTypeName(dat) + " / " + MessageName(msg);
}
