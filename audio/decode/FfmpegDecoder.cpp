#include "decode/FfmpegModule.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/avstring.h>
#include <libavutil/channel_layout.h>
#include <libavutil/dict.h>
#include <libavutil/mem.h>
#include <libswresample/swresample.h>
}

#include <algorithm>
#include <mutex>

#include "decode/FormatHint.h"
#include "decode/Input.h"

namespace tembrik::audio::decode {
namespace {

constexpr int kAvioBufferSize = 4096;
constexpr int kMaxReadErrors = 64; // consecutive demuxer errors before giving up
// The audio containers we play. Every other demuxer stays out of reach: several of FFmpeg's
// (concat, DASH, HLS, SDP, image sequences...) read files or open connections of their own.
constexpr const char* kAllowedFormats = "mp3,aac,ogg,flac,asf,wav,matroska";

void quietFfmpeg() {
    static std::once_flag once;
    std::call_once(once, [] { av_log_set_level(AV_LOG_QUIET); });
}

std::string errorText(int code) {
    char text[AV_ERROR_MAX_STRING_SIZE] = {};
    av_strerror(code, text, sizeof text);
    return text;
}

// FFmpeg decoding of a stream's bytes, read straight from the network buffer through a custom
// AVIO context. The demuxer is the one the first bytes named, so opening needs no long probe (and
// avformat_find_stream_info, whose analyzeduration=0 means five seconds, is never called).
// Output goes through libswresample to the engine's rate. Opened on the opener thread, then used
// by the stream's decode thread alone.
class FfmpegDecoder final : public Decoder {
public:
    FfmpegDecoder() = default;
    ~FfmpegDecoder() override {
        closeFormat();
        av_packet_free(&packet);
        av_frame_free(&frame);
    }

    bool decodeSome(std::vector<float>& out) override;
    std::uint64_t position() const override { return decodedBytes; }
    std::int64_t bitRate() const override;
    std::string formatName() const override { return fmt && fmt->iformat ? fmt->iformat->name : ""; }
    std::string codecName() const override { return codec && codec->codec ? codec->codec->name : ""; }
    std::optional<std::string> takeCommentTag() override {
        auto tag = std::move(pendingCommentTag);
        pendingCommentTag.reset();
        return tag;
    }

    std::shared_ptr<Input> source;
    DecoderConfig config;
    bool opening = true;
    bool aborted = false;
    bool timedOut = false;
    DecodeClock::time_point attemptDeadline; // while opening: this attempt's share of the time-out

    AVIOContext* avio = nullptr;
    AVFormatContext* fmt = nullptr;
    AVCodecContext* codec = nullptr;
    int streamIndex = -1;
    AVPacket* packet = av_packet_alloc();
    AVFrame* frame = av_frame_alloc();

    SwrContext* swr = nullptr;
    int swrInRate = 0;
    int swrInFormat = -1;
    AVChannelLayout swrInLayout{};
    int swrOutChannels = 2;
    std::vector<float> convertScratch;

    std::vector<float> firstAudio; // decoded while opening, handed out by the first decodeSome()
    double packetBytes = 0;        // audio packets seen while opening, for a bit rate the codec does not say
    double packetSeconds = 0;
    bool ended = false;
    int readErrors = 0;
    std::uint64_t decodedBytes = 0; // stream bytes whose packets went to the codec
    std::uint64_t avioBase = 0;     // stream byte at which this attempt's AVIO context starts
    std::string lastCommentTag;
    std::optional<std::string> pendingCommentTag;
    // FFmpeg's Ogg demuxer keeps an Opus stream's comments across a chain boundary (a new song on
    // a station) and appends the next song's to them, "Old;New"; Vorbis starts afresh.
    bool commentsAccumulate = false;
    std::string lastArtist; // as FFmpeg last gave them, to find the new song's part
    std::string lastTitle;

    void closeFormat() {
        avcodec_free_context(&codec);
        if (fmt)
            avformat_close_input(&fmt);
        if (avio) {
            av_freep(&avio->buffer);
            avio_context_free(&avio);
        }
        swr_free(&swr);
        av_channel_layout_uninit(&swrInLayout);
        swrInRate = 0;
        swrInFormat = -1;
        streamIndex = -1;
    }

    static int readPacket(void* opaque, uint8_t* buf, int size) {
        auto* d = static_cast<FfmpegDecoder*>(opaque);
        std::size_t want = static_cast<std::size_t>(size);
        std::optional<DecodeClock::time_point> deadline;
        if (d->opening) {
            std::uint64_t used = d->source->consumed();
            if (used >= d->config.maxProbeBytes)
                return AVERROR_EOF;
            want = std::min<std::size_t>(want, d->config.maxProbeBytes - used);
            deadline = d->attemptDeadline;
        }
        long n = d->source->read(reinterpret_cast<char*>(buf), want, deadline);
        if (n > 0)
            return static_cast<int>(n);
        if (n == Input::kEnd)
            return AVERROR_EOF;
        if (n == Input::kAborted) {
            d->aborted = true;
        } else {
            d->timedOut = true;
        }
        return AVERROR_EXIT;
    }

    static int interrupted(void* opaque) {
        auto* d = static_cast<FfmpegDecoder*>(opaque);
        return d->source->aborted() ? 1 : 0;
    }

    // Opens with the named demuxer at the input's position (stream byte `offset`). Fills firstAudio
    // on success.
    bool attempt(const std::string& formatName, std::uint64_t offset, std::string& detail) {
        avioBase = offset;
        auto* buffer = static_cast<unsigned char*>(av_malloc(kAvioBufferSize));
        avio = avio_alloc_context(buffer, kAvioBufferSize, 0, this, &FfmpegDecoder::readPacket, nullptr,
                                  nullptr);
        if (!avio) {
            av_free(buffer);
            detail = "out of memory";
            return false;
        }
        avio->seekable = 0;
        fmt = avformat_alloc_context();
        fmt->pb = avio;
        fmt->flags |= AVFMT_FLAG_CUSTOM_IO;
        fmt->interrupt_callback.callback = &FfmpegDecoder::interrupted;
        fmt->interrupt_callback.opaque = this;
        fmt->probesize = 32768;
        fmt->max_analyze_duration = 100000; // never used for analysis: no find_stream_info
        // No FFmpeg protocol at all: every byte comes through our AVIO; the demuxers we allow
        // never need another, and one that tried (a reference to a file or an address) fails.
        fmt->protocol_whitelist = av_strdup("");
        fmt->format_whitelist = av_strdup(kAllowedFormats);
        const AVInputFormat* input = av_find_input_format(formatName.c_str());
        if (!input || av_match_list(input->name, kAllowedFormats, ',') <= 0) {
            detail = "no demuxer for " + formatName;
            return false;
        }
        int r = avformat_open_input(&fmt, nullptr, input, nullptr);
        if (r < 0) {
            fmt = nullptr; // freed by avformat_open_input
            detail = "cannot read as " + formatName + ": " + errorText(r);
            return false;
        }
        streamIndex = -1;
        for (unsigned i = 0; i < fmt->nb_streams; ++i) {
            if (fmt->streams[i]->codecpar->codec_type == AVMEDIA_TYPE_AUDIO) {
                streamIndex = static_cast<int>(i);
                break;
            }
        }
        if (streamIndex < 0) {
            detail = "no audio stream";
            return false;
        }
        for (unsigned i = 0; i < fmt->nb_streams; ++i) {
            if (static_cast<int>(i) != streamIndex)
                fmt->streams[i]->discard = AVDISCARD_ALL;
        }
        AVStream* st = fmt->streams[streamIndex];
        const AVCodec* decoder = avcodec_find_decoder(st->codecpar->codec_id);
        if (!decoder) {
            detail = std::string("no decoder for ") + avcodec_get_name(st->codecpar->codec_id);
            return false;
        }
        codec = avcodec_alloc_context3(decoder);
        avcodec_parameters_to_context(codec, st->codecpar);
        codec->pkt_timebase = st->time_base;
        codec->thread_count = 1;
        if (avcodec_open2(codec, decoder, nullptr) < 0) {
            detail = std::string("cannot open decoder ") + decoder->name;
            return false;
        }
        commentsAccumulate = st->codecpar->codec_id == AV_CODEC_ID_OPUS;
        noteComments(st->metadata);
        if (!pendingCommentTag)
            noteComments(fmt->metadata);

        // Audio counts as found once two consecutive packets decode without error.
        int clean = 0;
        for (int packets = 0; packets < 2000; ++packets) {
            int rr = av_read_frame(fmt, packet);
            if (rr < 0) {
                if (rr == AVERROR_EOF || rr == AVERROR_EXIT)
                    break;
                continue;
            }
            if (packet->stream_index != streamIndex) {
                av_packet_unref(packet);
                continue;
            }
            checkPacketComments();
            if (packet->duration > 0) {
                packetBytes += packet->size;
                packetSeconds +=
                    static_cast<double>(packet->duration) * av_q2d(fmt->streams[streamIndex]->time_base);
            }
            bool error = false;
            std::size_t before = firstAudio.size();
            decodePacket(packet, firstAudio, error);
            av_packet_unref(packet);
            if (error) {
                clean = 0;
                firstAudio.resize(before);
                continue;
            }
            if (firstAudio.size() > before && ++clean >= 2)
                return true;
        }
        if (!firstAudio.empty() && source->finished() && !aborted && !timedOut)
            return true; // a very short file
        detail = "no audio decoded (" + formatName + ")";
        return false;
    }

    // Where the packet ends in the stream; a demuxer that does not say is taken to have used all
    // it was handed (what the source gave, less what still waits in the AVIO buffer).
    void noteDecodedBytes(const AVPacket& p) {
        std::uint64_t end = 0;
        if (p.pos >= 0) {
            end = avioBase + static_cast<std::uint64_t>(p.pos) + static_cast<std::uint64_t>(p.size);
        } else {
            const auto unread = avio ? static_cast<std::uint64_t>(avio->buf_end - avio->buf_ptr) : 0;
            const std::uint64_t consumed = source->consumed();
            end = consumed > unread ? consumed - unread : 0;
        }
        decodedBytes = std::max(decodedBytes, end);
    }

    // Sends one packet (nullptr: drain) and appends whatever frames come out.
    void decodePacket(const AVPacket* p, std::vector<float>& out, bool& error) {
        if (p)
            noteDecodedBytes(*p);
        int r = avcodec_send_packet(codec, p);
        if (r < 0 && r != AVERROR(EAGAIN) && r != AVERROR_EOF) {
            error = true;
            return;
        }
        while (true) {
            r = avcodec_receive_frame(codec, frame);
            if (r == AVERROR(EAGAIN) || r == AVERROR_EOF)
                break;
            if (r < 0) {
                error = true;
                break;
            }
            if (frame->decode_error_flags != 0 || (frame->flags & AV_FRAME_FLAG_CORRUPT))
                error = true;
            convert(frame, out);
            av_frame_unref(frame);
        }
    }

    void convert(const AVFrame* f, std::vector<float>& out) {
        if (f->nb_samples <= 0 || f->sample_rate <= 0 || f->ch_layout.nb_channels <= 0)
            return;
        bool same = swr && swrInRate == f->sample_rate && swrInFormat == f->format &&
                    av_channel_layout_compare(&swrInLayout, &f->ch_layout) == 0;
        if (!same) {
            if (swr)
                drainResampler(out);
            swr_free(&swr);
            av_channel_layout_uninit(&swrInLayout);
            AVChannelLayout in{};
            if (f->ch_layout.order == AV_CHANNEL_ORDER_UNSPEC) {
                av_channel_layout_default(&in, f->ch_layout.nb_channels);
            } else {
                av_channel_layout_copy(&in, &f->ch_layout);
            }
            swrOutChannels = in.nb_channels == 1 ? 1 : 2;
            AVChannelLayout outLayout{};
            av_channel_layout_default(&outLayout, swrOutChannels);
            if (swr_alloc_set_opts2(&swr, &outLayout, AV_SAMPLE_FMT_FLT, config.outputRate, &in,
                                    static_cast<AVSampleFormat>(f->format), f->sample_rate, 0, nullptr) < 0 ||
                swr_init(swr) < 0) {
                swr_free(&swr);
                av_channel_layout_uninit(&in);
                return;
            }
            av_channel_layout_uninit(&in);
            av_channel_layout_copy(&swrInLayout, &f->ch_layout);
            swrInRate = f->sample_rate;
            swrInFormat = f->format;
        }
        int maxOut = swr_get_out_samples(swr, f->nb_samples);
        if (maxOut <= 0)
            return;
        convertScratch.resize(static_cast<std::size_t>(maxOut) * static_cast<std::size_t>(swrOutChannels));
        auto* dst = reinterpret_cast<uint8_t*>(convertScratch.data());
        int n = swr_convert(swr, &dst, maxOut, const_cast<const uint8_t**>(f->extended_data), f->nb_samples);
        append(n, out);
    }

    void drainResampler(std::vector<float>& out) {
        if (!swr)
            return;
        int maxOut = swr_get_out_samples(swr, 0);
        if (maxOut <= 0)
            return;
        convertScratch.resize(static_cast<std::size_t>(maxOut) * static_cast<std::size_t>(swrOutChannels));
        auto* dst = reinterpret_cast<uint8_t*>(convertScratch.data());
        append(swr_convert(swr, &dst, maxOut, nullptr, 0), out);
    }

    void append(int frames, std::vector<float>& out) {
        if (frames <= 0)
            return;
        auto count = static_cast<std::size_t>(frames);
        if (swrOutChannels == 2) {
            out.insert(out.end(), convertScratch.begin(),
                       convertScratch.begin() + static_cast<std::ptrdiff_t>(count * 2));
        } else {
            out.reserve(out.size() + count * 2);
            for (std::size_t i = 0; i < count; ++i) {
                out.push_back(convertScratch[i]);
                out.push_back(convertScratch[i]);
            }
        }
    }

    std::string latestComment(const AVDictionaryEntry* entry, std::string& last) const {
        std::string value = entry ? entry->value : "";
        std::string latest = value;
        if (commentsAccumulate && !last.empty() && value.size() > last.size() && value.starts_with(last) &&
            value[last.size()] == ';')
            latest = value.substr(last.size() + 1);
        last = std::move(value);
        return latest;
    }

    void noteComments(const AVDictionary* dict) {
        if (!dict)
            return;
        const AVDictionaryEntry* artist = av_dict_get(dict, "artist", nullptr, 0);
        const AVDictionaryEntry* title = av_dict_get(dict, "title", nullptr, 0);
        std::string tag = streamTitleTag(latestComment(artist, lastArtist), latestComment(title, lastTitle));
        if (!tag.empty() && tag != lastCommentTag) {
            lastCommentTag = tag;
            pendingCommentTag = tag;
        }
    }

    void checkPacketComments() {
        std::size_t size = 0;
        const uint8_t* data = av_packet_get_side_data(packet, AV_PKT_DATA_METADATA_UPDATE, &size);
        AVStream* st = fmt->streams[streamIndex];
        if (data && size > 0) {
            AVDictionary* dict = nullptr;
            if (av_packet_unpack_dictionary(data, size, &dict) == 0)
                noteComments(dict);
            av_dict_free(&dict);
        } else if (st->event_flags & AVSTREAM_EVENT_FLAG_METADATA_UPDATED) {
            noteComments(st->metadata);
        }
        st->event_flags &= ~AVSTREAM_EVENT_FLAG_METADATA_UPDATED;
    }
};

bool FfmpegDecoder::decodeSome(std::vector<float>& out) {
    FfmpegDecoder& d = *this;
    if (!d.firstAudio.empty()) {
        out.insert(out.end(), d.firstAudio.begin(), d.firstAudio.end());
        d.firstAudio.clear();
        d.firstAudio.shrink_to_fit();
        return true;
    }
    if (d.ended)
        return false;
    const std::size_t before = out.size();
    while (out.size() == before) {
        int r = av_read_frame(d.fmt, d.packet);
        if (r < 0) {
            if (r == AVERROR_EOF || r == AVERROR_EXIT || d.source->aborted() ||
                ++d.readErrors > kMaxReadErrors ||
                (d.source->finished() && d.fmt->pb && avio_feof(d.fmt->pb))) {
                bool error = false;
                if (!d.aborted) {
                    d.decodePacket(nullptr, out, error);
                    d.drainResampler(out);
                }
                d.ended = true;
                return out.size() > before;
            }
            continue;
        }
        d.readErrors = 0;
        if (d.packet->stream_index != d.streamIndex) {
            av_packet_unref(d.packet);
            continue;
        }
        d.checkPacketComments();
        bool error = false;
        d.decodePacket(d.packet, out, error);
        av_packet_unref(d.packet);
    }
    return true;
}

std::int64_t FfmpegDecoder::bitRate() const {
    const FfmpegDecoder& d = *this;
    if (d.codec && d.codec->bit_rate > 0)
        return d.codec->bit_rate;
    if (d.fmt && d.streamIndex >= 0 && d.fmt->streams[d.streamIndex]->codecpar->bit_rate > 0) {
        return d.fmt->streams[d.streamIndex]->codecpar->bit_rate;
    }
    if (d.packetSeconds >= 0.02)
        return static_cast<std::int64_t>(d.packetBytes * 8 / d.packetSeconds);
    if (d.fmt && d.fmt->bit_rate > 0)
        return d.fmt->bit_rate;
    return 0;
}

} // namespace

extern "C" TEMBRIK_FFMPEG_EXPORT int tembrik_ffmpeg_module_abi() {
    return kFfmpegModuleAbi;
}

extern "C" TEMBRIK_FFMPEG_EXPORT Decoder* tembrik_ffmpeg_open(const Attempt& attempt,
                                                              AttemptFailure& failure) {
    quietFfmpeg();
    auto decoder = std::make_unique<FfmpegDecoder>();
    decoder->source = attempt.input;
    decoder->config = attempt.config;
    decoder->attemptDeadline = attempt.deadline;
    if (!decoder->attempt(attempt.format, attempt.offset, failure.detail)) {
        failure.timedOut = decoder->timedOut;
        failure.aborted = decoder->aborted;
        return nullptr;
    }
    decoder->opening = false;
    return decoder.release();
}

} // namespace tembrik::audio::decode
