// The host dialog answers what a test told it to and records what it was asked.
#include "platform/open_file_dialog.h"

#include <cstring>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "platform/host/host_platform.h"
#include "platform/host/host_reset.h"

namespace platform {
namespace {

struct DialogRecord {
  std::optional<std::string> answer;
  std::vector<host::OpenFileRequest> requests;
};

DialogRecord& Record() {
  static DialogRecord record;
  return record;
}

}  // namespace

bool AskOpenFileName(WindowHandle, const FileFilter* filters, std::size_t filterCount,
                     const char* defaultExtension, char* name, std::size_t capacity) {
  host::OpenFileRequest request;
  for (std::size_t i = 0; i < filterCount; ++i) {
    request.filters.emplace_back(filters[i].description, filters[i].patterns);
  }
  request.defaultExtension = defaultExtension ? defaultExtension : "";
  request.capacity = capacity;
  DialogRecord& record = Record();
  record.requests.push_back(std::move(request));
  if (!record.answer || !name || record.answer->size() + 1 > capacity) return false;
  std::memcpy(name, record.answer->c_str(), record.answer->size() + 1);
  return true;
}

// Both dialogs answer alike on the host.
bool AskSaveFileName(WindowHandle owner, const FileFilter* filters, std::size_t filterCount,
                     const char* defaultExtension, char* name, std::size_t capacity) {
  return AskOpenFileName(owner, filters, filterCount, defaultExtension, name, capacity);
}

namespace host {

void SetOpenFileAnswer(std::optional<std::string> path) {
  Record().answer = std::move(path);
}

std::vector<OpenFileRequest> TakeOpenFileRequests() {
  return std::exchange(Record().requests, {});
}

void ResetOpenFileDialog() {
  Record() = DialogRecord{};
}

}  // namespace host
}  // namespace platform
