// The Record button and the download routine's recording, on the main window with the scripted
// engine: the test plays the engine's download thread itself, block by block.
#include "MainWindowFixture.h"

#include "app/PlayerState.h"
#include "playback/StatusChannel.h"
#include "playback/StreamWorker.h"
#include "ui/ErrorBox.h"
#include "ui/MainWindow.h"
#include "ui/MainWindowRecording.h"
#include "ui/widgets/LogoGrid.h"
#include "ui/widgets/ShadowLabel.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QFileDialog>
#include <QLineEdit>
#include <QMessageBox>
#include <QPointer>
#include <QPushButton>
#include <QTimer>
#include <fstream>
#include <sstream>
#include <thread>

namespace fs = std::filesystem;

class Recording : public MainWindowFixture {
protected:
    Recording() : MainWindowFixture("recording") {}

    void SetUp() override {
        SetSaveNameDialogForTesting([this](QWidget*) {
            ++dialogs;
            return answer ? answer() : QString();
        });
        MainWindowFixture::SetUp();
        form->controlsReadyTimer->setInterval(30);
    }
    void TearDown() override {
        MainWindowFixture::TearDown();
        SetSaveNameDialogForTesting({});
    }

    int RecordState() const { return State().RecordState.load(); }

    // Plays a station through to its title and ready controls; returns its stream.
    std::uint32_t PlayStation() {
        audio.tag = "StreamTitle='Artist - Song';StreamUrl='';";
        State().CurrentUrl.set("http://127.0.0.1:1/radio");
        State().UseSecondPlayer.set("0");
        const auto before = State().StreamHandle.load();
        form->onPlayClicked();
        EXPECT_TRUE(WaitFor([&] {
            return State().StreamHandle != before &&
                   playback::WaitForStreamWorkers(std::chrono::milliseconds(0));
        }));
        EXPECT_TRUE(WaitFor([&] { return !Busy() && !form->controlsReadyTimer->isActive(); }));
        return State().StreamHandle;
    }
    // Plays a station and records its header and the given block.
    std::uint32_t Record(const std::string& block) {
        const std::uint32_t stream = PlayStation();
        form->onRecordClicked();
        EXPECT_EQ(RecordState(), 1);
        audio.Download(stream, Header, 0);
        audio.Download(stream, block);
        EXPECT_EQ(RecordState(), 2);
        return stream;
    }

    fs::path TempPath() const { return dir.path() / "TmpAudioFile.tmp"; }
    static std::string Contents(const fs::path& path) {
        if (!fs::exists(path))
            return "<none>";
        std::ifstream in(path, std::ios::binary);
        std::ostringstream s;
        s << in.rdbuf();
        return s.str();
    }
    int Frees(std::uint32_t stream) {
        std::lock_guard l(audio.mutex);
        return static_cast<int>(
            std::count(audio.calls.begin(), audio.calls.end(), "free " + std::to_string(stream)));
    }

    static constexpr const char* Header = "ICY 200 OK\r\nicy-name: Test\r\n\r\n";
    int dialogs = 0;
    std::function<QString()> answer;
};

TEST_F(Recording, RecordStartsWithTheNextBlockAndTheLabelFollowsTheTitles) {
    const std::uint32_t stream = PlayStation();
    audio.Download(stream, "before the request");
    ASSERT_EQ(Label(), "Artist - Song");

    form->onRecordClicked();
    EXPECT_EQ(RecordState(), 1);
    EXPECT_TRUE(Busy());
    EXPECT_EQ(Label(), "Идёт запись: Artist - Song");
    EXPECT_FALSE(fs::exists(TempPath())); // nothing is touched before a block comes
    form->handleStatus({StatusTitle, 0, "Ignored"});
    EXPECT_EQ(Label(), "Идёт запись: Artist - Song");

    // The header starts the file but is not part of it; the blocks are, exactly as they came.
    audio.Download(stream, Header, 0);
    EXPECT_EQ(RecordState(), 2);
    audio.Download(stream, std::string("\xff\xfb\x90\0 first", 10));
    audio.Download(stream, "second");
    EXPECT_EQ(Contents(TempPath()), std::string("\xff\xfb\x90\0 firstsecond", 16));
    EXPECT_EQ(Label(), "Идёт запись: Artist - Song");
    EXPECT_TRUE(Busy());

    form->handleStatus({StatusTitle, 0, "Кино - Звезда"});
    EXPECT_EQ(Label(), "Recording: Кино - Звезда");
    EXPECT_TRUE(Busy());
    form->handleStatus({StatusBuffering, 40, {}});
    EXPECT_EQ(Label(), "Buffering... 40%");
    EXPECT_EQ(dialogs, 0);
}

TEST_F(Recording, TheDownloadEndClosesTheFileFreesTheStreamAndBringsTheControlsBack) {
    // Case 1: the station's download ends before any block came; the file is made, empty.
    // Case 2: it ends while the file is written.
    for (const bool withBlock : {false, true}) {
        SCOPED_TRACE(withBlock ? "recording" : "requested");
        std::ofstream(TempPath(), std::ios::binary) << "an earlier recording";
        const std::uint32_t stream = PlayStation();
        form->onRecordClicked();
        if (withBlock)
            audio.Download(stream, "block");
        audio.Download(stream, nullptr, 0);
        EXPECT_EQ(RecordState(), 0);
        EXPECT_EQ(Contents(TempPath()), withBlock ? "block" : "");
        EXPECT_EQ(Frees(stream), 1); // the download routine freed it: playback stops there
        EXPECT_TRUE(WaitFor([&] { return !Busy(); }));
        EXPECT_EQ(dialogs, 0);
        // The end changed nothing for the streams that come after it.
        const std::uint32_t next = PlayStation();
        audio.Download(next, "not recorded");
        EXPECT_EQ(Contents(TempPath()), withBlock ? "block" : "");
    }
}

TEST_F(Recording, StopOrPlayFromOutsideTheWindowEndsTheRecordingWithoutTheDialog) {
    // The tray menu's items and the hot keys run the same actions as the buttons.
    const struct {
        const char* name;
        void (MainWindow::*action)();
    } cases[] = {{"tray Stop", &MainWindow::stopFromTray},
                 {"Stop hot key", &MainWindow::onStopClicked},
                 {"tray Play", &MainWindow::playFromTray}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const std::uint32_t recorded = Record("recorded");
        (form.get()->*c.action)();
        // A Play's worker replaces the stream before the old one's download ends.
        WaitFor([] { return playback::WaitForStreamWorkers(std::chrono::milliseconds(0)); });
        const std::uint32_t now = State().StreamHandle;
        if (now != recorded)
            audio.Download(now, "the newer stream");
        audio.Download(recorded, "last block");
        audio.Download(recorded, nullptr, 0);
        EXPECT_EQ(RecordState(), 0);
        EXPECT_EQ(Contents(TempPath()), "recordedlast block");
        if (now != recorded) {
            EXPECT_EQ(Frees(now), 0) << "a late download end freed the newer stream";
        }
        EXPECT_TRUE(WaitFor([&] { return !Busy(); }));
        EXPECT_EQ(dialogs, 0);
    }
}

TEST_F(Recording, RecordAgainBeforeAnyBlockCameWithdrawsTheRequest) {
    const std::uint32_t stream = PlayStation();
    std::ofstream(TempPath(), std::ios::binary) << "an earlier recording";
    const auto opens = audio.openedUrls.size();
    form->onRecordClicked();
    form->onRecordClicked();
    EXPECT_EQ(RecordState(), 0);
    EXPECT_FALSE(Busy());
    EXPECT_EQ(Label(), "Artist - Song");
    EXPECT_EQ(dialogs, 0);
    EXPECT_EQ(audio.openedUrls.size(), opens); // the station was not restarted
    audio.Download(stream, "not recorded");
    EXPECT_EQ(Contents(TempPath()), "an earlier recording");
}

TEST_F(Recording, AStationOnTheSecondPlayerIsRefusedInEveryState) {
    const std::uint32_t stream = PlayStation();
    for (const int state : {0, 2}) {
        if (state == 2) {
            form->onRecordClicked();
            audio.Download(stream, "block");
        }
        State().UseSecondPlayer.set("1");
        const QString label = Label();
        const bool busy = Busy();
        const auto calls = audio.calls.size();
        form->onRecordClicked();
        EXPECT_EQ(messages, QStringList{"Turn off WMP engine."});
        messages.clear();
        EXPECT_EQ(RecordState(), state);
        EXPECT_EQ(Label(), label);
        EXPECT_EQ(Busy(), busy);
        EXPECT_EQ(audio.calls.size(), calls);
        EXPECT_EQ(dialogs, 0);
        State().UseSecondPlayer.set("0");
    }
}

TEST_F(Recording, SaveRestartsTheStationFirstAndCopiesOnlyAfterTheDownloadEnded) {
    const std::uint32_t recorded = Record("abc");
    std::thread downloadThread;
    answer = [&] {
        // While the dialog is open the station, stopped, plays again.
        EXPECT_TRUE(audio.called("stop " + std::to_string(recorded)));
        EXPECT_TRUE(audio.called("free " + std::to_string(recorded)));
        EXPECT_TRUE(WaitFor([&] { return State().StreamHandle != recorded; }));
        // The stopped stream's last block and its end come on its own thread after the answer.
        downloadThread = std::thread([&] {
            std::this_thread::sleep_for(std::chrono::milliseconds(200));
            audio.Download(recorded, "def");
            audio.Download(recorded, nullptr, 0);
        });
        return QString::fromStdString((dir.path() / "song").string());
    };
    form->onRecordClicked();
    downloadThread.join();
    EXPECT_EQ(dialogs, 1);
    EXPECT_EQ(Contents(dir.path() / "song.mp3"), "abcdef");
    EXPECT_FALSE(fs::exists(TempPath()));
    EXPECT_EQ(RecordState(), 0);
    EXPECT_TRUE(errors.isEmpty()) << errors.join("\n").toStdString();
}

TEST_F(Recording, ALostDownloadEndDelaysTheSaveOnlyBriefly) {
    Record("abc");
    answer = [&] { return QString::fromStdString((dir.path() / "song").string()); };
    form->onRecordClicked(); // the scripted engine never ends the stopped stream's download
    EXPECT_EQ(Contents(dir.path() / "song.mp3"), "abc");
    EXPECT_EQ(RecordState(), 0);
    EXPECT_EQ(State().RecordFile, nullptr);
    // The next recording starts as usual.
    Record("next");
    EXPECT_EQ(Contents(TempPath()), "next");
}

TEST_F(Recording, TheChosenNameAlwaysGetsMp3AndReplacesWithoutAsking) {
    std::ofstream(dir.path() / "old.mp3", std::ios::binary) << "an older song, longer than the new one";
    const struct {
        const char* chosen;
        const char* saved;
    } cases[] = {
        {"song", "song.mp3"}, {"song.mp3", "song.mp3.mp3"}, {"old", "old.mp3"}, {"Запись", "Запись.mp3"}};
    int n = 0;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.chosen);
        const std::string bytes = "recording " + std::to_string(++n);
        const std::uint32_t stream = Record(bytes);
        answer = [&] {
            audio.Download(stream, nullptr, 0);
            return QString::fromStdString((dir.path() / c.chosen).string());
        };
        form->onRecordClicked();
        EXPECT_EQ(Contents(dir.path() / c.saved), bytes);
        EXPECT_FALSE(fs::exists(TempPath()));
    }
    EXPECT_FALSE(fs::exists(dir.path() / "song.mp3.mp3.mp3"));
    EXPECT_TRUE(messages.isEmpty());
    EXPECT_TRUE(errors.isEmpty()) << errors.join("\n").toStdString();
}

TEST_F(Recording, CancelKeepsTheTemporaryFileAndTheNextRecordingStartsItAfresh) {
    const std::uint32_t first = Record("a long first recording");
    answer = [&] {
        audio.Download(first, nullptr, 0);
        return QString();
    };
    form->onRecordClicked();
    EXPECT_EQ(dialogs, 1);
    EXPECT_EQ(Contents(TempPath()), "a long first recording");
    EXPECT_EQ(RecordState(), 0);

    Record("second");
    EXPECT_EQ(Contents(TempPath()), "second");
}

TEST_F(Recording, AFailedCopyKeepsTheRecordingAndNamesTheTarget) {
    const std::uint32_t stream = Record("precious");
    const fs::path target = dir.path() / "no such folder" / "song";
    answer = [&] {
        audio.Download(stream, nullptr, 0);
        return QString::fromStdString(target.string());
    };
    form->onRecordClicked();
    ASSERT_EQ(errors.size(), 1);
    EXPECT_TRUE(errors[0].contains(QString::fromStdString(target.string() + ".mp3")))
        << errors[0].toStdString();
    EXPECT_TRUE(errors[0].contains("TmpAudioFile.tmp")) << errors[0].toStdString();
    EXPECT_EQ(Contents(TempPath()), "precious");
    EXPECT_FALSE(fs::exists(target.parent_path()));
}

TEST_F(Recording, ATemporaryFileThatCannotBeCreatedEndsTheRequestWithTheControlsBack) {
    fs::create_directory(TempPath()); // in its way, so opening it for writing fails
    const std::uint32_t stream = PlayStation();
    form->onRecordClicked();
    ASSERT_TRUE(Busy());
    audio.Download(stream, "block");
    EXPECT_EQ(RecordState(), 0);
    EXPECT_EQ(State().RecordFile, nullptr);
    ASSERT_TRUE(WaitFor([&] { return Label().startsWith("Recording could not start: "); }))
        << Label().toStdString();
    EXPECT_FALSE(Busy());
    audio.Download(stream, "more");
    EXPECT_TRUE(fs::is_directory(TempPath()));
    EXPECT_EQ(dialogs, 0);
    // Once the way is clear, a recording works.
    fs::remove(TempPath());
    form->onRecordClicked();
    audio.Download(stream, "block");
    EXPECT_EQ(Contents(TempPath()), "block");
}

// The program's own dialog: one filter, no suffix added, no name offered, no question before
// replacing a file.
TEST_F(Recording, TheSaveDialogAsksForAnMp3NameWithoutPresetsOrQuestions) {
    SetSaveNameDialogForTesting({});
    const std::uint32_t stream = Record("abc");
    std::ofstream(dir.path() / "song.mp3", std::ios::binary) << "kept";
    bool seen = false;
    int accepts = 0;
    QPointer<QFileDialog> shown;
    QStringList problems;
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, [&] {
        QWidget* modal = QApplication::activeModalWidget();
        if (auto* box = qobject_cast<QMessageBox*>(modal)) {
            problems << "asked: " + box->text();
            box->reject();
            if (shown)
                QTimer::singleShot(0, shown, &QDialog::reject);
            return;
        }
        auto* dialog = qobject_cast<QFileDialog*>(modal);
        if (!dialog)
            return;
        if (!seen) {
            seen = true;
            shown = dialog;
            if (dialog->acceptMode() != QFileDialog::AcceptSave)
                problems << "not a save dialog";
            if (dialog->nameFilters() != QStringList{"MP3 files (*.mp3)"})
                problems << "filters " + dialog->nameFilters().join(";");
            if (!dialog->defaultSuffix().isEmpty())
                problems << "suffix " + dialog->defaultSuffix();
            if (auto* edit = dialog->findChild<QLineEdit*>("fileNameEdit"); edit && !edit->text().isEmpty())
                problems << "preset " + edit->text();
            if (State().StreamHandle == stream)
                problems << "the station was not restarted before the dialog";
            audio.Download(stream, nullptr, 0);
            dialog->setDirectory(QString::fromStdString(dir.path().string()));
        }
        // The folder is listed in the background and may clear the name typed before it is done:
        // type and accept again while the dialog stays open, and give up rather than hang. The name
        // goes into the field itself: selectFile() leaves the field alone once it has the focus,
        // which it gets whenever the window manager gets round to activating the dialog.
        if (++accepts > 500) {
            problems << "the dialog never took the name";
            dialog->reject();
            return;
        }
        if (auto* edit = dialog->findChild<QLineEdit*>("fileNameEdit"))
            edit->setText("song.mp3");
        else
            dialog->selectFile("song.mp3");
        QMetaObject::invokeMethod(dialog, "accept");
    });
    poll.start(20);
    form->onRecordClicked();
    poll.stop();
    EXPECT_TRUE(seen);
    EXPECT_TRUE(problems.isEmpty()) << problems.join("\n").toStdString();
    EXPECT_EQ(Contents(dir.path() / "song.mp3.mp3"), "abc");
    EXPECT_EQ(Contents(dir.path() / "song.mp3"), "kept");
}
