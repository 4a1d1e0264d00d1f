#include "trace/trace_writer.h"

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

std::string OutcomeText(const TraceCall& call) {
  std::string text = " -> " + TraceResultCodeText(call.rc);
  if (call.cc >= 0) text += " " + TraceConditionCodeText(static_cast<TW_UINT16>(call.cc));
  return text;
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

FileTraceOutput::FileTraceOutput(const std::string& path) : file_(std::fopen(path.c_str(), "wb")) {}

FileTraceOutput::~FileTraceOutput() {
  if (file_) std::fclose(file_);
}

bool FileTraceOutput::Write(const void* data, std::size_t size) {
  return file_ && std::fwrite(data, 1, size, file_) == size;
}

bool FileTraceOutput::Flush() {
  return file_ && std::fflush(file_) == 0;
}

std::string HexText(const std::vector<std::uint8_t>& bytes) {
  static constexpr char kDigits[] = "0123456789abcdef";
  std::string text(bytes.size() * 2, '0');
  for (std::size_t i = 0; i < bytes.size(); ++i) {
    text[2 * i] = kDigits[bytes[i] >> 4];
    text[2 * i + 1] = kDigits[bytes[i] & 15];
  }
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
  std::string text = FormatText("#%u %u.%03us app %u -> ", call.number, call.millis / 1000,
                                call.millis % 1000, call.originId);
  text += call.toSource ? FormatText("src %u ", call.destinationId) : std::string("dsm ");
  text += TripletText(call.dg, call.dat, call.msg);
  if (call.dg == DG_CONTROL && call.dat == DAT_CAPABILITY) text += " " + CapName(call.cap);
  return text;
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
  std::string text;
  if (pending_) text += " ...\n";
  if (call.unclaimedEventsBefore)
    text += FormatText("unclaimed-events %u\n", call.unclaimedEventsBefore);
  text += CallHeadText(call);
  pending_ = call.number;
  Put(text);
  return Flush();
}

bool TraceWriter::EndCall(const TraceCall& call) {
  std::string text;
  if (pending_ == call.number) {
    text = OutcomeText(call) + "\n";
  } else {
    if (pending_) text += " ...\n";
    text += FormatText("#%u", call.number) + OutcomeText(call) + "\n";
  }
  pending_.reset();
  if (!call.in.empty()) text += "  in " + HexText(call.in) + "\n";
  if (!call.out.empty()) text += "  out " + HexText(call.out) + "\n";
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
