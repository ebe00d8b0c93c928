#include "StationWindowFixture.h"

#include "app/PlayerState.h"
#include "ui/ErrorBox.h"
#include "ui/widgets/LogoGrid.h"
#include "ui/widgets/ShadowLabel.h"

#include <QApplication>
#include <QImage>
#include <QTest>

#include <algorithm>
#include <fstream>
#include <sstream>

namespace fs = std::filesystem;

void StationWindowFixture::SetUp() {
    ResetPlayerState();
    std::string name = ::testing::UnitTest::GetInstance()->current_test_info()->name();
    std::replace(name.begin(), name.end(), '/', '-');
    dir_ = std::make_unique<ProgramDirFixture>("stations-" + name);
    SetMessageBoxHookForTesting([this](const QString& text, bool isError) {
        if (isError)
            errors_.append(text);
    });
}

void StationWindowFixture::TearDown() {
    editor_.reset();
    mainWindow_.reset();
    SetMessageBoxHookForTesting({});
    dir_.reset();
}

QColor StationWindowFixture::LogoColour(int station) {
    return QColor::fromHsv(station * 37 % 360, 220, 230);
}

void StationWindowFixture::layOutStations(int count) const {
    fs::remove_all(stations());
    fs::create_directories(stations());
    for (int n = 1; n <= count; ++n) {
        put(stations() / ("play" + std::to_string(n) + ".txt"),
            "http://127.0.0.1:9/" + std::to_string(n) + "\r\nStation " + std::to_string(n) + "\r\n2\r\n");
        QImage logo(120, 100, QImage::Format_RGB32);
        logo.fill(LogoColour(n));
        logo.save(QString::fromStdString((stations() / (std::to_string(n) + ".png")).string()), "PNG");
    }
}

void StationWindowFixture::put(const fs::path& file, const std::string& bytes) const {
    std::ofstream(file, std::ios::binary) << bytes;
}

std::string StationWindowFixture::bytesOf(const fs::path& file) const {
    std::ifstream in(file, std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

void StationWindowFixture::start() {
    mainWindow_ = std::make_unique<MainWindow>();
    editor_ = std::make_unique<StationEditor>();
    mainWindow_->show();
    QApplication::processEvents();
}

void StationWindowFixture::clickCell(LogoGrid* grid, int column, int row) const {
    grid->scrollToRow(row);
    const QPoint at(column * grid->columnWidth() + grid->columnWidth() / 2,
                    row * LogoGrid::RowHeight + LogoGrid::RowHeight / 2 - grid->scrollOffset());
    QTest::mouseClick(grid->viewport(), Qt::LeftButton, {}, at);
}

QString StationWindowFixture::title() const {
    return mainWindow_->stationTitle->text();
}
