#include "trace/trace_reader.h"

#include <gtest/gtest.h>

#include "trace/trace_writer.h"
#include "vocab/triplet_text.h"
#include "vocab/twain_names.h"

namespace {

std::vector<std::uint8_t> Pattern(std::size_t size, std::uint8_t seed) {
  std::vector<std::uint8_t> bytes(size);
  for (std::size_t i = 0; i < size; ++i) bytes[i] = static_cast<std::uint8_t>(seed + i * 7);
  return bytes;
}

TraceCall Call(std::uint32_t number, TW_UINT32 dg, TW_UINT16 dat, TW_UINT16 msg, TW_UINT16 rc) {
  TraceCall call;
  call.number = number;
  call.millis = number * 1234;
  call.originId = 1;
  call.toSource = dat != DAT_PARENT;
  call.destinationId = call.toSource ? 7 : 0;
  call.dg = dg;
  call.dat = dat;
  call.msg = msg;
  call.returned = true;
  call.rc = rc;
  const std::size_t size = TraceRecordSize(dat, static_cast<int>(sizeof(void*)));
  call.in = Pattern(size, static_cast<std::uint8_t>(number));
  call.out = Pattern(size, static_cast<std::uint8_t>(number + 100));
  return call;
}

// A session's worth of calls: every record kind, containers both ways,
// blobs of each kind, an image without pixels, codes no table names, a call
// with another inside it, events not claimed and a condition code asked for.
TEST(TraceReaderTest, EveryRecordKindReadsBackAsWritten) {
  Trace trace;
  trace.machine = {static_cast<int>(sizeof(void*)), "Windows 10.0.19045",
                   "C:\\WINDOWS\\twain_32.dll", "2.4.3", "1.26"};
  std::uint32_t n = 1;
  const TW_UINT16 kinds[] = {DAT_EVENT,         DAT_IDENTITY,     DAT_PARENT,
                             DAT_PENDINGXFERS,  DAT_SETUPMEMXFER, DAT_SETUPFILEXFER,
                             DAT_USERINTERFACE, DAT_IMAGELAYOUT,  DAT_PALETTE8,
                             DAT_ENTRYPOINT,    DAT_CALLBACK};
  for (TW_UINT16 dat : kinds)
    trace.calls.push_back(Call(n++, DG_CONTROL, dat, MSG_GET, TWRC_SUCCESS));
  TraceCall get = Call(n++, DG_CONTROL, DAT_CAPABILITY, MSG_GET, TWRC_SUCCESS);
  get.cap = ICAP_PIXELTYPE;
  get.containerOut = TraceContainer{TWON_ONEVALUE, {4, 0, 1, 0, 0, 0}};
  trace.calls.push_back(get);
  TraceCall set = Call(n++, DG_CONTROL, DAT_CAPABILITY, MSG_SET, TWRC_FAILURE);
  set.cap = 0x8123;
  set.containerIn = TraceContainer{TWON_ENUMERATION, Pattern(26, 3)};
  trace.calls.push_back(set);
  TraceCall status = Call(n++, DG_CONTROL, DAT_STATUS, MSG_GET, TWRC_SUCCESS);
  status.cc = TWCC_BADVALUE;
  trace.calls.push_back(status);
  trace.calls.push_back(Call(n++, DG_IMAGE, DAT_IMAGEINFO, MSG_GET, TWRC_SUCCESS));
  TraceCall native = Call(n++, DG_IMAGE, DAT_IMAGENATIVEXFER, MSG_GET, TWRC_XFERDONE);
  native.blobs.push_back({BlobKind::kDib, Pattern(3000, 10)});  // newlines among the bytes
  native.images.push_back({BlobKind::kDib, 850, 1100, 24, 2805040, 0xdeadbeef});
  trace.calls.push_back(native);
  TraceCall strip = Call(n++, DG_IMAGE, DAT_IMAGEMEMXFER, MSG_GET, TWRC_SUCCESS);
  strip.blobs.push_back({BlobKind::kStrip, {}});
  strip.unclaimedEventsBefore = 41;
  trace.calls.push_back(strip);
  TraceCall file = Call(n++, DG_IMAGE, DAT_IMAGEFILEXFER, MSG_GET, TWRC_XFERDONE);
  file.blobs.push_back({BlobKind::kFile, {'B', 'M', '\n', '\n'}});
  trace.calls.push_back(file);
  trace.calls.push_back(Call(n++, 0x40, 0x0777, 0x0999, 0x4242));
  trace.calls.back().cc = 0x5151;

  StringTraceOutput output;
  TraceWriter writer(output);
  writer.WriteHeader(trace.machine);
  // The first call has the second inside it, as a Source pumping messages does.
  writer.BeginCall(trace.calls[0]);
  writer.WriteCall(trace.calls[1]);
  writer.EndCall(trace.calls[0]);
  for (std::size_t i = 2; i < trace.calls.size(); ++i) writer.WriteCall(trace.calls[i]);
  ASSERT_TRUE(writer.ok());
  // The line a person reads, with the container decoded.
  EXPECT_NE(output.text.find("#12 14.808s app 1 -> src 7 DG_CONTROL / DAT_CAPABILITY / MSG_GET "
                             "ICAP_PIXELTYPE -> TWRC_SUCCESS\n"),
            std::string::npos)
      << output.text;
  EXPECT_NE(output.text.find("  ~ uint16 ONEVALUE = TWPT_GRAY\n"), std::string::npos);
  // Codes no table names read as the log writes them.
  EXPECT_NE(output.text.find(TripletText(0x40, 0x0777, 0x0999) + " -> TWRC_0x4242"),
            std::string::npos);
  EXPECT_NE(output.text.find("MSG_SET " + CapName(0x8123) + " ->"), std::string::npos);

  const TraceReadResult read = ReadTraceText(output.text);
  ASSERT_TRUE(read.trace) << read.error;
  EXPECT_EQ(read.trace->machine, trace.machine);
  // The condition code asked for after the SET is the SET's.
  trace.calls[status.number - 2].cc = TWCC_BADVALUE;
  // Calls come back in the order they began.
  ASSERT_EQ(read.trace->calls.size(), trace.calls.size());
  for (std::size_t i = 0; i < trace.calls.size(); ++i)
    EXPECT_TRUE(read.trace->calls[i] == trace.calls[i]) << CallHeadText(trace.calls[i]);
}

// A hang or a crash ends the file inside a call: what came before reads, and
// the call is there, not returned.
TEST(TraceReaderTest, ACallInFlightWhenTheFileEndedIsKept) {
  StringTraceOutput output;
  TraceWriter writer(output);
  writer.WriteHeader({});
  TraceCall done = Call(1, DG_CONTROL, DAT_STATUS, MSG_GET, TWRC_SUCCESS);
  writer.WriteCall(done);
  TraceCall hung = Call(2, DG_CONTROL, DAT_USERINTERFACE, MSG_ENABLEDS, TWRC_SUCCESS);
  writer.BeginCall(hung);
  const TraceReadResult read = ReadTraceText(output.text);
  ASSERT_TRUE(read.trace) << read.error;
  ASSERT_EQ(read.trace->calls.size(), 2u);
  EXPECT_TRUE(read.trace->calls[0].returned);
  EXPECT_EQ(read.trace->calls[1].msg, MSG_ENABLEDS);
  EXPECT_FALSE(read.trace->calls[1].returned);
}

TEST(TraceReaderTest, DamagedTracesAreRefusedNamingTheLine) {
  const std::string head = "VORREL-TRACE 1\npointer-bytes 8\nprobe 1.26\n";
  const std::string status =
      "#1 0.001s app 1 -> src 2 DG_CONTROL / DAT_STATUS / MSG_GET -> TWRC_SUCCESS\n";
  const std::string native =
      "#1 0.001s app 1 -> src 2 DG_IMAGE / DAT_IMAGENATIVEXFER / MSG_GET -> TWRC_XFERDONE\n";
  struct Case {
    std::string text;
    int line;
    const char* says;
  };
  const Case cases[] = {
      {"", 1, "empty"},
      {"VORREL-TRACE\n", 1, "not a trace"},
      {"VORREL-TRACE 2\n", 1, "version 2"},
      {"VORREL-TRACE 1\n" + status, 2, "lacks pointer-bytes"},
      {"VORREL-TRACE 1\npointer-bytes 3\n", 2, "not 4 or 8"},
      {"VORREL-TRACE 1\npointer-bytes 8\ncolour blue\n", 3, "unknown header field"},
      {head + "#1 0.001s app 1 -> src 2 DG_CONTROL / DAT_STATUS MSG_GET -> TWRC_SUCCESS\n", 4,
       "triplet"},
      {head + "#1 0.001s app 1 -> src 2 DG_CONTROL / DAT_STATUS / MSG_GET -> TWRC_GREAT\n", 4,
       "return code"},
      {head + "#1 1s app 1 -> dsm DG_CONTROL / DAT_STATUS / MSG_GET -> TWRC_SUCCESS\n", 4, "time"},
      {head + status + "  out 0000\n", 5, "not the 4 bytes"},
      {head + status + "  out 00zz0000\n", 5, "not hex"},
      {head + status + "  out 00000000\n  out 00000000\n", 6, "twice"},
      {head + status + "  container out 5 00\n", 5, "outside DAT_CAPABILITY"},
      {head + "  in 00000000\n", 4, "before any call"},
      {head + "#3 -> TWRC_SUCCESS\n", 4, "no line before its outcome"},
      {head + "#1 0.001s app 1 -> dsm DG_CONTROL / DAT_STATUS / MSG_GET\n", 4, "no outcome"},
      {head + status + "  out 000000", 5, "truncated"},
      {head + native + "blob 10 bytes dib\n12345", 5, "not all there"},
      {head + native + "blob 4 bytes dib\n12345\n", 5, "not all there"},
      {head + native + "blob 99999999999 bytes dib\n", 5, "over 536870912 bytes"},
      {head + native + "blob 4 bytes jpeg\n1234\n", 5, "blob N bytes KIND"},
      {head + native + "  image dib 10x10 300 bytes crc32 00000000\n", 5, "WxHxD"},
      {head + native + "  ~ " + std::string(kMaxTraceLineBytes, 'a') + "\n", 5, "longer than"},
      {head + native + "blob 1 bytes dib\n1\nwhat\n", 6, "not a line"},
  };
  for (const Case& c : cases) {
    const TraceReadResult read = ReadTraceText(c.text);
    SCOPED_TRACE(c.text.substr(0, 200));
    EXPECT_FALSE(read.trace);
    EXPECT_EQ(read.errorLine, c.line) << read.error;
    EXPECT_NE(read.error.find(c.says), std::string::npos) << read.error;
    EXPECT_EQ(read.error.rfind("line " + std::to_string(c.line) + ": ", 0), 0u) << read.error;
  }
}

}  // namespace
