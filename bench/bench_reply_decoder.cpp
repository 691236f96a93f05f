// Decoder throughput on the byte stream of a 60000-sample download, fed in the reader's 2048-byte chunks.
// The line carries at most 960 bytes per second (9600 baud, 8N1); the "line_ratio" counter says how many
// times faster than that the decoder runs.
#include <benchmark/benchmark.h>

#include <memory>
#include <vector>

#include "data/Recording.h"
#include "link/InstrumentLink.h"
#include "sim/InstrumentSimulator.h"

namespace {

using namespace thermivo;

class NullTransport : public FrameTransport {
  public:
    int write(const std::uint8_t*, int count) override { return count; }
    bool isPresent() override { return true; }
};

class NullSink : public MessageSink {
  public:
    void post(std::uint32_t, std::int64_t, std::int64_t) override {}
};

std::vector<std::uint8_t> downloadStream() {
    SimConfig config;
    config.samples = simulatedCurve(Recording::kCapacity, 1);
    InstrumentSimulator sim(config);
    std::vector<std::uint8_t> out;
    const std::uint8_t download[3] = {'S', 'T', 0};
    const auto header = sim.headerReply(download);
    out.insert(out.end(), header.begin(), header.end());
    for (int first = 0; first < Recording::kCapacity; first += 16) {
        const auto block = sim.blockReply(first);
        out.insert(out.end(), block.begin(), block.end());
    }
    return out;
}

void BM_DecodeFullDownload(benchmark::State& state) {
    const auto stream = downloadStream();
    auto recording = std::make_unique<Recording>();
    NullSink sink;
    NullTransport transport;
    for (auto _ : state) {
        InstrumentLink link(*recording, sink);
        link.setTransport(&transport);
        link.portNumber = 1;
        link.downloadMode = kDownloadMode;
        for (std::size_t at = 0; at < stream.size(); at += 2048) {
            const std::size_t n = std::min<std::size_t>(2048, stream.size() - at);
            link.receive(stream.data() + at, static_cast<int>(n));
        }
        if (recording->samplesLoaded != Recording::kCapacity) state.SkipWithError("download incomplete");
        benchmark::DoNotOptimize(recording->temperature.data());
    }
    const double bytes = static_cast<double>(stream.size()) * static_cast<double>(state.iterations());
    state.SetBytesProcessed(static_cast<std::int64_t>(bytes));
    state.counters["line_ratio"] = benchmark::Counter(bytes / 960.0, benchmark::Counter::kIsRate);
}
BENCHMARK(BM_DecodeFullDownload)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
