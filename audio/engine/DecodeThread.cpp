#include "engine/DecodeThread.h"

#include <algorithm>
#include <chrono>
#include <vector>

#include "common/ThreadName.h"

namespace tembrik::audio::detail {

void runDecodeThread(std::shared_ptr<StreamCore> stream, std::shared_ptr<decode::Decoder> decoder,
                     int sampleRate, std::uint64_t titleDelayFrames,
                     std::function<void(const std::string&, std::uint64_t)> onTag) {
    common::nameThisThread("audio-decode");
    mix::PcmRing& ring = stream->track->ring;
    const std::size_t lowWater = ring.capacity() * 3 / 5; // top up from 60 %: a late wake-up still has margin
    std::vector<float> pending;
    pending.reserve(16384);
    std::size_t offset = 0;     // floats of `pending` already in the ring
    std::uint64_t produced = 0; // frames decoded so far: the ring frame where `pending` ends
    bool more = true;
    auto freed = [&] { return stream->freed.load(std::memory_order_acquire); };
    // How fast the output drains the ring, relative to real time (a device runs at 1; the null
    // output of tests may run faster). Measured over each sleep, so the next sleep fits.
    double speed = std::max(1.0, stream->track->outputSpeed);
    auto lastCheck = std::chrono::steady_clock::now();
    std::size_t lastRead = ring.totalRead();

    while (!freed()) {
        if (offset < pending.size()) {
            offset += 2 * ring.write(pending.data() + offset, (pending.size() - offset) / 2);
            if (offset < pending.size()) {
                // The ring is full: sleep until it has drained to half (if it plays), then top it up.
                const std::size_t queued = ring.available();
                const auto frames = queued > lowWater ? queued - lowWater : 1;
                auto wait = std::chrono::milliseconds(std::clamp<long long>(
                    static_cast<long long>(static_cast<double>(frames) * 1000.0 / (sampleRate * speed)), 5,
                    250));
                {
                    std::unique_lock lock(stream->wakeMutex);
                    stream->wakeCv.wait_for(lock, wait, freed);
                }
                const auto now = std::chrono::steady_clock::now();
                const double seconds = std::chrono::duration<double>(now - lastCheck).count();
                const std::size_t read = ring.totalRead();
                if (seconds > 0.001) {
                    const double measured = static_cast<double>(read - lastRead) / (seconds * sampleRate);
                    if (ring.available() == 0) {
                        speed =
                            std::min(64.0, std::max(speed, measured) * 2); // it ran dry: the estimate was low
                    } else {
                        speed = std::max(stream->track->outputSpeed, std::max(measured, speed * 0.5));
                    }
                }
                lastCheck = now;
                lastRead = read;
                continue;
            }
        }
        if (!more)
            break;
        pending.clear();
        offset = 0;
        const std::uint64_t start = produced;
        more = decoder->decodeSome(pending);
        produced += pending.size() / 2;
        if (auto tag = decoder->takeCommentTag())
            onTag(*tag, start);
        stream->pinTitles(decoder->position(), produced, titleDelayFrames);
    }
    // Titles after the last audio byte are current once everything decoded has played.
    stream->pinTitles(~std::uint64_t{0}, produced, 0);
    decoder.reset(); // closes FFmpeg on this thread
    stream->track->decoderDone.store(true, std::memory_order_release);
}

} // namespace tembrik::audio::detail
