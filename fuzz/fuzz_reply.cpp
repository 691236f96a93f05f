// Fuzzes the receive routine and the reply decoder with arbitrary bytes in arbitrary chunks.
// Input: byte 0 selects the download mode and the chunking seed; the rest is the line's byte stream.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <memory>

#include "data/Recording.h"
#include "link/InstrumentLink.h"
#include "link/LinkMessages.h"
#include "link/ReplyDecoder.h"

namespace {

class NullTransport : public thermivo::FrameTransport {
  public:
    int write(const std::uint8_t*, int count) override { return count; }
    bool isPresent() override { return true; }
};

/// Sink that forgets; keeps the fuzzer's memory flat.
class NullSink : public thermivo::MessageSink {
  public:
    void post(std::uint32_t, std::int64_t, std::int64_t) override {}
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace thermivo;
    if (size == 0) return 0;
    static auto recording = std::make_unique<Recording>();
    static NullSink sink;
    static NullTransport transport;
    recording->reset();
    recording->dataFlags = 0;
    InstrumentLink link(*recording, sink);
    link.setTransport(&transport);
    link.portNumber = 1;
    link.downloadMode = (data[0] & 1) != 0 ? kDownloadMode : 0;
    link.setClock([] { return std::int64_t{1'780'000'000}; });
    std::uint32_t state = data[0];
    std::size_t at = 1;
    while (at < size) {
        state = state * 1103515245u + 12345u;
        // Mostly small chunks (frames split anywhere), sometimes large ones.
        const std::size_t want = (state >> 16) % 8 == 0 ? (state >> 8) % 2048 + 1 : (state >> 16) % 48 + 1;
        const std::size_t n = want < size - at ? want : size - at;
        link.receive(data + at, static_cast<int>(n));
        const int fill = link.decoder().fillCount();
        if (fill < 0 || fill > ReplyDecoder::kBufferSize) std::abort();
        if (recording->samplesLoaded < 0 || recording->samplesLoaded > Recording::kCapacity) std::abort();
        at += n;
    }
    return 0;
}
