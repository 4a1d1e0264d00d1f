#include "trace/trace_writer.h"

#include <charconv>
#include <chrono>
#include <cstring>

#include "caps/container.h"
#include "pages/capability_display.h"
#include "platform/memory.h"
#include "vocab/number_text.h"
#include "vocab/triplet_text.h"
#include "vocab/twain_names.h"

namespace {

// A decoded container is for reading, not for the record: a long one is cut.
constexpr std::size_t kMaxContainerTextBytes = 4096;

// A recording writes a line per triplet while the user times the session:
// the texts are built by appending, with no formatting calls.
void AppendNumber(std::string& text, std::uint64_t value) {
  char digits[24];
  const auto end = std::to_chars(digits, digits + sizeof digits, value).ptr;
  text.append(digits, end);
}

void AppendHex(std::string& text, const std::uint8_t* bytes, std::size_t size) {
  static constexpr char kDigits[] = "0123456789abcdef";
  const std::size_t at = text.size();
  text.resize(at + size * 2);
  char* out = text.data() + at;
  for (std::size_t i = 0; i < size; ++i) {
    out[2 * i] = kDigits[bytes[i] >> 4];
    out[2 * i + 1] = kDigits[bytes[i] & 15];
  }
}

// "#12 0.153s app 1 -> src 2 ", what comes before the triplet.
void AppendCallStart(std::string& text, const TraceCall& call) {
  text += '#';
  AppendNumber(text, call.number);
  text += ' ';
  AppendNumber(text, call.millis / 1000);
  text += '.';
  const unsigned millis = call.millis % 1000;
  text += static_cast<char>('0' + millis / 100);
  text += static_cast<char>('0' + millis / 10 % 10);
  text += static_cast<char>('0' + millis % 10);
  text += "s app ";
  AppendNumber(text, call.originId);
  if (call.toSource) {
    text += " -> src ";
    AppendNumber(text, call.destinationId);
    text += ' ';
  } else {
    text += " -> dsm ";
  }
}

// A listed name, or the prefix and the code in hex as the log writes one
// no table lists.
void AppendName(std::string& text, const char* name, const char* prefix, std::uint32_t code) {
  if (name) {
    text += name;
    return;
  }
  char digits[12];
  const auto end = std::to_chars(digits, digits + sizeof digits, code, 16).ptr;
  text += prefix;
  text += "0x";
  text.append(static_cast<std::size_t>(4 - std::min<std::ptrdiff_t>(4, end - digits)), '0');
  text.append(digits, end);
}

// "DG_CONTROL / DAT_CAPABILITY / MSG_GET ICAP_PIXELTYPE", as TripletText
// and CapName write it.
void AppendTripletWords(std::string& text, const TraceCall& call) {
  AppendName(text, KnownDataGroupName(call.dg), "DG_", call.dg);
  text += " / ";
  AppendName(text, KnownDataArgTypeName(call.dat), "DAT_", call.dat);
  text += " / ";
  AppendName(text, KnownMessageName(call.msg), "MSG_", call.msg);
  if (call.dg == DG_CONTROL && call.dat == DAT_CAPABILITY) {
    text += ' ';
    AppendName(text, KnownCapName(call.cap), call.cap < CAP_CUSTOMBASE ? "" : "CAP_", call.cap);
  }
}

}  // namespace

std::string TraceResultCodeText(TW_UINT16 rc) {
  const std::string name = ResultCodeName(rc);
  return name.starts_with("TWRC_") ? name : FormatText("TWRC_0x%04x", rc);
}

std::string TraceConditionCodeText(TW_UINT16 cc) {
  const std::string name = ConditionCodeName(cc);
  return name.starts_with("TWCC_") ? name : FormatText("TWCC_0x%04x", cc);
}

bool StringTraceOutput::Write(const void* data, std::size_t size) {
  text.append(static_cast<const char*>(data), size);
  return true;
}

FileTraceOutput::FileTraceOutput(const std::string& path) : file_(std::fopen(path.c_str(), "wb")) {
  if (!file_) return;
  // Room for what gathers between two write-outs, kept from one to the next.
  gathered_.reserve(kTraceGatherBytes);
  writing_.reserve(kTraceGatherBytes);
  writer_ = std::thread([this] { WriterThread(); });
}

FileTraceOutput::~FileTraceOutput() {
  if (!file_) return;
  {
    std::lock_guard<std::mutex> hold(wakeLock_);
    closing_ = true;
  }
  wake_.notify_one();
  writer_.join();
  WriteOut();
  std::fclose(file_);
}

bool FileTraceOutput::Write(const void* data, std::size_t size) {
  if (!file_ || failed_) return false;
  while (gathering_.test_and_set(std::memory_order_acquire)) std::this_thread::yield();
  gathered_.append(static_cast<const char*>(data), size);
  gathering_.clear(std::memory_order_release);
  return true;
}

bool FileTraceOutput::Flush() {
  return file_ && !failed_;
}

void FileTraceOutput::TakeGathered(std::string& into) {
  while (gathering_.test_and_set(std::memory_order_acquire)) std::this_thread::yield();
  into.swap(gathered_);
  gathering_.clear(std::memory_order_release);
}

bool FileTraceOutput::WriteOut() {
  if (!file_) return false;
  std::lock_guard<std::mutex> hold(fileLock_);
  writing_.clear();
  TakeGathered(writing_);
  if (!writing_.empty() && !failed_) {
    failed_ = std::fwrite(writing_.data(), 1, writing_.size(), file_) != writing_.size() ||
              std::fflush(file_) != 0;
  }
  return !failed_;
}

void FileTraceOutput::WriterThread() {
  std::unique_lock<std::mutex> hold(wakeLock_);
  while (!closing_) {
    wake_.wait_for(hold, std::chrono::milliseconds(kTraceWriteOutMs));
    hold.unlock();
    WriteOut();
    hold.lock();
  }
}

std::string HexText(const std::vector<std::uint8_t>& bytes) {
  std::string text;
  AppendHex(text, bytes.data(), bytes.size());
  return text;
}

std::string ContainerText(const TraceContainer& container, int cap) {
  if (container.bytes.empty()) return "empty container";
  // Decoded by the library's own container code, over a block of its own.
  TW_HANDLE block = platform::MemAlloc(container.bytes.size());
  if (!block) return "container not decoded: no memory";
  {
    platform::MemLockGuard lock(block);
    if (!lock) {
      platform::MemFree(block);
      return "container not decoded: no memory";
    }
    std::memcpy(lock.data(), container.bytes.data(), container.bytes.size());
  }
  ContainerHandle* h = CONTAINER_Attach(container.format, block);
  if (!h) return FormatText("container of format %u not decoded", container.format);
  const AnswerDisplay display = ContainerDisplay(h, cap);
  CONTAINER_Free(h);
  std::string text = display.text;
  if (display.asLines) {
    for (const std::string& line : display.lines) {
      if (!text.empty()) text += " | ";
      text += line;
      if (text.size() > kMaxContainerTextBytes) break;
    }
  }
  if (text.size() > kMaxContainerTextBytes) text = text.substr(0, kMaxContainerTextBytes) + "...";
  for (char& c : text)
    if (c == '\n' || c == '\r') c = ' ';
  return text;
}

std::string CallHeadText(const TraceCall& call) {
  std::string text;
  AppendCallStart(text, call);
  AppendTripletWords(text, call);
  return text;
}

void TraceWriter::AppendOutcome(std::string& text, const TraceCall& call) {
  auto [rc, rcAdded] = codeTexts_.try_emplace(call.rc);
  if (rcAdded) rc->second = " -> " + TraceResultCodeText(call.rc);
  text += rc->second;
  if (call.cc >= 0) {
    const int key = 0x10000 | call.cc;
    auto [cc, ccAdded] = codeTexts_.try_emplace(key);
    if (ccAdded) cc->second = " " + TraceConditionCodeText(static_cast<TW_UINT16>(call.cc));
    text += cc->second;
  }
}

bool TraceWriter::Put(const std::string& text) {
  return PutBytes(text.data(), text.size());
}

bool TraceWriter::PutBytes(const void* data, std::size_t size) {
  if (ok_ && !output_.Write(data, size)) ok_ = false;
  return ok_;
}

bool TraceWriter::Flush() {
  if (ok_ && !output_.Flush()) ok_ = false;
  return ok_;
}

bool TraceWriter::WriteHeader(const TraceMachine& machine) {
  std::string text = FormatText("%s %d\npointer-bytes %d\n", std::string(kTraceMagic).c_str(),
                                kTraceVersion, machine.pointerBytes);
  // Values are one line each whatever the caller passed.
  auto field = [&text](const char* key, std::string value) {
    for (char& c : value)
      if (c == '\n' || c == '\r') c = ' ';
    text += std::string(key) + " " + value + "\n";
  };
  field("windows", machine.windows);
  field("manager", machine.manager);
  field("manager-version", machine.managerVersion);
  field("probe", machine.probe);
  Put(text);
  return Flush();
}

bool TraceWriter::BeginCall(const TraceCall& call) {
  std::string& text = scratch_;
  text.clear();
  if (pending_) text += " ...\n";
  if (call.unclaimedEventsBefore) {
    text += "unclaimed-events ";
    AppendNumber(text, call.unclaimedEventsBefore);
    text += '\n';
  }
  AppendCallStart(text, call);
  AppendTripletWords(text, call);
  pending_ = call.number;
  Put(text);
  return Flush();
}

bool TraceWriter::EndCall(const TraceCall& call) {
  std::string& text = scratch_;
  text.clear();
  if (pending_ != call.number) {
    if (pending_) text += " ...\n";
    text += '#';
    AppendNumber(text, call.number);
  }
  AppendOutcome(text, call);
  text += '\n';
  pending_.reset();
  if (!call.in.empty()) {
    text += "  in ";
    AppendHex(text, call.in.data(), call.in.size());
    text += '\n';
  }
  if (!call.out.empty()) {
    text += "  out ";
    AppendHex(text, call.out.data(), call.out.size());
    text += '\n';
  }
  auto container = [&](const char* way, const std::optional<TraceContainer>& c) {
    if (!c) return;
    text += FormatText("  container %s %u ", way, c->format) + HexText(c->bytes) + "\n";
    text += "  ~ " + ContainerText(*c, call.cap) + "\n";
  };
  container("in", call.containerIn);
  container("out", call.containerOut);
  for (const TraceImageSummary& image : call.images) {
    text += FormatText("  image %s %dx%dx%d %llu bytes crc32 %08x\n", BlobKindName(image.kind),
                       image.width, image.height, image.depth,
                       static_cast<unsigned long long>(image.bytes), image.crc32);
  }
  Put(text);
  for (const TraceBlob& blob : call.blobs) {
    if (blob.bytes.size() > kMaxTraceBlobBytes) {
      Put(FormatText("  ~ %s of %llu bytes not recorded: over the limit\n", BlobKindName(blob.kind),
                     static_cast<unsigned long long>(blob.bytes.size())));
      continue;
    }
    Put(FormatText("blob %llu bytes %s\n", static_cast<unsigned long long>(blob.bytes.size()),
                   BlobKindName(blob.kind)));
    PutBytes(blob.bytes.data(), blob.bytes.size());
    Put("\n");
  }
  return Flush();
}
