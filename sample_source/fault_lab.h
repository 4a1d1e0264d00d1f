// The Fault Lab's misbehaviours: one table of named entries, chosen by a
// text such as "crash-get:ICAP_PIXELTYPE, refuse-enable" that comes from the
// environment variable VORREL_FAULT_LAB or the file vorrel_fault_lab.txt
// beside the DLL. Only the "Sample Fault Lab" identity acts on them.
#pragma once

#include <array>
#include <bitset>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "twain/twain.h"

namespace sample {

enum class Misbehaviour {
  kCrashGet,
  kFailCapability,
  kRefuseEnable,
  kCrashEnable,
  kEnableCheckStatus,
  kCloseAfterEnable,
  kPendingUnknown,
  kStripOverrun,
  kStripOverlap,
  kStripExtraRows,
  kContainerOvercount,
  kBitmapHeaderLies,
  kFileNotImage,
  kPumpInTriplet,
  kHandledFault,
  kRaiseException,
  kCxxThrow,
  kStackOverflow,
  kFpOverflow,
  kThreadFault,
  kHang,
  kBogusContainer,
  kHBitmap,
  kOverrun,
  kCount
};
constexpr std::size_t kMisbehaviourCount = static_cast<std::size_t>(Misbehaviour::kCount);

// kCode is an exception code; kTriplet a capability (its gets) or
// MSG_ENABLEDS; kSeconds a whole number of seconds; kRecord a DAT name or
// number; kBytes a count of bytes up to kMaxOverrunBytes.
enum class FaultArg { kNone, kCapability, kCondition, kCode, kTriplet, kSeconds, kRecord, kBytes };

struct MisbehaviourEntry {
  Misbehaviour id;
  const char* name;
  FaultArg args[2];
  bool argsOptional;
  std::uint32_t defaults[2];  // what an omitted argument means
  const char* description;
};
extern const MisbehaviourEntry kMisbehaviours[kMisbehaviourCount];

// Rows a strip claims beyond what fits or what the image has.
constexpr int kExtraRows = 16;
// Items a container claims beyond those its block holds.
constexpr TW_UINT32 kExtraItems = 1000;
// For container-overcount: no capability named means every capability.
constexpr TW_UINT16 kEveryCapability = 0;
// What overrun may write past a record.
constexpr std::uint32_t kMaxOverrunBytes = 32;
// hang:MSG_ENABLEDS, beside the capability codes a hang may name.
constexpr std::uint32_t kEnableTriplet = 0x10000;

struct FaultSelection {
  std::bitset<kMisbehaviourCount> active;
  std::array<std::array<std::uint32_t, 2>, kMisbehaviourCount> args{};

  bool Has(Misbehaviour m) const { return active.test(static_cast<std::size_t>(m)); }
  std::uint32_t Arg(Misbehaviour m, int i) const { return args[static_cast<std::size_t>(m)][i]; }
  // Has(m) and its capability argument is `cap` (or every capability).
  bool HasFor(Misbehaviour m, std::uint32_t cap) const {
    return Has(m) && (Arg(m, 0) == cap || Arg(m, 0) == kEveryCapability);
  }
};

struct FaultParse {
  FaultSelection selection;
  std::vector<std::string> problems;  // entries that were not understood
};

// Entries are separated by commas, semicolons or white space; "#" starts a
// comment that runs to the end of the line.
FaultParse ParseFaults(std::string_view text);
// The list of misbehaviours with their arguments, one per line.
std::string FaultLabHelp();

// "ICAP_PIXELTYPE", "0x0101" or "257"; "TWCC_BADVALUE" or "10".
std::optional<TW_UINT16> CapabilityCodeOf(std::string_view text);
std::optional<TW_UINT16> ConditionCodeOf(std::string_view text);
std::optional<TW_UINT16> DataArgumentCodeOf(std::string_view text);

}  // namespace sample
