#include "pages/capability_name_index.h"

#include <gtest/gtest.h>

namespace {

CapabilityNameIndex Index(std::initializer_list<const char*> names) {
  CapabilityNameIndex index;
  for (const char* name : names) index.Add(name);
  return index;
}

TEST(CapabilityNameIndexTest, FindsAPrefixOfAnyNameWhateverTheCase) {
  const CapabilityNameIndex index =
      Index({"ICAP_XRESOLUTION", "CAP_0x8001", "ICAP_BITDEPTHREDUCTION", "CAP_AUTHOR",
             "ICAP_SUPPORTEDSIZES"});
  EXPECT_TRUE(index.HasBeginning("ICAP_BITDEPTH"));
  EXPECT_TRUE(index.HasBeginning("icap_bitdepthreduction"));
  EXPECT_TRUE(index.HasBeginning("Cap_0X8001"));
  EXPECT_TRUE(index.HasBeginning("CAP_AUTHOR"));
  EXPECT_TRUE(index.HasBeginning("icap_supportedsizes"));
  EXPECT_TRUE(index.HasBeginning(""));
  EXPECT_FALSE(index.HasBeginning("ICAP_BITDEPTHREDUCTIONS"));
  EXPECT_FALSE(index.HasBeginning("ICAP_YRESOLUTION"));
  EXPECT_FALSE(index.HasBeginning("CAP_0x8000"));
  // Sorts between two names without being a prefix of either.
  EXPECT_FALSE(index.HasBeginning("CAP_B"));
  EXPECT_EQ(index.size(), 5u);
}

TEST(CapabilityNameIndexTest, FindsNamesAddedInAnyOrderAndForgetsThemWhenCleared) {
  CapabilityNameIndex index;
  EXPECT_FALSE(index.HasBeginning(""));
  for (const char* name : {"ICAP_UNITS", "CAP_XFERCOUNT", "ICAP_PIXELTYPE", "CAP_CAPTION",
                           "ICAP_UNDEFINEDIMAGESIZE", "ICAP_BITDEPTH"}) {
    index.Add(name);
    EXPECT_TRUE(index.HasBeginning(name)) << name;
  }
  for (const char* name :
       {"icap_units", "cap_xfercount", "ICAP_PIXEL", "CAP_CAP", "ICAP_UND", "ICAP_BIT"}) {
    EXPECT_TRUE(index.HasBeginning(name)) << name;
  }
  index.Clear();
  EXPECT_FALSE(index.HasBeginning("ICAP_UNITS"));
  EXPECT_EQ(index.size(), 0u);
}

}  // namespace
