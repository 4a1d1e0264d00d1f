// Controls of the host platform layer, for tests: the doubles behind each
// service of platform/ record what the library did and can be told what to do.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "platform/dib_renderer.h"
#include "platform/handles.h"
#include "platform/message_queue.h"

namespace platform::host {

// Puts every service back as it was at process start.
void ResetPlatform();

// Memory blocks. Each block is its own heap allocation of exactly its size,
// so the sanitizer sees any read beyond it.
struct MemoryStats {
  long liveBlocks = 0;
  long allocations = 0;
  long frees = 0;
  long outstandingLocks = 0;  // locks taken and not yet released, all blocks
};
MemoryStats GetMemoryStats();
// The next `count` allocations fail.
void FailAllocations(int count);
// Every allocation of more than `bytes` fails (until the platform is reset).
void FailAllocationsAbove(std::size_t bytes);
// The next `count` locks fail, as locking a discarded block does.
void FailLocks(int count);
bool IsLiveBlock(MemoryHandle block);
int LockCount(MemoryHandle block);

// Modules: a path maps to a table of symbols; registering also makes the file exist.
using SymbolTable = std::map<std::string, void*>;
// onUnload runs when the last reference to a loaded module is released, as a
// real library loses its static state when it is unloaded.
void RegisterModule(const std::string& path, SymbolTable symbols,
                    std::function<void()> onUnload = nullptr);
void UnregisterModule(const std::string& path);
// What FileVersion answers for the file.
void SetFileVersion(const std::string& path, const std::string& version);
int LoadCount(const std::string& path);  // LoadModule calls that succeeded
int LiveModuleCount();                   // loaded and not yet freed

// Directories and files. Paths are compared without regard to case, as on Windows.
void SetWindowsDirectory(const std::string& text);
void SetSystemDirectory(const std::string& text);
void FailDirectoryQueries(bool fail);
void AddFile(const std::string& path);
void RemoveFile(const std::string& path);
// After `reads` more reads of real files, every read returns nothing, as a
// file cut short while it is read does (-1: never).
void CutFileReadsAfter(int reads);

// Message queue and windows.
void PostMessage(const Message& message);
std::size_t QueuedMessageCount();
// Called for every dispatched message, after it is recorded.
void SetDispatchHandler(std::function<void(const Message&)> handler);
std::vector<Message> TakeDispatched();
WindowHandle CreateTestWindow();
void DestroyTestWindow(WindowHandle window);
void FailNextWindowCreation();
std::string WindowTitle(WindowHandle window);
int LiveWindowCount();
int QuitPostCount();

// The tick count only moves when a test moves it.
void SetTickCount(std::uint32_t ticks);
void AdvanceTickCount(std::uint32_t milliseconds);

// Settings are kept in memory unless a file is named.
void SetSettingsFile(const std::string& path);

// The open-file dialog answers this path (nothing: the user cancels) and
// records every request.
struct OpenFileRequest {
  std::vector<std::pair<std::string, std::string>> filters;  // description, patterns
  std::string defaultExtension;
  std::size_t capacity = 0;
};
void SetOpenFileAnswer(std::optional<std::string> path);
std::vector<OpenFileRequest> TakeOpenFileRequests();

// The JPEG decoder (libjpeg-turbo) can be told that it cannot be created.
void FailJpegDecoderOpen(bool fail);
int JpegDecoderOpenCount();  // creations that succeeded
bool JpegDecoderIsOpen();

// The DIB renderer records every draw, with the header and colour table it
// was given and a checksum of the pixel bytes (all of which it reads).
struct DibDrawRecord {
  DeviceContext context = nullptr;
  DrawRect destination;
  DrawRect source;
  std::vector<unsigned char> info;
  std::size_t bitsBytes = 0;
  std::uint32_t bitsChecksum = 0;
};
std::vector<DibDrawRecord> TakeDibDraws();
int DibRealizeCount();
void SetDibRealizeResult(unsigned result);
std::uint32_t DibChecksum(const void* data, std::size_t bytes);

// GDI bitmaps: a token standing for an HBITMAP that holds this packed DIB
// (which it now owns); taking it hands the DIB back.
MemoryHandle MakeGdiBitmap(MemoryHandle dib);
int LiveGdiBitmapCount();

// The process's private bytes grow by this much.
void AddPrivateBytes(std::uint64_t bytes);

}  // namespace platform::host
