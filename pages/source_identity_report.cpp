#include "pages/source_identity_report.h"

#include <cstdio>
#include <cstring>

#include "session/twain_session.h"

namespace {

struct GroupName {
  TW_UINT32 bit;
  const char* name;
};

constexpr GroupName kGroups[] = {
    {DG_CONTROL, " DG_CONTROL"}, {DG_IMAGE, " DG_IMAGE"}, {DG_AUDIO, " DG_AUDIO"}};

// Identity texts come from the Source and may fill all 34 bytes.
std::string Field(const char (&text)[34]) {
  return std::string(text, strnlen(text, sizeof(text)));
}

}  // namespace

std::string SupportedGroupsText(TW_UINT32 groups) {
  std::string text;
  for (const GroupName& group : kGroups) {
    if (groups & group.bit) text += group.name;
  }
  const std::size_t start = text.find_first_not_of(" \t\r\n");
  return start == std::string::npos ? std::string() : text.substr(start);
}

std::string SourceIdentityReport(const TW_IDENTITY& identity) {
  char report[1024];
  std::snprintf(report, sizeof(report),
                "               Id: 0x%08x\r\n"
                "      ProductName: \"%s\"\r\n"
                "    ProductFamily: \"%s\"\r\n"
                "     Manufacturer: \"%s\"\r\n"
                "         Protocol: %u.%u\r\n"
                "  SupportedGroups: 0x%x (%s)\r\n"
                "       Version...\r\n"
                "         MajorNum: %u\r\n"
                "         MinorNum: %u\r\n"
                "         Language: %u\r\n"
                "          Country: %u\r\n"
                "             Info: \"%s\"\r\n",
                static_cast<unsigned>(identity.Id), Field(identity.ProductName).c_str(),
                Field(identity.ProductFamily).c_str(), Field(identity.Manufacturer).c_str(),
                unsigned{identity.ProtocolMajor}, unsigned{identity.ProtocolMinor},
                static_cast<unsigned>(identity.SupportedGroups),
                SupportedGroupsText(identity.SupportedGroups).c_str(),
                unsigned{identity.Version.MajorNum}, unsigned{identity.Version.MinorNum},
                unsigned{identity.Version.Language}, unsigned{identity.Version.Country},
                Field(identity.Version.Info).c_str());
  return report;
}

std::optional<std::string> SourcePageText(int newState, int shownState) {
  if (newState == shownState) return std::nullopt;
  if (newState < 4) return std::string(kNoSourceText);
  if (newState == 4) {
    TW_IDENTITY identity{};
    TWAIN_CopySourceIdentity(&identity);
    return SourceIdentityReport(identity);
  }
  return std::nullopt;
}
