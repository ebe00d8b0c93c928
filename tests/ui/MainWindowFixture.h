// The main window on the scripted engine, in a program folder of the test's own, with message
// boxes collected instead of shown: the fixture of the window tests that drive playback and
// recording by status reports and the engine's download thread.
#pragma once

#include "ProgramDirFixture.h"
#include "TestAudio.h"

#include "app/PlayerState.h"
#include "playback/StreamWorker.h"
#include "ui/ErrorBox.h"
#include "ui/Unit1.h"
#include "ui/widgets/LogoGrid.h"
#include "ui/widgets/ShadowLabel.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QPushButton>

#include <memory>

class MainWindowFixture : public ::testing::Test {
protected:
    explicit MainWindowFixture(const std::string& dirName) : dir(dirName) {}

    void SetUp() override {
        ResetPlayerState();
        playback::SetAudioForTesting(&audio);
        SetMessageBoxHookForTesting(
            [this](const QString& text, bool isError) { (isError ? errors : messages).append(text); });
        form = std::make_unique<TForm1>();
        form->show();
        QApplication::processEvents();
        ASSERT_TRUE(errors.isEmpty()) << errors.join("\n").toStdString();
    }
    void TearDown() override {
        playback::CancelStreamWorkers();
        // Workers still reporting are answered until they are done.
        QElapsedTimer t;
        t.start();
        while (!playback::WaitForStreamWorkers(std::chrono::milliseconds(5)) && t.elapsed() < 5000)
            QApplication::processEvents();
        form.reset();
        SetMessageBoxHookForTesting({});
        playback::SetAudioForTesting(&DefaultTestAudio());
    }

    template <typename Pred> bool WaitFor(Pred pred, int ms = 5000) {
        QElapsedTimer t;
        t.start();
        while (!pred() && t.elapsed() < ms)
            QApplication::processEvents(QEventLoop::AllEvents, 10);
        return pred();
    }
    // Play, the grids' columns and Stop are disabled together, or none of them.
    bool Busy() const {
        const bool busy = !form->sBitBtn2->isEnabled();
        EXPECT_EQ(form->sBitBtn3->isEnabled(), !busy);
        EXPECT_EQ(form->NextGrid1->columnsEnabled(), !busy);
        EXPECT_EQ(form->NextGrid2->columnsEnabled(), !busy);
        return busy;
    }
    QString Label() const { return form->RxLabel7->text(); }

    ProgramDirFixture dir;
    FakeAudio audio;
    QStringList errors;
    QStringList messages;
    std::unique_ptr<TForm1> form;
};
