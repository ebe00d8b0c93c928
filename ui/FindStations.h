#pragma once
// "Find stations": searches the open Radio Browser directory as the user types and plays or adds a
// result. Every transfer runs off the GUI thread, one search at a time; errors are shown in the
// window's own status line, never in boxes.
#include <QWidget>

#include <memory>
#include <string>
#include <vector>

#include "directory/RadioBrowser.h"

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

    QLineEdit* searchEdit;
    QListWidget* resultList;
    QPushButton* listenButton;
    QPushButton* addButton;
    QLabel* statusLabel;
    QWidget* closeMark;

    // The results now shown, in the list's order.
    const std::vector<tembrik::directory::FoundStation>& results() const { return results_; }
    // True while a search, favicon, add or click transfer runs.
    bool busy() const;

    void searchTextChanged();
    void searchTimerFired();
    void listenToSelected();
    void addSelected();

protected:
    void paintEvent(QPaintEvent*) override;
    void mousePressEvent(QMouseEvent* e) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void startSearch(const std::string& text);
    void showResults(const std::string& text, tembrik::directory::SearchResult result);
    void loadFavicons();
    void countClick(const std::string& uuid);
    const tembrik::directory::FoundStation* selected() const;
    void setStatus(const QString& text);

    MainWindow* mainWindow_;
    QTimer* searchTimer_;
    std::vector<tembrik::directory::FoundStation> results_; // GUI thread
    std::string shownQuery_;                                // the text the results answer
    // One task of each kind at a time; each posts its outcome to this window's thread. They are
    // ended (cancelled and joined) before the window's QObject part goes, so a post always finds it.
    std::unique_ptr<tembrik::net::BackgroundTask> search_;
    std::unique_ptr<tembrik::net::BackgroundTask> favicons_;
    std::unique_ptr<tembrik::net::BackgroundTask> add_;
    std::vector<std::unique_ptr<tembrik::net::BackgroundTask>> clicks_;
    unsigned faviconGeneration_ = 0; // GUI thread: favicons of older results are dropped
};

// Opens the window (created on first use) above the main window.
void ShowFindStations(MainWindow* mainWindow);
