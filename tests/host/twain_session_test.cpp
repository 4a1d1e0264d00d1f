#include "session/twain_session.h"

#include <gtest/gtest.h>

#include "platform/host/fake_source_manager.h"

TEST(SmokeTest, Builds) {
  fake::SourceManager dsm;
  EXPECT_TRUE(TWAIN_BindManager());
}
