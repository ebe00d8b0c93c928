#pragma once

namespace tembrik::mediaplayer::detail {

// Turns libmpv's measured bitrate, which wanders by a few percent from second to second and includes
// container overhead, into a steady figure for the status line: values close to a usual encoder
// setting are shown as that setting, and the shown figure moves only when the measurement leaves a
// band around it. The first measurement of a stream is passed over: libmpv takes it before a full
// second of packets has arrived, and it can be off by a tenth.
class MeasuredBitrate {
public:
    // Feeds one measurement in bits per second (0 or less: unknown) and returns the kbit/s to show,
    // 0 when nothing is known.
    int update(double bitsPerSecond);
    int shownKbps() const { return shownKbps_; }
    void reset() {
        shownKbps_ = 0;
        measurements_ = 0;
    }

    // The nearest usual encoder setting when within a few percent, else kbps rounded.
    static int nominalKbps(double kbps);

private:
    int shownKbps_ = 0;
    int measurements_ = 0;
};

} // namespace tembrik::mediaplayer::detail
