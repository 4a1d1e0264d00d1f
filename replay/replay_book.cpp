#include "replay/replay_book.h"

#include <algorithm>
#include <cmath>

#include "imaging/dib.h"
#include "platform/memory.h"
#include "sample_source/container_io.h"
#include "vocab/triplet_text.h"

namespace replay {
namespace {

// Offsets within records that hold no pointer before them, so they are the
// same whatever the trace's pointer-bytes.
constexpr std::size_t kIdentityBytes = 156;
constexpr std::size_t kSetupFileFormatOffset = 256;
constexpr std::size_t kMemXferCompression = 0;
constexpr std::size_t kMemXferBytesPerRow = 2;
constexpr std::size_t kMemXferColumns = 6;
constexpr std::size_t kMemXferRows = 10;
constexpr std::size_t kMemXferXOffset = 14;
constexpr std::size_t kMemXferYOffset = 18;
constexpr std::size_t kMemXferBytesWritten = 22;
constexpr std::size_t kBmpFileHeaderBytes = 14;
// An image the replay makes (assembled or grey) is no larger than a blob may be.
constexpr std::uint64_t kMaxImageBytes = kMaxTraceBlobBytes;

bool IsChange(TW_UINT16 dat, TW_UINT16 msg) {
  if (dat == DAT_CAPABILITY) return msg == MSG_SET || msg == MSG_RESET;
  if (dat == DAT_IMAGELAYOUT) return msg == MSG_SET || msg == MSG_RESET;
  return false;
}

bool Succeeded(TW_UINT16 rc) {
  return rc == TWRC_SUCCESS || rc == TWRC_CHECKSTATUS;
}

void Note(std::vector<std::string>* notes, std::string line) {
  if (notes) notes->push_back(std::move(line));
}

std::int32_t PelsPerMeter(TW_FIX32 dpi) {
  const double value = dpi.Whole + dpi.Frac / 65536.0;
  return static_cast<std::int32_t>(std::lround(value / 0.0254));
}

TW_FIX32 Fix32(double value) {
  const auto scaled = static_cast<std::int32_t>(std::lround(value * 65536.0));
  TW_FIX32 fix;
  fix.Whole = static_cast<TW_INT16>(scaled >> 16);
  fix.Frac = static_cast<TW_UINT16>(scaled & 0xFFFF);
  return fix;
}

// A packed bitmap of top-down rows `stride` bytes apart, red first.
Bytes DibFromRows(int width, int height, int depth, const Bytes& rows, std::size_t stride,
                  std::int32_t xPels, std::int32_t yPels) {
  const std::uint32_t colours = DIB_TableEntries(depth);
  const std::size_t rowBytes = DIB_RowBytes(depth, width);
  const std::size_t offset = sizeof(BitmapInfoHeader) + colours * sizeof(RgbQuad);
  Bytes dib(offset + rowBytes * static_cast<std::size_t>(height));
  BitmapInfoHeader header{kInfoHeaderSize,
                          width,
                          height,
                          1,
                          static_cast<std::uint16_t>(depth),
                          kBiRgb,
                          static_cast<std::uint32_t>(rowBytes * height),
                          xPels,
                          yPels,
                          colours,
                          0};
  std::memcpy(dib.data(), &header, sizeof(header));
  DIB_FillGrayRamp(reinterpret_cast<RgbQuad*>(dib.data() + sizeof(header)), colours);
  const std::size_t copy = std::min(rowBytes, stride);
  for (int y = 0; y < height; ++y) {
    const std::size_t from = static_cast<std::size_t>(y) * stride;
    if (from + copy > rows.size()) break;
    std::uint8_t* to = dib.data() + offset + static_cast<std::size_t>(height - 1 - y) * rowBytes;
    std::memcpy(to, rows.data() + from, copy);
    if (depth == 24) {
      for (int x = 0; x < width; ++x) std::swap(to[x * 3], to[x * 3 + 2]);
    }
  }
  return dib;
}

bool ValidDib(const Bytes& bytes) {
  DibLayout layout;
  return DIB_CheckLayout(bytes.data(), bytes.size(), &layout) == DibCheck::kOk;
}

// Memory strips gathered until the transfer is done.
struct Strips {
  bool active = false;
  bool grey = false;
  int width = 0;
  int height = 0;  // 0: unknown, grows with the strips
  int depth = 0;
  std::size_t stride = 0;
  Bytes rows;
};

struct Reading {
  std::optional<TW_IMAGEINFO> info;
  TW_UINT16 fileFormat = TWFF_BMP;
  Strips strips;
};

}  // namespace

Bytes ComparableContainer(TW_UINT16 conType, const std::uint8_t* bytes, std::size_t size) {
  platform::MemoryHandle block = platform::MemAlloc(size == 0 ? 1 : size);
  if (!block) return {};
  {
    platform::MemLockGuard lock(block);
    if (lock && size > 0) std::memcpy(lock.data(), bytes, size);
  }
  const std::optional<sample::ReceivedContainer> read = sample::ReadContainer(conType, block);
  platform::MemFree(block);
  if (!read) return {};
  const bool enumeration = read->conType == TWON_ENUMERATION;
  const bool range = read->conType == TWON_RANGE;
  std::size_t keyBytes =
      sizeof(read->conType) + sizeof(read->itemType) +
      (enumeration ? sizeof(read->currentIndex) + sizeof(read->defaultIndex) : 0) +
      (range ? sizeof(read->range) : 0);
  for (const sample::Bytes& item : read->items) keyBytes += item.size();
  // Sized once, then filled: the fields back to back.
  Bytes key(keyBytes);
  std::uint8_t* at = key.data();
  auto put = [&at](const void* data, std::size_t n) {
    std::memcpy(at, data, n);
    at += n;
  };
  put(&read->conType, sizeof(read->conType));
  put(&read->itemType, sizeof(read->itemType));
  if (enumeration) {
    put(&read->currentIndex, sizeof(read->currentIndex));
    put(&read->defaultIndex, sizeof(read->defaultIndex));
  }
  if (range) put(read->range.data(), sizeof(read->range));
  for (const sample::Bytes& item : read->items) put(item.data(), item.size());
  return key;
}

Bytes GreyDib(int width, int height, int depth) {
  if (depth != 1 && depth != 4 && depth != 8 && depth != 24) depth = 8;
  width = std::max(width, 1);
  height = std::max(height, 1);
  // Sizes come from the trace: one beyond what a trace may hold is not believed.
  if (DIB_RowBytes(depth, width) * static_cast<std::uint64_t>(height) > kMaxImageBytes) {
    width = 1;
    height = 1;
  }
  const std::size_t stride = DIB_RowBytes(depth, width);
  // Mid grey: half the ramp, or alternate pixels for one bit.
  const std::uint8_t fill = depth == 1 ? 0xAA : depth == 4 ? 0x77 : 0x80;
  return DibFromRows(width, height, depth, Bytes(stride * height, fill), stride, 0, 0);
}

TW_IMAGEINFO InfoOfDib(const Bytes& dib) {
  TW_IMAGEINFO info{};
  DibLayout layout;
  if (!DIB_ReadHeader(dib.data(), dib.size(), &layout)) return info;
  info.XResolution = Fix32(layout.xPelsPerMeter * 0.0254);
  info.YResolution = Fix32(layout.yPelsPerMeter * 0.0254);
  info.ImageWidth = layout.width;
  info.ImageLength = layout.height;
  info.BitsPerPixel = static_cast<TW_INT16>(layout.depth);
  const bool colour = layout.depth > 8;
  info.SamplesPerPixel = colour ? 3 : 1;
  for (int i = 0; i < info.SamplesPerPixel; ++i)
    info.BitsPerSample[i] = static_cast<TW_INT16>(colour ? layout.depth / 3 : layout.depth);
  info.Planar = TW_FALSE;
  info.PixelType = layout.depth == 1 ? TWPT_BW : colour ? TWPT_RGB : TWPT_GRAY;
  info.Compression = TWCP_NONE;
  return info;
}

Bytes ResetMark() {
  return {'r', 'e', 's', 'e', 't'};
}

const RecordedAnswer* ReplayBook::Answer(const AnswerKey& key, std::size_t segment,
                                         const Bytes& changedTo) const {
  const auto found = answers_.find(key);
  if (found == answers_.end() || found->second.empty()) return nullptr;
  const RecordedAnswer* best = nullptr;
  const RecordedAnswer* bestAfter = nullptr;
  const RecordedAnswer* matching = nullptr;
  const RecordedAnswer* matchingAfter = nullptr;
  for (const RecordedAnswer& answer : found->second) {
    const bool same = answer.changedTo == changedTo;
    if (answer.segment <= segment) {
      best = &answer;
      if (same) matching = &answer;
    } else {
      if (!bestAfter) bestAfter = &answer;
      if (same && !matchingAfter) matchingAfter = &answer;
    }
  }
  if (matching) return matching;
  if (matchingAfter) return matchingAfter;
  return best ? best : bestAfter;
}

const RecordedChange* ReplayBook::Change(const AnswerKey& key, const Bytes& value,
                                         std::size_t segment) const {
  const auto found = changes_.find(key);
  if (found == changes_.end()) return nullptr;
  const RecordedChange* before = nullptr;
  for (const RecordedChange& change : found->second) {
    if (change.value != value) continue;
    if (change.segmentBefore >= segment) return &change;
    before = &change;
  }
  return before;
}

ReplayBook ReplayBook::FromTrace(const Trace& trace, std::vector<std::string>* notes) {
  ReplayBook book;
  // The Source is the one opened last (call #0 when the recording began
  // with it open); its calls are those addressed to its Id.
  bool opened = false;
  for (const TraceCall& call : trace.calls) {
    if (call.dat == DAT_IDENTITY && call.msg == MSG_OPENDS && call.returned &&
        call.rc == TWRC_SUCCESS && call.out.size() >= kIdentityBytes) {
      std::memcpy(&book.identity_, call.out.data(), sizeof(TW_IDENTITY));
      opened = true;
    }
  }
  if (!opened) Note(notes, "the trace opens no Source; its identity is not known");
  const TW_UINT32 sourceId = book.identity_.Id;

  std::vector<const TraceCall*> calls;
  for (const TraceCall& call : trace.calls) {
    if (call.toSource && call.returned && call.destinationId == sourceId) calls.push_back(&call);
  }

  std::size_t segment = 0;
  std::map<TW_UINT16, Bytes> changedTo;  // by capability
  Reading reading;
  auto finishImage = [&](RecordedImage image) {
    image.info = reading.info;
    reading.info.reset();
    if (book.jobs_.empty()) book.jobs_.push_back(0);
    ++book.jobs_.back();
    book.images_.push_back(std::move(image));
  };
  auto greyImage = [&](int width, int height, int depth, const char* why) {
    RecordedImage image;
    if (reading.info) {
      width = reading.info->ImageWidth;
      height = reading.info->ImageLength;
      depth = reading.info->BitsPerPixel;
    }
    image.dib = GreyDib(width, height, depth);
    image.grey = true;
    Note(notes, "image " + std::to_string(book.images_.size() + 1) + " is sent grey: " + why);
    return image;
  };

  for (std::size_t i = 0; i < calls.size(); ++i) {
    const TraceCall& call = *calls[i];
    if (call.dat == DAT_STATUS) continue;
    TW_UINT16 cc = TWCC_SUCCESS;
    if (i + 1 < calls.size() && calls[i + 1]->dat == DAT_STATUS && calls[i + 1]->cc >= 0) {
      cc = static_cast<TW_UINT16>(calls[i + 1]->cc);
    } else if (call.rc == TWRC_FAILURE) {
      cc = TWCC_BUMMER;
    }
    const AnswerKey key{call.dg, call.dat, call.msg,
                        static_cast<TW_UINT16>(call.dat == DAT_CAPABILITY ? call.cap : 0)};

    if (IsChange(call.dat, call.msg)) {
      RecordedChange change;
      change.segmentBefore = segment;
      change.rc = call.rc;
      change.cc = cc;
      if (call.dat == DAT_CAPABILITY && call.msg == MSG_SET) {
        if (!call.containerIn) continue;
        change.value = ComparableContainer(call.containerIn->format, call.containerIn->bytes.data(),
                                           call.containerIn->bytes.size());
      } else if (call.dat == DAT_IMAGELAYOUT && call.msg == MSG_SET) {
        change.value = call.in;
      }
      change.container = call.containerOut;
      change.record = call.out;
      if (Succeeded(call.rc)) {
        ++segment;
        if (call.dat == DAT_CAPABILITY)
          changedTo[call.cap] = call.msg == MSG_RESET ? ResetMark() : change.value;
      }
      book.changes_[key].push_back(std::move(change));
      continue;
    }
    if (call.dat == DAT_USERINTERFACE && call.msg == MSG_ENABLEDS && Succeeded(call.rc)) {
      book.jobs_.push_back(0);
      continue;
    }
    if (call.dat == DAT_IMAGEINFO && call.rc == TWRC_SUCCESS) {
      if (call.out.size() >= sizeof(TW_IMAGEINFO)) {
        TW_IMAGEINFO info;
        std::memcpy(&info, call.out.data(), sizeof(info));
        reading.info = info;
      }
      continue;
    }
    if (call.dat == DAT_SETUPFILEXFER && Succeeded(call.rc)) {
      const Bytes& record = call.msg == MSG_SET ? call.in : call.out;
      if (auto format = Field<TW_UINT16>(record, kSetupFileFormatOffset))
        reading.fileFormat = *format;
    }
    if (call.dg == DG_IMAGE && call.dat == DAT_IMAGENATIVEXFER && call.rc == TWRC_XFERDONE) {
      if (!call.blobs.empty() && ValidDib(call.blobs.front().bytes)) {
        RecordedImage image;
        image.dib = call.blobs.front().bytes;
        finishImage(std::move(image));
      } else if (!call.images.empty()) {
        const TraceImageSummary& s = call.images.front();
        finishImage(greyImage(s.width, s.height, s.depth, "recorded without pixels"));
      } else {
        finishImage(greyImage(0, 0, 8, "the recorded bitmap is not readable"));
      }
      continue;
    }
    if (call.dg == DG_IMAGE && call.dat == DAT_IMAGEFILEXFER && call.rc == TWRC_XFERDONE) {
      RecordedImage image;
      if (!call.blobs.empty()) {
        const Bytes& file = call.blobs.front().bytes;
        Bytes dib;
        if (file.size() > kBmpFileHeaderBytes && file[0] == 'B' && file[1] == 'M')
          dib.assign(file.begin() + kBmpFileHeaderBytes, file.end());
        if (ValidDib(dib)) {
          image.dib = std::move(dib);
        } else {
          image = greyImage(0, 0, 8, "its file is not a BMP this Source reads");
        }
        image.file = file;
        image.fileFormat = reading.fileFormat;
      } else {
        image = greyImage(0, 0, 8, "recorded without pixels");
      }
      finishImage(std::move(image));
      continue;
    }
    if (call.dg == DG_IMAGE && call.dat == DAT_IMAGEMEMXFER &&
        (call.rc == TWRC_SUCCESS || call.rc == TWRC_XFERDONE)) {
      Strips& strips = reading.strips;
      if (!strips.active) {
        strips = Strips{};
        strips.active = true;
        const auto columns = Field<TW_UINT32>(call.out, kMemXferColumns);
        const auto bytesPerRow = Field<TW_UINT32>(call.out, kMemXferBytesPerRow);
        if (reading.info) {
          strips.width = reading.info->ImageWidth;
          strips.height = reading.info->ImageLength;
          strips.depth = reading.info->BitsPerPixel;
        } else if (columns && bytesPerRow && *columns > 0) {
          strips.width = static_cast<int>(*columns);
          strips.depth = *bytesPerRow * 8 / *columns >= 24 ? 24 : 8;
        }
        if (strips.width <= 0 || strips.height < 0 || strips.width > 1 << 20 ||
            strips.height > 1 << 20 ||
            (strips.depth != 1 && strips.depth != 4 && strips.depth != 8 && strips.depth != 24)) {
          strips.grey = true;
        } else {
          strips.stride = DIB_RowBytes(strips.depth, strips.width);
          if (strips.stride * static_cast<std::uint64_t>(std::max(strips.height, 1)) >
              kMaxImageBytes)
            strips.grey = true;
        }
      }
      const auto compression = Field<TW_UINT16>(call.out, kMemXferCompression);
      const auto bytesPerRow = Field<TW_UINT32>(call.out, kMemXferBytesPerRow);
      const auto rows = Field<TW_UINT32>(call.out, kMemXferRows);
      const auto xOffset = Field<TW_UINT32>(call.out, kMemXferXOffset);
      const auto yOffset = Field<TW_UINT32>(call.out, kMemXferYOffset);
      const auto written = Field<TW_UINT32>(call.out, kMemXferBytesWritten);
      if (call.blobs.empty() || !compression || *compression != TWCP_NONE || !rows || !yOffset ||
          !bytesPerRow || !written || !xOffset || *xOffset != 0) {
        strips.grey = true;
      }
      if (!strips.grey) {
        const Bytes& blob = call.blobs.front().bytes;
        const std::size_t available = std::min<std::size_t>(blob.size(), *written);
        const std::size_t copy = std::min<std::size_t>(strips.stride, *bytesPerRow);
        for (std::uint32_t r = 0; r < *rows; ++r) {
          const std::uint64_t y = std::uint64_t{*yOffset} + r;
          const std::uint64_t from = std::uint64_t{r} * *bytesPerRow;
          if (from + copy > available) break;
          if (strips.height > 0 && y >= static_cast<std::uint64_t>(strips.height)) break;
          if ((y + 1) * strips.stride > kMaxImageBytes) break;
          if (strips.rows.size() < (y + 1) * strips.stride)
            strips.rows.resize((y + 1) * strips.stride);
          std::memcpy(strips.rows.data() + y * strips.stride, blob.data() + from, copy);
        }
      }
      if (call.rc == TWRC_XFERDONE) {
        RecordedImage image;
        if (strips.grey) {
          const TraceImageSummary* s = call.images.empty() ? nullptr : &call.images.front();
          image = greyImage(s ? s->width : strips.width, strips.height, strips.depth,
                            call.images.empty() ? "its strips are not ones this Source assembles"
                                                : "recorded without pixels");
        } else {
          const int height = strips.height > 0
                                 ? strips.height
                                 : static_cast<int>(strips.rows.size() / strips.stride);
          strips.rows.resize(static_cast<std::size_t>(height) * strips.stride);
          const std::int32_t xPels = reading.info ? PelsPerMeter(reading.info->XResolution) : 0;
          const std::int32_t yPels = reading.info ? PelsPerMeter(reading.info->YResolution) : 0;
          image.dib = DibFromRows(strips.width, height, strips.depth, strips.rows, strips.stride,
                                  xPels, yPels);
        }
        strips = Strips{};
        finishImage(std::move(image));
      }
      continue;
    }
    if (call.dg == DG_IMAGE && (call.dat == DAT_IMAGENATIVEXFER || call.dat == DAT_IMAGEMEMXFER ||
                                call.dat == DAT_IMAGEFILEXFER)) {
      continue;  // a transfer that failed or was cancelled
    }
    RecordedAnswer answer;
    answer.segment = segment;
    answer.rc = call.rc;
    answer.cc = cc;
    answer.record = call.out;
    answer.container = call.containerOut;
    if (call.dat == DAT_CAPABILITY) answer.changedTo = changedTo[call.cap];
    book.answers_[key].push_back(std::move(answer));
  }
  if (reading.strips.active) Note(notes, "the last memory transfer never finished; it is left out");
  return book;
}

}  // namespace replay
