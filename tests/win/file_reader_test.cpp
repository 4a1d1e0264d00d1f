#include "platform/file_reader.h"

#include <windows.h>

#include <gtest/gtest.h>

namespace {

TEST(FileReader, ReadsSeeksAndKeepsWritersOut) {
  const char* path = "fixtures\\gray.bmp";
  platform::OpenedFile file(path);
  ASSERT_TRUE(file);
  EXPECT_EQ(platform::FileLength(file.get()), 1918);
  char head[2] = {};
  ASSERT_EQ(platform::ReadFileBytes(file.get(), head, 2), 2u);
  EXPECT_EQ(head[0], 'B');
  ASSERT_TRUE(platform::SeekFile(file.get(), 1917));
  char tail[4] = {};
  EXPECT_EQ(platform::ReadFileBytes(file.get(), tail, 4), 1u) << "a short read at the end";

  HANDLE writer = CreateFileA(path, GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                              OPEN_EXISTING, 0, nullptr);
  EXPECT_EQ(writer, INVALID_HANDLE_VALUE);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_SHARING_VIOLATION));
  if (writer != INVALID_HANDLE_VALUE) CloseHandle(writer);
  platform::OpenedFile reader(path);
  EXPECT_TRUE(reader) << "other readers are welcome";
  EXPECT_FALSE(platform::OpenedFile("fixtures\\missing.bmp"));
}

}  // namespace
