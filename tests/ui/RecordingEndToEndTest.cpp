// Recording on the local radio station with the real engine: the saved file holds exactly the bytes
// the engine downloaded for the station from the first block after the request, and it plays.
#include "ProgramDirFixture.h"
#include "TestAudio.h"

#include "app/PlayerState.h"
#include "playback/AudioApi.h"
#include "playback/StreamWorker.h"
#include "ui/ErrorBox.h"
#include "ui/MainWindow.h"
#include "ui/MainWindowRecording.h"
#include "ui/widgets/ShadowLabel.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QProcess>
#include <QPushButton>
#include <fstream>
#include <sstream>

namespace fs = std::filesystem;

namespace {

QString Env(const char* name) {
    return qEnvironmentVariable(name);
}

// Every audio block and the end of one stream's download, as the engine delivered them.
struct DownloadLog {
    std::mutex mutex;
    std::vector<std::string> blocks; // guarded by mutex
    bool ended = false;              // guarded by mutex

    std::size_t Count() {
        std::lock_guard l(mutex);
        return blocks.size();
    }
    bool Ended() {
        std::lock_guard l(mutex);
        return ended;
    }
    // True when bytes are the blocks from some block at or after `from` up to the end, joined.
    bool EndsWith(const std::string& bytes, std::size_t from) {
        std::lock_guard l(mutex);
        std::string tail;
        for (std::size_t k = blocks.size(); k-- > from;) {
            tail.insert(0, blocks[k]);
            if (tail.size() >= bytes.size())
                return tail == bytes;
        }
        return false;
    }
};

// The real engine, with a copy of every download call kept for the test.
class TappedAudio final : public playback::AudioApi {
public:
    explicit TappedAudio(playback::AudioApi& real) : real_(real) {}

    std::shared_ptr<DownloadLog> Latest() {
        std::lock_guard l(mutex_);
        return logs_.empty() ? nullptr : logs_.back();
    }

    std::uint32_t StreamCreateUrl(const std::string& url, playback::DownloadRoutine download,
                                  std::string* error) override {
        auto log = std::make_shared<DownloadLog>();
        {
            std::lock_guard l(mutex_);
            logs_.push_back(log);
        }
        return real_.StreamCreateUrl(
            url,
            [log, download](const char* buffer, std::size_t length) {
                {
                    std::lock_guard l(log->mutex);
                    if (!buffer)
                        log->ended = true;
                    else if (length > 0)
                        log->blocks.emplace_back(buffer, length);
                }
                if (download)
                    download(buffer, length);
            },
            error);
    }

    bool Init() override { return real_.Init(); }
    void Free() override { real_.Free(); }
    playback::EngineOptions Options() const override { return real_.Options(); }
    void SetOptions(const playback::EngineOptions& o) override { real_.SetOptions(o); }
    bool StreamFree(std::uint32_t s) override { return real_.StreamFree(s); }
    std::uint64_t StreamGetFilePosition(std::uint32_t s, playback::FilePos m) override {
        return real_.StreamGetFilePosition(s, m);
    }
    bool ChannelPlay(std::uint32_t s) override { return real_.ChannelPlay(s); }
    bool ChannelStop(std::uint32_t s) override { return real_.ChannelStop(s); }
    bool ChannelSetVolume(std::uint32_t s, float v) override { return real_.ChannelSetVolume(s, v); }
    std::optional<std::string> ChannelGetMetaTag(std::uint32_t s) override {
        return real_.ChannelGetMetaTag(s);
    }
    bool ChannelSetMetaSync(std::uint32_t s, playback::SyncRoutine r) override {
        return real_.ChannelSetMetaSync(s, std::move(r));
    }
    bool ChannelSetEndSync(std::uint32_t s, playback::SyncRoutine r) override {
        return real_.ChannelSetEndSync(s, std::move(r));
    }
    std::uint32_t ChannelSetFX(std::uint32_t s, playback::FxType t) override {
        return real_.ChannelSetFX(s, t);
    }
    bool FXGetParameters(std::uint32_t fx, EqRecord& r) override { return real_.FXGetParameters(fx, r); }
    bool FXSetParameters(std::uint32_t fx, const EqRecord& r) override {
        return real_.FXSetParameters(fx, r);
    }
    bool FXGetParameters(std::uint32_t fx, ReverbRecord& r) override { return real_.FXGetParameters(fx, r); }
    bool FXSetParameters(std::uint32_t fx, const ReverbRecord& r) override {
        return real_.FXSetParameters(fx, r);
    }

private:
    playback::AudioApi& real_;
    std::mutex mutex_;
    std::vector<std::shared_ptr<DownloadLog>> logs_; // guarded by mutex_
};

playback::AudioApi& RealEngine() {
    playback::SetAudioForTesting(nullptr);
    return playback::Audio();
}

std::string Contents(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

// What ffprobe makes of a file: "format duration", e.g. "mp3 3.108000".
QString Probe(const fs::path& file) {
    QProcess p;
    p.start("ffprobe", {"-v", "error", "-show_entries", "format=format_name,duration", "-of",
                        "default=noprint_wrappers=1:nokey=1", QString::fromStdString(file.string())});
    p.waitForFinished(20000);
    return QString::fromUtf8(p.readAllStandardOutput()).simplified();
}

// True when ffmpeg decodes the whole file.
bool Decodes(const fs::path& file) {
    QProcess p;
    p.start("ffmpeg",
            {"-nostdin", "-v", "error", "-i", QString::fromStdString(file.string()), "-f", "null", "-"});
    return p.waitForFinished(30000) && p.exitStatus() == QProcess::NormalExit && p.exitCode() == 0;
}

} // namespace

class RecordingEndToEnd : public ::testing::Test {
protected:
    void SetUp() override {
        if (Env("TEMBRIK_ICECAST_URL").isEmpty() || Env("PULSE_SERVER").isEmpty()) {
            if (Env("TEMBRIK_REQUIRE_FIXTURES") == "1")
                FAIL() << "fixture missing: the local radio station and sound server";
            GTEST_SKIP() << "fixture missing: the local radio station and sound server";
        }
        ResetPlayerState();
        playback::SetAudioForTesting(&tapped);
        SetMessageBoxHookForTesting([this](const QString& text, bool) { boxes.append(text); });
        form = std::make_unique<MainWindow>();
        form->show();
        QApplication::processEvents();
        ASSERT_TRUE(form->startupError().isEmpty()) << form->startupError().toStdString();
    }
    void TearDown() override {
        if (form) {
            form->onStopClicked();
            form.reset();
        }
        playback::WaitForStreamWorkers(std::chrono::seconds(5));
        SetSaveNameDialogForTesting({});
        SetMessageBoxHookForTesting({});
        playback::SetAudioForTesting(&DefaultTestAudio());
    }

    template <typename Pred> bool WaitFor(Pred pred, int ms) {
        QElapsedTimer t;
        t.start();
        while (!pred() && t.elapsed() < ms)
            QApplication::processEvents(QEventLoop::AllEvents, 10);
        return pred();
    }
    void Pause(int ms) {
        WaitFor([] { return false; }, ms);
    }
    bool Settled() {
        return WaitFor(
            [] {
                return playback::WaitForStreamWorkers(std::chrono::milliseconds(0)) &&
                       State().StreamHandle != 0;
            },
            30000);
    }
    void Play(const QString& mount) {
        State().CurrentUrl.set((Env("TEMBRIK_ICECAST_URL") + mount).toStdString());
        State().UseSecondPlayer.set("0");
        form->onPlayClicked();
        ASSERT_TRUE(Settled());
    }

    struct Take {
        std::shared_ptr<DownloadLog> log;
        std::size_t firstBlock; // blocks the stream had delivered when Record was pressed
    };
    // Record, wait, Record: the dialog answers `name` (empty: cancel). Returns the recorded stream's
    // log once its download has ended.
    Take RecordFor(int ms, const QString& name) {
        EXPECT_TRUE(Settled());
        Take take{tapped.Latest(), 0};
        const QString before = form->nowPlaying->text();
        take.firstBlock = take.log->Count();
        form->onRecordClicked();
        EXPECT_EQ(form->nowPlaying->text(), "Идёт запись: " + before);
        EXPECT_TRUE(WaitFor([] { return State().RecordState == 2; }, 20000));
        Pause(ms);
        const auto request = playback::CurrentRequest();
        bool restartedFirst = false;
        SetSaveNameDialogForTesting([&](QWidget*) {
            restartedFirst = playback::CurrentRequest() > request && form->playButton->isEnabled();
            return name;
        });
        form->onRecordClicked();
        EXPECT_TRUE(restartedFirst) << "the station was not playing again while the dialog was open";
        // A save has waited for the download end; a cancel does not need to.
        EXPECT_TRUE(WaitFor([] { return State().RecordState == 0; }, 10000));
        EXPECT_TRUE(take.log->Ended());
        return take;
    }

    fs::path TempPath() const { return dir.path() / "TmpAudioFile.tmp"; }
    QString In(const char* name) const { return QString::fromStdString((dir.path() / name).string()); }

    ProgramDirFixture dir{"recording-e2e"};
    TappedAudio tapped{RealEngine()};
    std::unique_ptr<MainWindow> form;
    QStringList boxes;
};

TEST_F(RecordingEndToEnd, EachFormatIsSavedByteForByteUnderItsMp3NameAndPlays) {
    const struct {
        const char* mount;
        const char* format;
    } stations[] = {{"/mp3", "mp3"}, {"/aac", "aac"}};
    for (const auto& station : stations) {
        SCOPED_TRACE(station.mount);
        Play(station.mount);
        const Take take = RecordFor(3000, In("song"));
        const fs::path saved = dir.path() / "song.mp3";
        ASSERT_TRUE(fs::exists(saved));
        const std::string bytes = Contents(saved);
        EXPECT_GT(bytes.size(), 8000u);
        EXPECT_TRUE(take.log->EndsWith(bytes, take.firstBlock))
            << bytes.size() << " bytes saved, not the stream's blocks from the request to the end";
        EXPECT_FALSE(fs::exists(TempPath()));
        const QStringList probe = Probe(saved).split(' ');
        ASSERT_EQ(probe.size(), 2) << probe.join(' ').toStdString();
        EXPECT_EQ(probe[0], station.format);
        EXPECT_GT(probe[1].toDouble(), 1.0);
        EXPECT_TRUE(Decodes(saved));
        fs::remove(saved);
        // The restarted station plays on and is not recorded.
        EXPECT_TRUE(WaitFor([&] { return tapped.Latest()->Count() > 0; }, 20000));
        EXPECT_FALSE(fs::exists(TempPath()));
    }
    EXPECT_TRUE(boxes.isEmpty()) << boxes.join("\n").toStdString();
}

TEST_F(RecordingEndToEnd, NamesReplacingAndCancellingOnTheStation) {
    Play("/mp3");
    const Take first = RecordFor(1500, In("song"));
    const std::string firstBytes = Contents(dir.path() / "song.mp3");
    EXPECT_TRUE(first.log->EndsWith(firstBytes, first.firstBlock));

    RecordFor(1500, In("song.mp3"));
    EXPECT_TRUE(fs::exists(dir.path() / "song.mp3.mp3"));
    EXPECT_FALSE(fs::exists(dir.path() / "song.mp3.mp3.mp3"));

    // An existing file is replaced without a question.
    const Take third = RecordFor(1500, In("song"));
    const std::string thirdBytes = Contents(dir.path() / "song.mp3");
    EXPECT_NE(thirdBytes, firstBytes);
    EXPECT_TRUE(third.log->EndsWith(thirdBytes, third.firstBlock));

    // Cancelled: the temporary file stays with the recording.
    const Take cancelled = RecordFor(3000, QString());
    const std::string kept = Contents(TempPath());
    EXPECT_TRUE(cancelled.log->EndsWith(kept, cancelled.firstBlock));

    // The next recording starts the temporary file from length 0: what is saved is this recording
    // alone.
    const Take next = RecordFor(1000, In("next"));
    const std::string nextBytes = Contents(dir.path() / "next.mp3");
    EXPECT_TRUE(next.log->EndsWith(nextBytes, next.firstBlock)) << nextBytes.size() << " bytes";
    EXPECT_TRUE(boxes.isEmpty()) << boxes.join("\n").toStdString();
}
