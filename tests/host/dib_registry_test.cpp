#include "imaging/dib_registry.h"

#include <gtest/gtest.h>

#include <memory>

#include "imaging/dib_image.h"
#include "platform/host/host_platform.h"

namespace {

using platform::host::IsLiveBlock;
using platform::host::LockCount;

TEST(DibRegistryTest, SharedViewsFreeTheBlockWithTheLastRelease) {
  DibHandle dib = DIB_Create(24, 4, 4);
  auto first = std::make_unique<DibImage>(dib);
  auto second = std::make_unique<DibImage>(dib);
  EXPECT_EQ(DibRegistry_Count(dib), 2);
  first.reset();
  EXPECT_TRUE(IsLiveBlock(dib));
  // Re-attaching the handle a view already holds keeps it alive.
  EXPECT_TRUE(second->Attach(dib));
  EXPECT_EQ(DibRegistry_Count(dib), 1);
  EXPECT_EQ(LockCount(dib), 1);
  // Detach hands the handle back with its reference.
  EXPECT_EQ(second->Detach(), dib);
  EXPECT_EQ(LockCount(dib), 0);
  EXPECT_TRUE(IsLiveBlock(dib));
  DibRegistry_Release(dib);
  EXPECT_FALSE(IsLiveBlock(dib));
  EXPECT_EQ(platform::host::GetMemoryStats().outstandingLocks, 0);
}

TEST(DibRegistryTest, IgnoresNullAndUnregisteredHandles) {
  DibHandle dib = DIB_Create(8, 1, 1);
  DibRegistry_Release(nullptr);
  DibRegistry_Release(dib);
  EXPECT_TRUE(IsLiveBlock(dib)) << "a handle nobody registered is not the registry's to free";
  DibRegistry_AddRef(nullptr);
  EXPECT_EQ(DibRegistry_Count(nullptr), 0);
  DibRegistry_AddRef(dib);
  DibRegistry_Release(dib);
  EXPECT_FALSE(IsLiveBlock(dib));
}

}  // namespace
