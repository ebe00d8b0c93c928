#pragma once
// Runs stream workers against the scripted engine with the status channel answered on this
// (the GUI) thread, as the main window answers it.
#include "FakeAudio.h"

#include "app/PlayerState.h"
#include "playback/StatusChannel.h"
#include "playback/StreamWorker.h"

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QObject>

class WorkerFixture : public ::testing::Test {
protected:
    void SetUp() override {
        ResetPlayerState();
        playback::SetAudioForTesting(&audio);
        MainStatusChannel().open(&receiver, [this](const StatusReport& r) { reports.push_back(r); });
        playback::SetWorkerHooks(
            {.streamEnded = {}, .downloaded = {}, .bufferingPollInterval = std::chrono::milliseconds(0)});
    }
    void TearDown() override {
        MainStatusChannel().close();
        playback::CancelStreamWorkers();
        EXPECT_TRUE(playback::WaitForStreamWorkers(std::chrono::seconds(5)));
        playback::SetAudioForTesting(nullptr);
    }

    // Answers reports until every worker has finished.
    void RunWorkers() {
        QElapsedTimer t;
        t.start();
        while (t.elapsed() < 10000) {
            QCoreApplication::processEvents();
            if (playback::WaitForStreamWorkers(std::chrono::milliseconds(2))) {
                QCoreApplication::processEvents();
                return;
            }
        }
        ADD_FAILURE() << "workers did not finish";
    }

    std::vector<int> Buffering() const {
        std::vector<int> fills;
        for (const auto& r : reports)
            if (r.code == StatusBuffering)
                fills.push_back(r.value);
        return fills;
    }
    std::vector<int> Codes() const {
        std::vector<int> codes;
        for (const auto& r : reports)
            codes.push_back(r.code);
        return codes;
    }

    FakeAudio audio;
    QObject receiver;
    std::vector<StatusReport> reports;
};
