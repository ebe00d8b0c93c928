#include "SettingsFixture.h"

#include "TestAudio.h"

#include "app/PlayerState.h"
#include "playback/AudioApi.h"
#include "playback/Equalizer.h"
#include "ui/ErrorBox.h"

#include <QApplication>
#include <QPushButton>
#include <QTimer>

#include <fstream>
#include <sstream>

void SettingsFixture::SetUp() {
    ResetPlayerState();
    playback::SetAudioForTesting(&audio_);
    dir_ = std::make_unique<ProgramDirFixture>("settings dir \"q\"");
    configHome_ = qgetenv("XDG_CONFIG_HOME");
    qputenv("XDG_CONFIG_HOME", QByteArray::fromStdString((dir() / "xdg").string()));
    SetMessageBoxHookForTesting([this](const QString& text, bool isError) {
        if (isError)
            errors_.append(text);
    });
}

void SettingsFixture::TearDown() {
    options_.reset();
    mainWindow_.reset();
    SetMessageBoxHookForTesting({});
    qputenv("XDG_CONFIG_HOME", configHome_); // the test run's own, set by the tests' entry
    dir_.reset();
    playback::SetAudioForTesting(&DefaultTestAudio());
}

std::filesystem::path SettingsFixture::entry(const char* name) const {
    return dir() / "xdg" / "autostart" / (std::string(name) + ".desktop");
}

void SettingsFixture::start() {
    mainWindow_ = std::make_unique<MainWindow>();
    options_ = std::make_unique<OptionsWindow>();
    mainWindow_->show();
    QApplication::processEvents();
    playback::AttachEffectChain(7);
}

void SettingsFixture::restart() {
    options_.reset();
    mainWindow_.reset();
    ResetPlayerState();
    start();
}

void SettingsFixture::whileOpen(const std::function<void()>& inside) {
    bool ran = false;
    QTimer::singleShot(0, options_.get(), [&] {
        ran = true;
        EXPECT_TRUE(options_->isVisible());
        inside();
        if (options_->isVisible())
            options_->okButton->click();
    });
    options_->showOptions();
    EXPECT_TRUE(ran);
    EXPECT_FALSE(options_->isVisible());
}

std::vector<float> SettingsFixture::gainsSet(int band) {
    const std::uint32_t fx = State().EqualizerFx[static_cast<std::size_t>(band - 1)];
    std::lock_guard l(audio_.mutex);
    return audio_.effects[fx].gainsSet;
}

void SettingsFixture::put(const std::filesystem::path& p, const std::string& bytes) {
    std::ofstream(p, std::ios::binary) << bytes;
}

std::string SettingsFixture::bytesOf(const std::filesystem::path& p) {
    std::ifstream in(p, std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

std::string SettingsFixture::configText(const std::vector<std::string>& values) {
    const char* keys[] = {"check_updates", "open_last", "start_volume", "last_number",
                          "autorun",       "buffer",    "equalizer"};
    std::string out;
    for (std::size_t i = 0; i < values.size(); ++i)
        out += std::string(keys[i % 7]) + "\r\n" + values[i] + "\r\n";
    return out;
}
