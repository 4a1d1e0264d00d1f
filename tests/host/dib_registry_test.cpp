#include "imaging/dib_registry.h"

#include <gtest/gtest.h>

#include <memory>

#include "imaging/dib_image.h"
#include "platform/host/host_platform.h"

namespace {

using platform::host::GetMemoryStats;
using platform::host::IsLiveBlock;

TEST(DibRegistryTest, TheLastReleaseFreesTheBlock) {
  DibHandle dib = DIB_Create(24, 4, 4);
  auto first = std::make_unique<DibImage>(dib);
  auto second = std::make_unique<DibImage>(dib);
  EXPECT_EQ(DibRegistry_Count(dib), 2);
  EXPECT_EQ(platform::host::LockCount(dib), 2);
  first.reset();
  EXPECT_TRUE(IsLiveBlock(dib));
  EXPECT_EQ(DibRegistry_Count(dib), 1);
  second.reset();
  EXPECT_FALSE(IsLiveBlock(dib));
  EXPECT_EQ(DibRegistry_Count(dib), 0);
  EXPECT_EQ(GetMemoryStats().outstandingLocks, 0);
}

TEST(DibRegistryTest, ReattachingTheSameHandleIsSafe) {
  DibHandle dib = DIB_Create(8, 4, 4);
  DibImage view(dib);
  EXPECT_TRUE(view.Attach(dib));
  EXPECT_TRUE(view.Attach(dib));
  EXPECT_TRUE(IsLiveBlock(dib));
  EXPECT_EQ(DibRegistry_Count(dib), 1);
  EXPECT_EQ(platform::host::LockCount(dib), 1);
  EXPECT_EQ(view.Depth(), 8);

  // Moving the view to another handle lets go of the first.
  DibHandle other = DIB_Create(1, 4, 4);
  EXPECT_TRUE(view.Attach(other));
  EXPECT_FALSE(IsLiveBlock(dib));
  EXPECT_EQ(view.Depth(), 1);
}

TEST(DibRegistryTest, IgnoresNullAndUnregisteredHandles) {
  DibHandle dib = DIB_Create(8, 1, 1);
  DibRegistry_Release(nullptr);
  DibRegistry_Release(dib);
  EXPECT_TRUE(IsLiveBlock(dib)) << "a handle nobody registered is not the registry's to free";
  DibRegistry_AddRef(nullptr);
  EXPECT_EQ(DibRegistry_Count(nullptr), 0);
  DibRegistry_AddRef(dib);
  DibRegistry_AddRef(dib);
  EXPECT_EQ(DibRegistry_Count(dib), 2);
  DibRegistry_Release(dib);
  DibRegistry_Release(dib);
  EXPECT_FALSE(IsLiveBlock(dib));
  EXPECT_EQ(GetMemoryStats().liveBlocks, 0);
}

}  // namespace
