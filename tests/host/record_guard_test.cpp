#include "session/record_guard.h"

#include <gtest/gtest.h>

#include <cstring>

#include "pages/log.h"
#include "session/twain_session.h"

namespace {

// What a Source does to the record and identities it was handed, and what
// the guard makes of it.
TEST(RecordGuardTest, WritesPastARecordOrAnIdentityAreNamedAndTheRecordComesBack) {
  const struct {
    const char* name;
    TW_UINT16 dat;
    void (*source)(RecordGuard& guard, TW_IDENTITY* app, TW_IDENTITY* source);
    const char* record;
    std::size_t bytes;
  } cases[] = {
      {"within", DAT_IMAGEINFO,
       [](RecordGuard& g, TW_IDENTITY*, TW_IDENTITY*) {
         static_cast<TW_IMAGEINFO*>(g.record())->ImageWidth = 640;
       },
       nullptr, 0},
      {"past the record", DAT_IMAGEINFO,
       [](RecordGuard& g, TW_IDENTITY*, TW_IDENTITY*) {
         static_cast<TW_IMAGEINFO*>(g.record())->ImageWidth = 640;
         static_cast<unsigned char*>(g.record())[sizeof(TW_IMAGEINFO) + 3] = 0;
       },
       "TW_IMAGEINFO", 4},
      {"past the Source's identity", DAT_STATUS,
       [](RecordGuard&, TW_IDENTITY*, TW_IDENTITY* source) {
         reinterpret_cast<unsigned char*>(source + 1)[0] = 0;
       },
       "the Source's TW_IDENTITY", 1},
      {"past the application's identity", DAT_CAPABILITY,
       [](RecordGuard&, TW_IDENTITY* app, TW_IDENTITY*) {
         std::memset(app + 1, 0, kRecordGuardBytes);
       },
       "the application's TW_IDENTITY", kRecordGuardBytes},
      {"within the identities", DAT_STATUS,
       [](RecordGuard&, TW_IDENTITY* app, TW_IDENTITY* source) {
         app->ProductName[33] = 'x';
         source->Version.Info[33] = 'y';
       },
       nullptr, 0},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    ResetRecordOverruns();
    TW_IMAGEINFO info{};
    TW_STATUS status{};
    TW_CAPABILITY capability{};
    TW_MEMREF data = c.dat == DAT_IMAGEINFO ? static_cast<TW_MEMREF>(&info)
                     : c.dat == DAT_STATUS  ? static_cast<TW_MEMREF>(&status)
                                            : static_cast<TW_MEMREF>(&capability);
    // The identities as the session keeps them, each with its guard after it.
    TwainSession& session = TWAIN_Session();
    RecordGuard guard(c.dat, data);
    EXPECT_NE(guard.record(), data) << "the Source works on the guarded copy";
    c.source(guard, &session.appIdentity, &session.sourceIdentity);
    guard.Check(DG_IMAGE, c.dat, MSG_GET, session.appGuard, session.sourceGuard);
    if (c.dat == DAT_IMAGEINFO) {
      EXPECT_EQ(info.ImageWidth, 640);
    }
    if (!c.record) {
      EXPECT_EQ(RecordOverrunCount(), 0u);
      continue;
    }
    ASSERT_EQ(RecordOverruns().size(), 1u);
    EXPECT_EQ(RecordOverruns()[0].record, c.record);
    EXPECT_EQ(RecordOverruns()[0].bytes, c.bytes);
    EXPECT_NE(RecordOverruns()[0].call.find("MSG_GET"), std::string::npos);
    // The guard is armed again: the next call starts clean.
    RecordGuard next(c.dat, data);
    next.Check(DG_IMAGE, c.dat, MSG_GET, session.appGuard, session.sourceGuard);
    EXPECT_EQ(RecordOverrunCount(), 1u);
  }
  ResetRecordOverruns();
  TWAIN_ResetSession();
}

}  // namespace
