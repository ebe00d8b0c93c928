// The station editor: its layout, where it opens, filling, SAVE, closing and the placeholders.
#include "StationWindowFixture.h"

#include "app/PlayerState.h"
#include "ui/widgets/ImageControl.h"
#include "ui/widgets/LogoGrid.h"
#include "ui/widgets/RoundedPanel.h"
#include "ui/widgets/ShadowLabel.h"

#include <QCheckBox>
#include <QGuiApplication>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScreen>
#include <QSystemTrayIcon>
#include <QTest>
#include <QTimer>

#include <filesystem>
#include <functional>

namespace fs = std::filesystem;

namespace {

class StationEditorTest : public StationWindowFixture {
protected:
    // Opens the editor with editIcon and runs `whileShown` inside its modal showing; the editor must
    // be closed by then, or the test closes it and fails.
    bool showEditor(const std::function<void()>& whileShown) {
        bool ran = false;
        QTimer::singleShot(0, [&] {
            ran = true;
            whileShown();
            if (editor_->isVisible()) {
                ADD_FAILURE() << "editor still shown";
                editor_->close();
            }
        });
        mainWindow_->openStationEditor();
        // When the editor was not shown, the timer has not fired yet: let it, so it cannot leak.
        const bool shown = ran;
        if (!ran)
            QApplication::processEvents();
        return shown;
    }
    void openStation(int column, int row) { clickCell(mainWindow_->stationGrid, column, row); }
};

QRect InWindow(const QWidget* control, const QWidget* window) {
    return {control->mapTo(window, QPoint(0, 0)), control->size()};
}

} // namespace

TEST(EditorPosition, LeftOfAndAboveTheScreensCentre) {
    const struct {
        QSize screen;
        QPoint at;
    } cases[] = {{{1024, 768}, {12, 184}},
                 {{1920, 1080}, {460, 340}},
                 {{1280, 1024}, {140, 312}},
                 {{800, 600}, {-100, 100}},
                 {{1025, 769}, {12, 184}}};
    for (const auto& c : cases)
        EXPECT_EQ(EditorPosition(c.screen), c.at) << c.screen.width() << "x" << c.screen.height();
}

TEST_F(StationEditorTest, ControlsLieWhereTheLayoutPutsThem) {
    layOutStations(1);
    start();
    StationEditor* f = editor_.get();
    EXPECT_EQ(f->size(), QSize(497, 164));
    const struct {
        QWidget* control;
        QRect place;
    } cases[] = {
        {f->background, {0, 0, 497, 164}},    {f->windowIcon, {13, 10, 25, 26}},
        {f->closeMark, {457, 4, 32, 25}},     {f->panel, {5, 37, 488, 122}},
        {f->logo, {10, 41, 85, 82}},          {f->titleEdit, {100, 41, 390, 28}},
        {f->urlEdit, {100, 74, 390, 28}},     {f->secondPlayerBox, {98, 107, 212, 19}},
        {f->saveButton, {280, 129, 102, 27}}, {f->okButton, {388, 129, 102, 27}},
    };
    for (const auto& c : cases)
        EXPECT_EQ(InWindow(c.control, f), c.place) << c.control->objectName().toStdString();
    EXPECT_EQ(f->titleLabel->pos(), QPoint(40, 13));
    EXPECT_EQ(f->titleLabel->text(), "Radio station Editor");
    EXPECT_TRUE(f->titleLabel->font().bold());
    EXPECT_EQ(f->titleLabel->font().pixelSize(), 17);
    EXPECT_EQ(f->titleEdit->font().pixelSize(), 16);
    EXPECT_EQ(f->titleEdit->text(), "Name");
    EXPECT_EQ(f->urlEdit->text(), "URL");
    EXPECT_EQ(f->secondPlayerBox->text(), "Use alternative connect engine (WMP)");
    EXPECT_EQ(f->secondPlayerBox->palette().color(QPalette::WindowText), QColor(0, 0, 206));
    EXPECT_EQ(f->saveButton->text(), "SAVE");
    EXPECT_EQ(f->okButton->text(), "OK");
    EXPECT_EQ(f->panel->cornerRadius(), 10);
    EXPECT_EQ(f->panel->borderWidth(), 2);
    for (QWidget* w : {static_cast<QWidget*>(f->closeMark), static_cast<QWidget*>(f->saveButton),
                       static_cast<QWidget*>(f->okButton)})
        EXPECT_EQ(w->cursor().shape(), Qt::PointingHandCursor) << w->objectName().toStdString();
    EXPECT_EQ(f->logo->parentWidget(), f->panel);
    EXPECT_EQ(f->secondPlayerBox->parentWidget(), f->panel);
}

TEST_F(StationEditorTest, NothingIsShownBeforeAStationIsOpened) {
    layOutStations(2);
    start();
    const bool shown = showEditor([] {});
    EXPECT_FALSE(shown);
    EXPECT_FALSE(editor_->isVisible());
    // It is placed all the same.
    EXPECT_EQ(editor_->pos(), EditorPosition(QGuiApplication::primaryScreen()->size()));
}

TEST_F(StationEditorTest, SaveWritesTheThreeLinesAndRetitlesAtOnce) {
    layOutStations(3);
    start();
    openStation(2, 0);
    ASSERT_EQ(State().CurrentStation, 3);
    const bool shown = showEditor([&] {
        EXPECT_EQ(editor_->titleEdit->text(), "Station 3");
        EXPECT_EQ(editor_->urlEdit->text(), "http://127.0.0.1:9/3");
        EXPECT_FALSE(editor_->secondPlayerBox->isChecked());
        EXPECT_FALSE(editor_->logo->picture().isNull());
        editor_->titleEdit->setText("Третья станция");
        editor_->urlEdit->setText("http://127.0.0.1:9/three");
        editor_->secondPlayerBox->setChecked(true);
        QTest::mouseClick(editor_->saveButton, Qt::LeftButton);
        EXPECT_TRUE(editor_->isVisible()); // SAVE keeps it open
        EXPECT_EQ(title(), "Третья станция");
        QTest::mouseClick(editor_->okButton, Qt::LeftButton);
    });
    EXPECT_TRUE(shown);
    EXPECT_EQ(bytesOf(stations() / "play3.txt"),
              "http://127.0.0.1:9/three\r\n\xD2\xF0\xE5\xF2\xFC\xFF \xF1\xF2\xE0\xED\xF6\xE8\xFF\r\n1\r\n");
    EXPECT_EQ(State().CurrentUrl.get(), "http://127.0.0.1:9/three");
    // The engine flag takes effect at the next opening, the tray keeps the old title until then.
    EXPECT_EQ(State().UseSecondPlayer.get(), "2");
    EXPECT_EQ(mainWindow_->trayIcon->toolTip(), "Station 3");
    // After closing the editor shows the station as opened, with the box as it was.
    EXPECT_EQ(editor_->titleEdit->text(), "Третья станция");
    EXPECT_FALSE(editor_->secondPlayerBox->isChecked());
    EXPECT_FALSE(fs::exists(stations() / "play3.txt.new"));
    EXPECT_TRUE(errors_.isEmpty()) << errors_.join("\n").toStdString();
}

TEST_F(StationEditorTest, ClosingWithoutSaveDiscardsTheChanges) {
    layOutStations(2);
    start();
    openStation(1, 0);
    const std::string before = bytesOf(stations() / "play2.txt");
    const struct {
        const char* name;
        std::function<void(StationEditor*)> close;
    } cases[] = {
        {"OK", [](StationEditor* f) { QTest::mouseClick(f->okButton, Qt::LeftButton); }},
        {"close mark", [](StationEditor* f) { QTest::mouseClick(f->closeMark, Qt::LeftButton); }},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_TRUE(showEditor([&] {
            editor_->titleEdit->setText("Not saved");
            editor_->urlEdit->setText("http://nowhere/");
            editor_->secondPlayerBox->setChecked(true);
            c.close(editor_.get());
        }));
        EXPECT_EQ(editor_->titleEdit->text(), "Station 2");
        EXPECT_EQ(editor_->urlEdit->text(), "http://127.0.0.1:9/2");
        EXPECT_FALSE(editor_->secondPlayerBox->isChecked());
        EXPECT_EQ(title(), "Station 2");
        EXPECT_EQ(bytesOf(stations() / "play2.txt"), before);
    }
}

TEST_F(StationEditorTest, SaveIntoAReadOnlyStationFileChangesNothing) {
    layOutStations(2);
    start();
    openStation(0, 0);
    fs::permissions(stations() / "play1.txt", fs::perms::owner_read | fs::perms::group_read);
    editor_->titleEdit->setText("Renamed");
    editor_->save();
    EXPECT_EQ(errors_, QStringList{"File access denied"});
    EXPECT_EQ(title(), "Station 1");
    EXPECT_EQ(bytesOf(stations() / "play1.txt"), "http://127.0.0.1:9/1\r\nStation 1\r\n2\r\n");
    fs::permissions(stations() / "play1.txt", fs::perms::owner_write, fs::perm_options::add);
}

TEST_F(StationEditorTest, EditorShowsTheEngineAndTheLogoOfTheOpenStation) {
    layOutStations(3);
    put(stations() / "play2.txt", "http://127.0.0.1:9/alt\r\nAlt\r\n1\r\n");
    fs::remove(stations() / "3.png");
    start();
    openStation(1, 0);
    EXPECT_TRUE(editor_->secondPlayerBox->isChecked());
    const QImage logo = editor_->logo->picture().toImage();
    ASSERT_FALSE(logo.isNull());
    EXPECT_EQ(logo.size(), QSize(85, 82));
    EXPECT_EQ(logo.pixel(40, 40), LogoColour(2).rgb());
    openStation(2, 0); // no logo: no picture rather than station 2's
    EXPECT_FALSE(editor_->secondPlayerBox->isChecked());
    EXPECT_TRUE(editor_->logo->picture().isNull());
}

TEST_F(StationEditorTest, ClickIntoAFieldClearsOnlyItsPlaceholder) {
    layOutStations(1);
    start();
    const struct {
        QLineEdit* edit;
        const char* text;
        const char* after;
    } cases[] = {
        {editor_->titleEdit, "Name", ""},       {editor_->titleEdit, "Station 1", "Station 1"},
        {editor_->titleEdit, "URL", "URL"},     {editor_->urlEdit, "URL", ""},
        {editor_->urlEdit, "Name", "Name"},     {editor_->urlEdit, "http://a/", "http://a/"},
        {editor_->titleEdit, "Name ", "Name "},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << c.edit->objectName().toStdString() << " " << c.text);
        c.edit->setText(c.text);
        QTest::mouseClick(c.edit, Qt::LeftButton);
        EXPECT_EQ(c.edit->text(), c.after);
    }
}
