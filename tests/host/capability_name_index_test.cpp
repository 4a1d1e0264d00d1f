#include "pages/capability_name_index.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

CapabilityNameIndex Index(std::initializer_list<const char*> names) {
  CapabilityNameIndex index;
  for (const char* name : names) index.Add(name);
  return index;
}

TEST(CapabilityNameIndexTest, FindsAPrefixOfAnyNameWhateverTheCase) {
  CapabilityNameIndex index = Index({"ICAP_XRESOLUTION", "CAP_0x8001", "ICAP_BITDEPTHREDUCTION",
                                     "CAP_AUTHOR", "ICAP_SUPPORTEDSIZES"});
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

TEST(CapabilityNameIndexTest, FindsNamesSortedInAndNamesAddedSince) {
  // More names than wait unsorted, in no order: the first search sorts them.
  std::vector<std::string> names;
  for (std::size_t i = 0; i < CapabilityNameIndex::kUnsortedLimit + 9; ++i) {
    names.push_back("CAP_0x" + std::to_string(8000 + (i * 37) % 97));
  }
  CapabilityNameIndex index;
  for (const std::string& name : names) index.Add(name);
  for (const std::string& name : names) EXPECT_TRUE(index.HasBeginning(name)) << name;
  EXPECT_FALSE(index.HasBeginning("CAP_0x8002"));
  EXPECT_FALSE(index.HasBeginning("CAP_0x80051"));
  // Added after the sort: found beside the sorted ones, in either case.
  index.Add("ICAP_BITDEPTHREDUCTION");
  index.Add("CAP_0x8002");
  EXPECT_TRUE(index.HasBeginning("icap_bitdepth"));
  EXPECT_TRUE(index.HasBeginning("CAP_0X8002"));
  EXPECT_TRUE(index.HasBeginning(names.front()));
  EXPECT_TRUE(index.HasBeginning(names.back()));
  EXPECT_FALSE(index.HasBeginning("ICAP_BITDEPTHREDUCTIONS"));
  // Enough more to be sorted in among the first ones.
  for (std::size_t i = 0; i < CapabilityNameIndex::kUnsortedLimit; ++i) {
    index.Add("CAP_0x" + std::to_string(8100 + (i * 13) % 41));
  }
  for (const char* name : {"CAP_0x8100", "CAP_0x8140", "CAP_0x8002", "icap_bit", "CAP_0x8000"}) {
    EXPECT_TRUE(index.HasBeginning(name)) << name;
  }
  for (const std::string& name : names) EXPECT_TRUE(index.HasBeginning(name)) << name;
  EXPECT_FALSE(index.HasBeginning("CAP_0x8003"));
  EXPECT_EQ(index.size(), names.size() + 2 + CapabilityNameIndex::kUnsortedLimit);
  // Cleared, then filled past the limit again: nothing of the first run is left.
  index.Clear();
  for (std::size_t i = 0; i <= CapabilityNameIndex::kUnsortedLimit; ++i) index.Add("ICAP_X");
  EXPECT_TRUE(index.HasBeginning("ICAP_X"));
  EXPECT_FALSE(index.HasBeginning(names.front()));
}

}  // namespace
