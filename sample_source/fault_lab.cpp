#include "sample_source/fault_lab.h"

#include "vocab/triplet_text.h"
#include "vocab/twain_names.h"

#include <charconv>

namespace sample {

const MisbehaviourEntry kMisbehaviours[kMisbehaviourCount] = {
    {Misbehaviour::kCrashGet,
     "crash-get",
     {FaultArg::kCapability, FaultArg::kNone},
     false,
     {0, 0},
     "access violation (a write through a null pointer) inside MSG_GET, MSG_GETCURRENT or "
     "MSG_GETDEFAULT of the capability"},
    {Misbehaviour::kFailCapability,
     "fail-cap",
     {FaultArg::kCapability, FaultArg::kCondition},
     false,
     {0, TWCC_BUMMER},
     "every triplet on the capability answers TWRC_FAILURE with the condition (TWCC_BUMMER if "
     "none is named)"},
    {Misbehaviour::kRefuseEnable,
     "refuse-enable",
     {FaultArg::kCondition, FaultArg::kNone},
     true,
     {TWCC_BUMMER, 0},
     "MSG_ENABLEDS answers TWRC_FAILURE with the condition (TWCC_BUMMER if none is named)"},
    {Misbehaviour::kCrashEnable,
     "crash-enable",
     {FaultArg::kNone, FaultArg::kNone},
     false,
     {0, 0},
     "access violation (a write through a null pointer) inside MSG_ENABLEDS"},
    {Misbehaviour::kEnableCheckStatus,
     "enable-checkstatus",
     {FaultArg::kNone, FaultArg::kNone},
     false,
     {0, 0},
     "MSG_ENABLEDS answers TWRC_CHECKSTATUS and the Source is enabled"},
    {Misbehaviour::kCloseAfterEnable,
     "close-after-enable",
     {FaultArg::kNone, FaultArg::kNone},
     false,
     {0, 0},
     "right after MSG_ENABLEDS the Source asks to be closed (MSG_CLOSEDSREQ)"},
    {Misbehaviour::kPendingUnknown,
     "pending-ffff",
     {FaultArg::kNone, FaultArg::kNone},
     false,
     {0, 0},
     "DAT_PENDINGXFERS reports a Count of 0xFFFF while images remain"},
    {Misbehaviour::kStripOverrun,
     "strip-overrun",
     {FaultArg::kNone, FaultArg::kNone},
     false,
     {0, 0},
     "memory strips claim 16 rows more than the buffer holds (Rows and BytesWritten past "
     "Memory.Length; the bytes written stay inside the buffer)"},
    {Misbehaviour::kStripOverlap,
     "strip-overlap",
     {FaultArg::kNone, FaultArg::kNone},
     false,
     {0, 0},
     "every memory strip after the first starts half a strip above where the last ended"},
    {Misbehaviour::kStripExtraRows,
     "strip-extra-rows",
     {FaultArg::kNone, FaultArg::kNone},
     false,
     {0, 0},
     "memory strips carry 16 rows more than DAT_IMAGEINFO's ImageLength before TWRC_XFERDONE"},
    {Misbehaviour::kContainerOvercount,
     "container-overcount",
     {FaultArg::kCapability, FaultArg::kNone},
     true,
     {kEveryCapability, 0},
     "enumeration and array containers claim 1000 items more than their block holds (for the "
     "capability, or for every one if none is named)"},
    {Misbehaviour::kBitmapHeaderLies,
     "bitmap-header-lies",
     {FaultArg::kNone, FaultArg::kNone},
     false,
     {0, 0},
     "the native bitmap's header claims twice its height and image size; the block holds the "
     "real image"},
    {Misbehaviour::kFileNotImage,
     "file-not-image",
     {FaultArg::kNone, FaultArg::kNone},
     false,
     {0, 0},
     "file transfers write a text file, neither BMP nor JPEG, whatever the format says"},
    {Misbehaviour::kPumpInTriplet,
     "pump-in-triplet",
     {FaultArg::kNone, FaultArg::kNone},
     false,
     {0, 0},
     "every triplet but MSG_PROCESSEVENT first dispatches the messages waiting in the thread's "
     "queue"},
    {Misbehaviour::kHandledFault,
     "handled-fault",
     {FaultArg::kNone, FaultArg::kNone},
     false,
     {0, 0},
     "every capability get first probes bad pointers (IsBadReadPtr, IsBadWritePtr, GlobalLock of "
     "a bogus handle), which handle their own faults, then answers normally"},
    {Misbehaviour::kRaiseException,
     "raise-exception",
     {FaultArg::kCode, FaultArg::kNone},
     true,
     {0xE0000001, 0},
     "RaiseException with the code (0xE0000001 if none is named) inside the gets of "
     "ICAP_PIXELTYPE, handled by nobody"},
    {Misbehaviour::kCxxThrow,
     "cxx-throw",
     {FaultArg::kNone, FaultArg::kNone},
     false,
     {0, 0},
     "a C++ throw as an MSVC-built Source raises it (0xE06D7363), leaving DS_Entry, inside the "
     "gets of ICAP_PIXELTYPE"},
    {Misbehaviour::kStackOverflow,
     "stack-overflow",
     {FaultArg::kNone, FaultArg::kNone},
     false,
     {0, 0},
     "endless recursion (a stack overflow) inside the gets of ICAP_PIXELTYPE, in every session"},
    {Misbehaviour::kFpOverflow,
     "fp-overflow",
     {FaultArg::kNone, FaultArg::kNone},
     false,
     {0, 0},
     "the gets of ICAP_PIXELTYPE unmask floating-point overflow, overflow, and leave it unmasked"},
    {Misbehaviour::kThreadFault,
     "thread-fault",
     {FaultArg::kNone, FaultArg::kNone},
     false,
     {0, 0},
     "the gets of ICAP_PIXELTYPE start a worker thread that writes through a null pointer"},
    {Misbehaviour::kHang,
     "hang",
     {FaultArg::kTriplet, FaultArg::kSeconds},
     false,
     {0, 600},
     "the gets of the capability (or MSG_ENABLEDS) do not return for the seconds (600 if none "
     "are named), pumping no messages"},
    {Misbehaviour::kBogusContainer,
     "bogus-container",
     {FaultArg::kCapability, FaultArg::kNone},
     false,
     {0, 0},
     "MSG_GET, MSG_GETCURRENT and MSG_GETDEFAULT of the capability answer TWRC_SUCCESS with "
     "hContainer 0x10, no handle at all"},
    {Misbehaviour::kHBitmap,
     "hbitmap",
     {FaultArg::kNone, FaultArg::kNone},
     false,
     {0, 0},
     "native transfers hand back a GDI bitmap (HBITMAP), left selected into the Source's device "
     "context, instead of a DIB in global memory"},
    {Misbehaviour::kOverrun,
     "overrun",
     {FaultArg::kRecord, FaultArg::kBytes},
     false,
     {0, 4},
     "every triplet of the DAT writes the bytes (4 if none are named, at most 32) past the end of "
     "the record it was handed"},
};

namespace {

std::optional<std::uint32_t> NumberOf(std::string_view text) {
  const bool hex = text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X');
  if (hex) text.remove_prefix(2);
  std::uint32_t value = 0;
  const auto [end, error] =
      std::from_chars(text.data(), text.data() + text.size(), value, hex ? 16 : 10);
  if (text.empty() || error != std::errc() || end != text.data() + text.size()) return {};
  return value;
}

// A name the vocabulary lists, or a number up to 0xFFFF.
std::optional<TW_UINT16> CodeOf(std::optional<int> (*byName)(std::string_view),
                                std::string_view text) {
  if (const std::optional<int> code = byName(text)) return static_cast<TW_UINT16>(*code);
  const std::optional<std::uint32_t> value = NumberOf(text);
  if (!value || *value > 0xFFFF) return std::nullopt;
  return static_cast<TW_UINT16>(*value);
}

std::optional<std::uint32_t> ArgOf(FaultArg kind, std::string_view text) {
  switch (kind) {
    case FaultArg::kCapability:
      return CapabilityCodeOf(text);
    case FaultArg::kCondition:
      return ConditionCodeOf(text);
    case FaultArg::kTriplet:
      if (text == "MSG_ENABLEDS") return kEnableTriplet;
      return CapabilityCodeOf(text);
    case FaultArg::kCode:
      return NumberOf(text);
    case FaultArg::kSeconds: {
      const std::optional<std::uint32_t> seconds = NumberOf(text);
      if (seconds && *seconds > 86400) return {};
      return seconds;
    }
    case FaultArg::kRecord:
      return DataArgumentCodeOf(text);
    case FaultArg::kBytes: {
      const std::optional<std::uint32_t> bytes = NumberOf(text);
      if (bytes && *bytes > kMaxOverrunBytes) return {};
      return bytes;
    }
    case FaultArg::kNone:
      break;
  }
  return {};
}

const char* ArgName(FaultArg kind) {
  constexpr const char* kNames[] = {"",        "CAP",     "CONDITION", "CODE",
                                    "TRIPLET", "SECONDS", "DAT",       "BYTES"};
  return kNames[static_cast<int>(kind)];
}

bool IsSeparator(char c) {
  return c == ',' || c == ';' || c == ' ' || c == '\t' || c == '\r' || c == '\n';
}

// Applies one "name[:arg[:arg]]" entry; false when it is not understood.
bool Apply(std::string_view entry, FaultSelection& selection) {
  std::vector<std::string_view> parts;
  for (std::size_t at = 0;;) {
    const std::size_t colon = entry.find(':', at);
    parts.push_back(entry.substr(at, colon == std::string_view::npos ? colon : colon - at));
    if (colon == std::string_view::npos) break;
    at = colon + 1;
  }
  for (const MisbehaviourEntry& m : kMisbehaviours) {
    if (parts[0] != m.name) continue;
    const std::size_t wanted = (m.args[0] != FaultArg::kNone) + (m.args[1] != FaultArg::kNone);
    const std::size_t given = parts.size() - 1;
    const std::size_t required =
        m.argsOptional ? 0 : static_cast<std::size_t>(m.args[0] != FaultArg::kNone);
    if (given > wanted || given < required) return false;
    std::array<std::uint32_t, 2> args{m.defaults[0], m.defaults[1]};
    for (std::size_t i = 0; i < given; ++i) {
      const std::optional<std::uint32_t> value = ArgOf(m.args[i], parts[i + 1]);
      if (!value) return false;
      args[i] = *value;
    }
    const auto index = static_cast<std::size_t>(m.id);
    selection.active.set(index);
    selection.args[index] = args;
    return true;
  }
  return false;
}

}  // namespace

std::optional<TW_UINT16> CapabilityCodeOf(std::string_view text) {
  return CodeOf(CapCode, text);
}

std::optional<TW_UINT16> ConditionCodeOf(std::string_view text) {
  return CodeOf(ConditionCodeByName, text);
}

std::optional<TW_UINT16> DataArgumentCodeOf(std::string_view text) {
  return CodeOf(DataArgTypeByName, text);
}

FaultParse ParseFaults(std::string_view text) {
  FaultParse parse;
  std::size_t at = 0;
  while (at < text.size()) {
    if (text[at] == '#') {
      at = text.find('\n', at);
      if (at == std::string_view::npos) break;
      continue;
    }
    if (IsSeparator(text[at])) {
      ++at;
      continue;
    }
    std::size_t end = at;
    while (end < text.size() && !IsSeparator(text[end]) && text[end] != '#') ++end;
    const std::string_view entry = text.substr(at, end - at);
    if (!Apply(entry, parse.selection)) parse.problems.emplace_back(entry);
    at = end;
  }
  return parse;
}

std::string FaultLabHelp() {
  std::string text =
      "Sample Fault Lab misbehaviours. Choose them with the environment variable "
      "VORREL_FAULT_LAB or the file vorrel_fault_lab.txt beside the Source, as a list such as "
      "\"crash-get:ICAP_PIXELTYPE, refuse-enable:TWCC_OPERATIONERROR\". CAP is a capability "
      "name or number, CONDITION a TWCC_ name or number.\r\n\r\n";
  for (const MisbehaviourEntry& m : kMisbehaviours) {
    text += m.name;
    for (FaultArg arg : m.args) {
      if (arg == FaultArg::kNone) continue;
      const bool optional = m.argsOptional || arg == FaultArg::kCondition ||
                            arg == FaultArg::kSeconds || arg == FaultArg::kBytes;
      text += optional ? "[:" : ":";
      text += ArgName(arg);
      if (optional) text += "]";
    }
    text += "\r\n    ";
    text += m.description;
    text += "\r\n";
  }
  return text;
}

}  // namespace sample
