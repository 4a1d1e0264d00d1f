#include "trace/trace_reader.h"

#include <charconv>
#include <cstdio>
#include <cstring>
#include <vector>

#include "vocab/number_text.h"
#include "vocab/triplet_text.h"
#include "vocab/twain_names.h"

namespace {

std::vector<std::string_view> Words(std::string_view line) {
  std::vector<std::string_view> words;
  std::size_t at = 0;
  while (at <= line.size()) {
    const std::size_t end = std::min(line.find(' ', at), line.size());
    words.push_back(line.substr(at, end - at));
    at = end + 1;
  }
  return words;
}

template <typename T>
std::optional<T> Number(std::string_view text, int base = 10) {
  T value{};
  if (text.empty() || text[0] == '+' || text[0] == '-') return std::nullopt;
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value, base);
  if (error != std::errc() || end != text.data() + text.size()) return std::nullopt;
  return value;
}

// A listed name, or the prefix then "0x" and hex digits as the names give
// for a code no table lists.
std::optional<std::uint32_t> Code(std::string_view word,
                                  std::optional<int> (*byName)(std::string_view),
                                  std::string_view prefix) {
  if (const std::optional<int> code = byName(word)) return static_cast<std::uint32_t>(*code);
  if (!word.starts_with(prefix) || !word.substr(prefix.size()).starts_with("0x"))
    return std::nullopt;
  return Number<std::uint32_t>(word.substr(prefix.size() + 2), 16);
}

std::optional<TW_UINT16> Code16(std::optional<std::uint32_t> code) {
  if (!code || *code > 0xFFFF) return std::nullopt;
  return static_cast<TW_UINT16>(*code);
}

std::optional<TW_UINT16> CapWord(std::string_view word) {
  if (const std::optional<int> cap = CapCode(word)) return static_cast<TW_UINT16>(*cap);
  for (std::string_view prefix : {"CAP_0x", "0x"}) {
    if (word.starts_with(prefix))
      return Code16(Number<std::uint32_t>(word.substr(prefix.size()), 16));
  }
  return std::nullopt;
}

std::optional<TW_UINT16> ResultWord(std::string_view word) {
  if (const std::optional<int> rc = ResultCodeByName(word)) return static_cast<TW_UINT16>(*rc);
  if (!word.starts_with("TWRC_0x")) return std::nullopt;
  return Code16(Number<std::uint32_t>(word.substr(7), 16));
}

std::optional<TW_UINT16> ConditionWord(std::string_view word) {
  if (const std::optional<int> cc = ConditionCodeByName(word)) return static_cast<TW_UINT16>(*cc);
  if (!word.starts_with("TWCC_0x")) return std::nullopt;
  return Code16(Number<std::uint32_t>(word.substr(7), 16));
}

// "0.153s" as milliseconds.
std::optional<std::uint32_t> Millis(std::string_view word) {
  const std::size_t dot = word.find('.');
  if (dot == std::string_view::npos || word.size() != dot + 5 || word.back() != 's')
    return std::nullopt;
  const auto seconds = Number<std::uint32_t>(word.substr(0, dot));
  const auto fraction = Number<std::uint32_t>(word.substr(dot + 1, 3));
  if (!seconds || !fraction || *seconds > (0xFFFFFFFFu - 999) / 1000) return std::nullopt;
  return *seconds * 1000 + *fraction;
}

bool Hex(std::string_view text, std::vector<std::uint8_t>& bytes) {
  if (text.size() % 2) return false;
  bytes.resize(text.size() / 2);
  for (std::size_t i = 0; i < bytes.size(); ++i) {
    const auto byte = Number<std::uint8_t>(text.substr(2 * i, 2), 16);
    if (!byte) return false;
    bytes[i] = *byte;
  }
  return true;
}

class Reader {
 public:
  explicit Reader(std::string_view text) : text_(text) {}

  TraceReadResult Read() {
    TraceReadResult result;
    Trace trace;
    if (!ReadAll(trace)) {
      result.errorLine = line_;
      result.error = FormatText("line %d: ", line_) + error_;
      return result;
    }
    result.trace = std::move(trace);
    return result;
  }

 private:
  bool Fail(std::string what) {
    error_ = std::move(what);
    return false;
  }

  // The next line without its newline; `ended` says whether it had one.
  bool NextLine(std::string_view& line, bool& ended) {
    ++line_;
    const std::size_t window = std::min(text_.size() - at_, kMaxTraceLineBytes + 1);
    const void* newline = std::memchr(text_.data() + at_, '\n', window);
    if (!newline && window > kMaxTraceLineBytes)
      return Fail(FormatText("longer than %llu bytes",
                             static_cast<unsigned long long>(kMaxTraceLineBytes)));
    const std::size_t end =
        newline ? static_cast<std::size_t>(static_cast<const char*>(newline) - text_.data())
                : text_.size();
    line = text_.substr(at_, end - at_);
    ended = newline != nullptr;
    at_ = newline ? end + 1 : end;
    return true;
  }

  bool AtEnd() const { return at_ >= text_.size(); }

  bool ReadAll(Trace& trace) {
    std::string_view line;
    bool ended = false;
    if (AtEnd()) {
      line_ = 1;
      return Fail("empty: not a trace");
    }
    if (!NextLine(line, ended)) return false;
    const std::vector<std::string_view> magic = Words(line);
    if (magic.size() != 2 || magic[0] != kTraceMagic || !ended) return Fail("not a trace");
    if (magic[1] != FormatText("%d", kTraceVersion))
      return Fail("trace version " + std::string(magic[1]) + " is not one this build reads");
    bool inHeader = true;
    while (!AtEnd()) {
      if (!NextLine(line, ended)) return false;
      const bool bodyLine = line.starts_with('#') || line.starts_with("unclaimed-events ") ||
                            line.starts_with("  ") || line.starts_with("blob ");
      if (inHeader && !bodyLine) {
        if (!ended) return Fail("truncated");
        if (!HeaderLine(line, trace.machine)) return false;
        continue;
      }
      if (inHeader && !pointerBytesSeen_) return Fail("the header lacks pointer-bytes");
      inHeader = false;
      if (!BodyLine(line, ended, trace)) return false;
    }
    return true;
  }

  bool HeaderLine(std::string_view line, TraceMachine& machine) {
    const std::size_t space = line.find(' ');
    const std::string_view key = line.substr(0, space);
    const std::string_view value = space == std::string_view::npos ? "" : line.substr(space + 1);
    struct Field {
      const char* key;
      std::string TraceMachine::*value;
    };
    static constexpr Field kFields[] = {{"windows", &TraceMachine::windows},
                                        {"manager", &TraceMachine::manager},
                                        {"manager-version", &TraceMachine::managerVersion},
                                        {"probe", &TraceMachine::probe}};
    for (const Field& field : kFields) {
      if (key == field.key) {
        machine.*field.value = std::string(value);
        return true;
      }
    }
    if (key == "pointer-bytes") {
      const auto bytes = Number<int>(value);
      if (!bytes || (*bytes != 4 && *bytes != 8)) return Fail("pointer-bytes is not 4 or 8");
      machine.pointerBytes = *bytes;
      pointerBytesSeen_ = true;
      return true;
    }
    return Fail("unknown header field \"" + std::string(key.substr(0, 40)) + "\"");
  }

  bool BodyLine(std::string_view line, bool ended, Trace& trace) {
    if (line.starts_with('#')) return CallLine(line, ended, trace);
    if (!ended) return Fail("truncated");
    if (line.starts_with("unclaimed-events ")) {
      const auto count = Number<std::uint32_t>(line.substr(17));
      if (!count) return Fail("unclaimed-events needs a count");
      unclaimed_ = *count;
      return true;
    }
    if (line.starts_with("blob ")) return BlobLine(line, trace);
    if (line.starts_with("  ")) return DataLine(line.substr(2), trace);
    return Fail("not a line of a trace");
  }

  bool CallLine(std::string_view line, bool ended, Trace& trace) {
    const std::vector<std::string_view> w = Words(line);
    const auto number = Number<std::uint32_t>(w[0].substr(1));
    if (!number) return Fail("a call's number is missing");
    if (w.size() >= 2 && w[1] == "->") {  // the outcome of a call with another inside it
      if (!ended) return Fail("truncated");
      for (std::size_t i = pending_.size(); i-- > 0;) {
        TraceCall& call = trace.calls[pending_[i]];
        if (call.number != *number) continue;
        if (!Outcome(w, 2, call)) return false;
        current_ = pending_[i];
        pending_.erase(pending_.begin() + static_cast<std::ptrdiff_t>(i));
        return true;
      }
      return Fail(FormatText("call #%u has no line before its outcome", *number));
    }
    if (trace.calls.size() >= kMaxTraceCalls)
      return Fail(
          FormatText("more than %llu calls", static_cast<unsigned long long>(kMaxTraceCalls)));
    TraceCall call;
    call.number = *number;
    call.unclaimedEventsBefore = unclaimed_;
    unclaimed_ = 0;
    std::size_t i = 1;
    auto word = [&]() { return i < w.size() ? w[i++] : std::string_view(); };
    const auto millis = Millis(word());
    if (!millis) return Fail("a call's time is not seconds like 0.153s");
    call.millis = *millis;
    const auto origin = word() == "app" ? Number<std::uint32_t>(word()) : std::nullopt;
    if (!origin || word() != "->") return Fail("a call's origin is not \"app ID ->\"");
    call.originId = *origin;
    const std::string_view destination = word();
    if (destination == "src") {
      const auto id = Number<std::uint32_t>(word());
      if (!id) return Fail("a Source's Id is missing");
      call.toSource = true;
      call.destinationId = *id;
    } else if (destination != "dsm") {
      return Fail("a call's destination is not \"src ID\" or \"dsm\"");
    }
    const auto dg = Code(word(), DataGroupByName, "DG_");
    const bool slash1 = word() == "/";
    const auto dat = Code16(Code(word(), DataArgTypeByName, "DAT_"));
    const bool slash2 = word() == "/";
    const auto msg = Code16(Code(word(), MessageByName, "MSG_"));
    if (!dg || !dat || !msg || !slash1 || !slash2) return Fail("the triplet is not readable");
    call.dg = *dg;
    call.dat = *dat;
    call.msg = *msg;
    if (call.dg == DG_CONTROL && call.dat == DAT_CAPABILITY) {
      const auto cap = CapWord(word());
      if (!cap) return Fail("the capability is not readable");
      call.cap = *cap;
    }
    trace.calls.push_back(std::move(call));
    const std::size_t index = trace.calls.size() - 1;
    if (i == w.size()) {  // the file ends inside this call
      if (ended) return Fail("the call has no outcome");
      return true;
    }
    if (w[i] == "..." && i + 1 == w.size()) {
      if (!ended) return Fail("truncated");
      pending_.push_back(index);
      return true;
    }
    if (w[i] != "->") return Fail("the call's outcome is not \"-> TWRC_...\"");
    if (!ended) return Fail("truncated");
    if (!Outcome(w, i + 1, trace.calls[index])) return false;
    current_ = index;
    // A condition code asked for belongs to the call before the asking.
    const TraceCall& status = trace.calls[index];
    if (status.dat == DAT_STATUS && status.cc >= 0 && index > 0 &&
        trace.calls[index - 1].dat != DAT_STATUS && trace.calls[index - 1].cc < 0) {
      trace.calls[index - 1].cc = status.cc;
    }
    return true;
  }

  bool Outcome(const std::vector<std::string_view>& w, std::size_t i, TraceCall& call) {
    if (i >= w.size() || i + 2 < w.size())
      return Fail("the outcome is not \"-> TWRC_... [TWCC_...]\"");
    const auto rc = ResultWord(w[i]);
    if (!rc) return Fail("unknown return code \"" + std::string(w[i].substr(0, 40)) + "\"");
    call.returned = true;
    call.rc = *rc;
    if (i + 1 < w.size()) {
      const auto cc = ConditionWord(w[i + 1]);
      if (!cc)
        return Fail("unknown condition code \"" + std::string(w[i + 1].substr(0, 40)) + "\"");
      call.cc = *cc;
    }
    return true;
  }

  TraceCall* Current(Trace& trace) {
    return current_ < trace.calls.size() ? &trace.calls[current_] : nullptr;
  }

  bool DataLine(std::string_view line, Trace& trace) {
    if (line.starts_with("~ ") || line == "~") return true;
    TraceCall* call = Current(trace);
    if (!call) return Fail("data before any call's outcome");
    const std::vector<std::string_view> w = Words(line);
    if ((w[0] == "in" || w[0] == "out") && w.size() == 2) {
      std::vector<std::uint8_t>& record = w[0] == "in" ? call->in : call->out;
      if (!record.empty()) return Fail("the record \"" + std::string(w[0]) + "\" twice");
      const std::size_t size = TraceRecordSize(call->dat, trace.machine.pointerBytes);
      if (size == 0) return Fail("this triplet has no record");
      if (w[1].size() != 2 * size)
        return Fail(FormatText("the record is not the %llu bytes of its kind",
                               static_cast<unsigned long long>(size)));
      if (!Hex(w[1], record)) return Fail("the record is not hex");
      return true;
    }
    if (w[0] == "container" && w.size() == 4 && (w[1] == "in" || w[1] == "out")) {
      if (call->dat != DAT_CAPABILITY) return Fail("a container outside DAT_CAPABILITY");
      std::optional<TraceContainer>& slot = w[1] == "in" ? call->containerIn : call->containerOut;
      if (slot) return Fail("the container twice");
      const auto format = Number<TW_UINT16>(w[2]);
      if (!format) return Fail("the container's format is not a number");
      if (w[3].size() > 2 * kMaxTraceContainerBytes)
        return Fail(FormatText("a container over %llu bytes",
                               static_cast<unsigned long long>(kMaxTraceContainerBytes)));
      TraceContainer container;
      container.format = *format;
      if (!Hex(w[3], container.bytes)) return Fail("the container is not hex");
      slot = std::move(container);
      return true;
    }
    if (w[0] == "image" && w.size() == 7 && w[4] == "bytes" && w[5] == "crc32") {
      return ImageLine(w, *call);
    }
    return Fail("not a data line of a trace");
  }

  bool ImageLine(const std::vector<std::string_view>& w, TraceCall& call) {
    TraceImageSummary image;
    const auto kind = BlobKindByName(w[1]);
    const std::size_t x1 = w[2].find('x');
    const std::size_t x2 = x1 == std::string_view::npos ? x1 : w[2].find('x', x1 + 1);
    if (!kind || x2 == std::string_view::npos) return Fail("the image is not \"KIND WxHxD\"");
    const auto width = Number<std::int32_t>(w[2].substr(0, x1));
    const auto height = Number<std::int32_t>(w[2].substr(x1 + 1, x2 - x1 - 1));
    const auto depth = Number<int>(w[2].substr(x2 + 1));
    const auto bytes = Number<std::uint64_t>(w[3]);
    const auto crc = w[6].size() == 8 ? Number<std::uint32_t>(w[6], 16) : std::nullopt;
    if (!width || !height || !depth || !bytes || !crc) return Fail("the image is not readable");
    image.kind = *kind;
    image.width = *width;
    image.height = *height;
    image.depth = *depth;
    image.bytes = *bytes;
    image.crc32 = *crc;
    if (call.images.size() + call.blobs.size() >= kMaxTraceBlobs)
      return Fail(
          FormatText("more than %llu blobs", static_cast<unsigned long long>(kMaxTraceBlobs)));
    call.images.push_back(image);
    return true;
  }

  bool BlobLine(std::string_view line, Trace& trace) {
    TraceCall* call = Current(trace);
    if (!call) return Fail("a blob before any call's outcome");
    const std::vector<std::string_view> w = Words(line);
    const auto declared =
        w.size() == 4 && w[2] == "bytes" ? Number<std::uint64_t>(w[1]) : std::nullopt;
    const auto kind = w.size() == 4 ? BlobKindByName(w[3]) : std::nullopt;
    if (!declared || !kind) return Fail("the blob is not \"blob N bytes KIND\"");
    const std::uint64_t size = *declared;
    if (size > kMaxTraceBlobBytes)
      return Fail(FormatText("a blob over %llu bytes",
                             static_cast<unsigned long long>(kMaxTraceBlobBytes)));
    if (++blobs_ > kMaxTraceBlobs)
      return Fail(
          FormatText("more than %llu blobs", static_cast<unsigned long long>(kMaxTraceBlobs)));
    // The bytes must be there before any is kept.
    if (size >= text_.size() - at_ || text_[at_ + size] != '\n')
      return Fail(FormatText("the blob's %llu bytes and newline are not all there",
                             static_cast<unsigned long long>(size)));
    TraceBlob blob;
    blob.kind = *kind;
    blob.bytes.assign(text_.data() + at_, text_.data() + at_ + size);
    call->blobs.push_back(std::move(blob));
    at_ += size + 1;
    return true;
  }

  std::string_view text_;
  std::size_t at_ = 0;
  int line_ = 0;
  std::string error_;
  std::uint32_t unclaimed_ = 0;
  std::size_t blobs_ = 0;
  bool pointerBytesSeen_ = false;
  std::vector<std::size_t> pending_;  // calls with others inside, not yet returned
  std::size_t current_ = static_cast<std::size_t>(-1);  // the call data lines belong to
};

}  // namespace

TraceReadResult ReadTraceText(std::string_view text) {
  return Reader(text).Read();
}

TraceReadResult ReadTraceFile(const std::string& path) {
  TraceReadResult result;
  std::FILE* file = std::fopen(path.c_str(), "rb");
  if (!file) {
    result.error = "cannot open " + path;
    return result;
  }
  std::string text;
  char chunk[65536];
  std::size_t got = 0;
  while ((got = std::fread(chunk, 1, sizeof chunk, file)) > 0) {
    if (text.size() + got > kMaxTraceFileBytes) {
      std::fclose(file);
      result.error = FormatText("%s is over %llu bytes", path.c_str(),
                                static_cast<unsigned long long>(kMaxTraceFileBytes));
      return result;
    }
    text.append(chunk, got);
  }
  const bool failed = std::ferror(file) != 0;
  std::fclose(file);
  if (failed) {
    result.error = "cannot read " + path;
    return result;
  }
  return ReadTraceText(text);
}
