// The Replay Source against the Sample Source it replays: a whole job (open,
// enable, one page by native transfer or by memory strips, end, close) of the
// Sample Flatbed's default page, and the same job played from a trace of it.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstring>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "bench/ratio_reporter.h"
#include "platform/memory.h"
#include "replay/replay_module.h"
#include "sample_source/quiet_host.h"
#include "sample_source/source_module.h"
#include "trace/trace_writer.h"

namespace {

std::unique_ptr<sample::SourceHost> MakeHost(const TW_ENTRYPOINT*) {
  return std::make_unique<sample::QuietHost>("/tmp/");
}

using Entry = std::function<TW_UINT16(TW_UINT32, TW_UINT16, TW_UINT16, TW_MEMREF)>;

// One job; the native image's bytes when `keep` is given.
void Job(const Entry& call, bool memory, std::vector<std::uint8_t>* keep = nullptr) {
  TW_IDENTITY identity{};
  std::strcpy(identity.ProductName, sample::kFlatbedName);
  call(DG_CONTROL, DAT_IDENTITY, MSG_OPENDS, &identity);
  TW_USERINTERFACE ui{TW_FALSE, TW_FALSE, nullptr};
  call(DG_CONTROL, DAT_USERINTERFACE, MSG_ENABLEDS, &ui);
  if (memory) {
    TW_SETUPMEMXFER setup{};
    call(DG_CONTROL, DAT_SETUPMEMXFER, MSG_GET, &setup);
    std::vector<std::uint8_t> buffer(setup.Preferred);
    TW_UINT16 rc;
    do {
      TW_IMAGEMEMXFER xfer{};
      xfer.Memory = {TWMF_APPOWNS | TWMF_POINTER, static_cast<TW_UINT32>(buffer.size()),
                     buffer.data()};
      rc = call(DG_IMAGE, DAT_IMAGEMEMXFER, MSG_GET, &xfer);
      benchmark::DoNotOptimize(buffer.data());
    } while (rc == TWRC_SUCCESS);
  } else {
    TW_HANDLE image = nullptr;
    call(DG_IMAGE, DAT_IMAGENATIVEXFER, MSG_GET, &image);
    if (keep && image) {
      platform::MemLockGuard lock(image);
      const auto* bytes = static_cast<const std::uint8_t*>(lock.data());
      keep->assign(bytes, bytes + platform::MemSize(image));
    }
    platform::MemFree(image);
  }
  TW_PENDINGXFERS pending{};
  call(DG_CONTROL, DAT_PENDINGXFERS, MSG_ENDXFER, &pending);
  call(DG_CONTROL, DAT_USERINTERFACE, MSG_DISABLEDS, &ui);
  call(DG_CONTROL, DAT_IDENTITY, MSG_CLOSEDS, &identity);
}

Entry SampleEntry(sample::SourceModule& module, TW_IDENTITY& app) {
  return [&module, &app](TW_UINT32 dg, TW_UINT16 dat, TW_UINT16 msg, TW_MEMREF data) {
    return module.Entry(&app, dg, dat, msg, data);
  };
}

// A trace of one native job against the Flatbed, as the probe records one.
std::string FlatbedTrace() {
  sample::SourceModule module(MakeHost, [] { return std::string(); }, {0});
  TW_IDENTITY app{};
  app.Id = 1;
  std::vector<std::uint8_t> dib;
  Job(SampleEntry(module, app), false, &dib);
  const std::string path = "/tmp/vorrel_replay_bench.vtrace";
  FileTraceOutput output(path);
  TraceWriter writer(output);
  writer.WriteHeader({});
  TraceCall open;
  open.number = 1;
  open.dg = DG_CONTROL;
  open.dat = DAT_IDENTITY;
  open.msg = MSG_OPENDS;
  open.returned = true;
  open.rc = TWRC_SUCCESS;
  TW_IDENTITY identity = sample::SourceIdentity(0);
  identity.Id = 2;
  open.out.resize(sizeof(identity));
  std::memcpy(open.out.data(), &identity, sizeof(identity));
  writer.WriteCall(open);
  TraceCall enable = open;
  enable.number = 2;
  enable.toSource = true;
  enable.destinationId = 2;
  enable.dat = DAT_USERINTERFACE;
  enable.msg = MSG_ENABLEDS;
  enable.out.clear();
  writer.WriteCall(enable);
  TraceCall native = enable;
  native.number = 3;
  native.dg = DG_IMAGE;
  native.dat = DAT_IMAGENATIVEXFER;
  native.msg = MSG_GET;
  native.rc = TWRC_XFERDONE;
  native.blobs.push_back({BlobKind::kDib, dib});
  writer.WriteCall(native);
  return path;
}

void Run(benchmark::State& state, const Entry& call, bool memory) {
  for (auto _ : state) Job(call, memory);
}

void SampleNative(benchmark::State& state) {
  sample::SourceModule module(MakeHost, [] { return std::string(); }, {0});
  TW_IDENTITY app{};
  app.Id = 1;
  Run(state, SampleEntry(module, app), false);
}

void SampleMemory(benchmark::State& state) {
  sample::SourceModule module(MakeHost, [] { return std::string(); }, {0});
  TW_IDENTITY app{};
  app.Id = 1;
  Run(state, SampleEntry(module, app), true);
}

void Replay(benchmark::State& state, bool memory) {
  const std::string path = FlatbedTrace();
  replay::ReplayModule module(MakeHost, [path] { return replay::ReplaySettings{path, {}}; });
  TW_IDENTITY app{};
  app.Id = 1;
  Run(
      state,
      [&module, &app](TW_UINT32 dg, TW_UINT16 dat, TW_UINT16 msg, TW_MEMREF data) {
        return module.Entry(&app, dg, dat, msg, data);
      },
      memory);
}

void ReplayNative(benchmark::State& state) {
  Replay(state, false);
}
void ReplayMemory(benchmark::State& state) {
  Replay(state, true);
}

BENCHMARK(SampleNative);
BENCHMARK(ReplayNative);
BENCHMARK(SampleMemory);
BENCHMARK(ReplayMemory);

}  // namespace

int main(int argc, char** argv) {
  return RunWithRatios(argc, argv, "The replay's job beside the Sample Flatbed's:",
                       {{"ReplayNative", "SampleNative"}, {"ReplayMemory", "SampleMemory"}});
}
