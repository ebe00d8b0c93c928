#include "engine/DecodeThread.h"

#include <algorithm>
#include <chrono>
#include <vector>

namespace tembrik::audio::detail {

void runDecodeThread(std::shared_ptr<StreamCore> stream, std::shared_ptr<decode::Decoder> decoder, int sampleRate,
                     std::function<void(const std::string&)> onTag) {
  mix::PcmRing& ring = stream->track->ring;
  const std::size_t lowWater = ring.capacity() / 2;
  std::vector<float> pending;
  pending.reserve(16384);
  std::size_t offset = 0;  // floats of `pending` already in the ring
  bool more = true;
  auto freed = [&] { return stream->freed.load(std::memory_order_acquire); };

  while (!freed()) {
    if (offset < pending.size()) {
      offset += 2 * ring.write(pending.data() + offset, (pending.size() - offset) / 2);
      if (offset < pending.size()) {
        // The ring is full: sleep until it has drained to half (if it plays), then top it up.
        const std::size_t queued = ring.available();
        const auto frames = queued > lowWater ? queued - lowWater : 1;
        auto wait = std::chrono::milliseconds(std::clamp<long long>(
            static_cast<long long>(frames) * 1000 / sampleRate, 5, 250));
        std::unique_lock lock(stream->wakeMutex);
        stream->wakeCv.wait_for(lock, wait, freed);
        continue;
      }
    }
    if (!more) break;
    pending.clear();
    offset = 0;
    more = decoder->decodeSome(pending);
    if (auto tag = decoder->takeCommentTag()) onTag(*tag);
  }
  decoder.reset();  // closes FFmpeg on this thread
  stream->track->decoderDone.store(true, std::memory_order_release);
}

}  // namespace tembrik::audio::detail
