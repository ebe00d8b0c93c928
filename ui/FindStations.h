#pragma once
// "Find stations": searches the open Radio Browser directory as the user types and plays or adds a
// result. Every transfer runs off the GUI thread, one search at a time; errors are shown in the
// window's own status line, never in boxes.
#include <QWidget>

#include <memory>
#include <string>
#include <vector>

#include "directory/RadioBrowser.h"

class ImageControl;
class QComboBox;
class QLabel;
class QLineEdit;
class QListWidget;
class QPushButton;
class QTimer;
class MainWindow;
namespace tembrik::net {
class BackgroundTask;
}

class FindStationsWindow : public QWidget {
    Q_OBJECT
public:
    explicit FindStationsWindow(MainWindow* mainWindow);
    ~FindStationsWindow() override;

    ImageControl* background; // background, drag area
    QLabel* titleLabel;       // drag area
    ImageControl* closeMark;
    QComboBox* searchField; // what the text is searched in: name, tag or country code
    QLineEdit* searchEdit;
    QListWidget* resultList;
    QPushButton* listenButton;
    QPushButton* addButton;
    QLabel* statusLabel;

    // The results now shown, in the list's order.
    const std::vector<tembrik::directory::FoundStation>& results() const { return results_; }
    // True while a search, favicon, add or click transfer runs.
    bool busy() const;

    void searchTextChanged();
    void searchFieldChanged();
    void searchTimerFired();
    void listenToSelected();
    void addSelected();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    // The question the search field and the selector ask now.
    tembrik::directory::SearchQuery query() const;
    void startSearch(const tembrik::directory::SearchQuery& asked);
    void showResults(const tembrik::directory::SearchQuery& asked, tembrik::directory::SearchResult result);
    void loadFavicons();
    void countClick(const std::string& uuid);
    const tembrik::directory::FoundStation* selected() const;
    void setStatus(const QString& text);

    MainWindow* mainWindow_;
    QTimer* searchTimer_;
    std::vector<tembrik::directory::FoundStation> results_; // GUI thread
    tembrik::directory::SearchQuery shownQuery_;            // the question the results answer
    // One task of each kind at a time; each posts its outcome to this window's thread. They are
    // ended (cancelled and joined) before the window's QObject part goes, so a post always finds it.
    std::unique_ptr<tembrik::net::BackgroundTask> search_;
    std::unique_ptr<tembrik::net::BackgroundTask> favicons_;
    std::unique_ptr<tembrik::net::BackgroundTask> add_;
    std::vector<std::unique_ptr<tembrik::net::BackgroundTask>> clicks_;
    unsigned faviconGeneration_ = 0; // GUI thread: favicons of older results are dropped
};

// Where the window opens: beside the main window on the screen's free side, over it when neither
// side has room.
QPoint FindWindowPosition(const QRect& main, const QSize& size, const QRect& screen);

// Opens the window (created on first use) beside the main window.
void ShowFindStations(MainWindow* mainWindow);
