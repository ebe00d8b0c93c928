#include "FindStations.h"

#include "MainWindow.h"
#include "NetClient.h"
#include "SkinnedWindow.h"
#include "widgets/ImageControl.h"
#include "widgets/LogoGrid.h"
#include "widgets/ShadowLabel.h"

#include "directory/AddStation.h"
#include "tembrik/net/BackgroundTask.h"

#include <QBuffer>
#include <QComboBox>
#include <QFontMetrics>
#include <QIcon>
#include <QImage>
#include <QImageReader>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMouseEvent>
#include <QPalette>
#include <QPushButton>
#include <QScreen>
#include <QTimer>

#include <algorithm>
#include <memory>

using namespace tembrik::directory;
using tembrik::net::BackgroundTask;
using tembrik::net::CancelFlag;

namespace {

constexpr QSize ClientSize(520, 420);
constexpr int SearchPauseMs = 300;

// What the selector beside the search field makes of the text, in the selector's order.
enum SearchField { ByName, ByTag, ByCountry };
struct FieldChoice {
    const char* caption;
    const char* placeholder;
};
constexpr FieldChoice Fields[] = {
    {"Name", "Station name"},
    {"Tag", "Tag, such as jazz or news"},
    {"Country", "Country code, such as DE or FR"},
};

tembrik::net::HttpOptions DirectoryOptions() {
    tembrik::net::HttpOptions o = ProgramHttpOptions(std::chrono::seconds(5), std::chrono::seconds(5));
    o.userAgent = DirectoryUserAgent();
    return o;
}

constexpr int IconSide = 40;

// A favicon decoded straight to icon size, off the GUI thread: the picture may claim any size.
QImage IconPicture(const std::string& bytes) {
    if (bytes.empty())
        return {};
    QByteArray data = QByteArray::fromStdString(bytes);
    QBuffer buffer(&data);
    QImageReader reader(&buffer);
    const QSize size = reader.size();
    if (size.isValid())
        reader.setScaledSize(size.scaled(IconSide, IconSide, Qt::KeepAspectRatio));
    return reader.read();
}

// Two lines of a result, each cut to the list's width: a name may be hundreds of characters long.
QString ResultText(const FoundStation& s, const QFontMetrics& metrics, int width) {
    QString details = QString::fromStdString(s.countryCode);
    if (!s.codec.empty())
        details += (details.isEmpty() ? "" : " · ") + QString::fromStdString(s.codec);
    if (s.bitrate > 0)
        details += QString(" %1 kbit/s").arg(s.bitrate);
    QString text = QString::fromStdString(s.name);
    if (!details.isEmpty())
        text += "  —  " + details;
    text = metrics.elidedText(text, Qt::ElideRight, width);
    if (!s.tags.empty())
        text += "\n" + metrics.elidedText(QString::fromStdString(s.tags), Qt::ElideRight, width);
    return text;
}

} // namespace

FindStationsWindow::FindStationsWindow(MainWindow* mainWindow)
    : QWidget(mainWindow), mainWindow_(mainWindow) {
    setObjectName("FindStations");
    background =
        SetUpSkinnedWindow(this, ClientSize, "Find stations", "find-background.png", SkinLoad::AtFirstShow);

    auto* icon = new ImageControl(this);
    icon->setObjectName("Image4");
    icon->setGeometry(13, 8, 25, 26);
    icon->setCursor(Qt::ArrowCursor);
    try {
        icon->setPicture(LoadProgramPicture("window-icon.png"));
    } catch (const std::exception&) {
        // Only decoration.
    }

    titleLabel = new QLabel("Find stations", this);
    titleLabel->setObjectName("TitleLabel");
    titleLabel->setFont(ProgramFont(FontFace::Gothic, 17, true));
    QPalette black = titleLabel->palette();
    black.setColor(QPalette::WindowText, Qt::black);
    titleLabel->setPalette(black);
    titleLabel->move(42, 11);
    titleLabel->adjustSize();

    // Over the close mark the background draws.
    closeMark = new ImageControl(this);
    closeMark->setObjectName("CloseArea");
    closeMark->setGeometry(480, 4, 32, 25);
    closeMark->setCursor(Qt::PointingHandCursor);
    closeMark->setAccessibleName("Close");

    searchField = new QComboBox(this);
    searchField->setObjectName("FieldBox");
    searchField->setGeometry(13, 45, 96, 28);
    searchField->setFont(ProgramFont(FontFace::Sans, 14));
    searchField->setAccessibleName("Search by");
    searchField->setCursor(Qt::PointingHandCursor);
    for (const FieldChoice& f : Fields)
        searchField->addItem(f.caption);

    searchEdit = new QLineEdit(this);
    searchEdit->setObjectName("SearchEdit");
    searchEdit->setGeometry(115, 45, ClientSize.width() - 128, 28);
    searchEdit->setPlaceholderText(Fields[ByName].placeholder);
    searchEdit->setFont(ProgramFont(FontFace::Sans, 15));
    searchEdit->setClearButtonEnabled(true);

    // In the white well the background draws.
    resultList = new QListWidget(this);
    resultList->setObjectName("ResultList");
    resultList->setGeometry(15, 83, 490, 289);
    resultList->setFrameShape(QFrame::NoFrame);
    resultList->setIconSize(QSize(IconSide, IconSide));
    resultList->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    resultList->setFont(ProgramFont(FontFace::Sans, 13));

    statusLabel = new QLabel(this);
    statusLabel->setObjectName("StatusLabel");
    // Two lines beside the buttons: the longer messages (a full catalogue, a failed write) wrap.
    statusLabel->setGeometry(16, 376, 268, 38);
    statusLabel->setFont(ProgramFont(FontFace::Sans, 13));
    statusLabel->setPalette(black);
    statusLabel->setWordWrap(true);
    statusLabel->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);

    listenButton = MakeWindowButton(this, "ListenButton", {290, 381, 104, 27}, "Listen");
    addButton = MakeWindowButton(this, "AddButton", {402, 381, 104, 27}, "Add");

    searchTimer_ = new QTimer(this);
    searchTimer_->setSingleShot(true);
    searchTimer_->setInterval(SearchPauseMs);

    connect(background, &ImageControl::pressedAt, this, [this](QMouseEvent* e) { DragWindow(this, e); });
    connect(closeMark, &ImageControl::clicked, this, &QWidget::close);
    titleLabel->installEventFilter(this);
    connect(searchField, &QComboBox::currentIndexChanged, this, &FindStationsWindow::searchFieldChanged);
    connect(searchEdit, &QLineEdit::textEdited, this, &FindStationsWindow::searchTextChanged);
    connect(searchTimer_, &QTimer::timeout, this, &FindStationsWindow::searchTimerFired);
    connect(listenButton, &QPushButton::clicked, this, &FindStationsWindow::listenToSelected);
    connect(addButton, &QPushButton::clicked, this, &FindStationsWindow::addSelected);
    connect(resultList, &QListWidget::itemDoubleClicked, this, &FindStationsWindow::listenToSelected);
}

FindStationsWindow::~FindStationsWindow() {
    // Ended while this window is still whole: a task's last post then finds it.
    search_.reset();
    favicons_.reset();
    add_.reset();
    clicks_.clear();
}

bool FindStationsWindow::busy() const {
    auto running = [](const std::unique_ptr<BackgroundTask>& t) { return t && !t->done(); };
    for (const auto& c : clicks_) {
        if (running(c))
            return true;
    }
    return running(search_) || running(favicons_) || running(add_);
}

bool FindStationsWindow::eventFilter(QObject* watched, QEvent* event) {
    if (watched == titleLabel && event->type() == QEvent::MouseButtonPress)
        DragWindow(this, static_cast<QMouseEvent*>(event));
    return QWidget::eventFilter(watched, event);
}

void FindStationsWindow::setStatus(const QString& text) {
    statusLabel->setText(text);
}

void FindStationsWindow::searchTextChanged() {
    searchTimer_->start();
}

void FindStationsWindow::searchFieldChanged() {
    searchEdit->setPlaceholderText(Fields[searchField->currentIndex()].placeholder);
    // The same text asks another question now.
    searchTimer_->start();
}

SearchQuery FindStationsWindow::query() const {
    const std::string text = searchEdit->text().trimmed().toStdString();
    switch (searchField->currentIndex()) {
    case ByTag:
        return {"", text, ""};
    case ByCountry:
        // Country codes are the two upper-case letters of ISO 3166; "de" means DE.
        return {"", "", searchEdit->text().trimmed().toUpper().toStdString()};
    default:
        return {text, "", ""};
    }
}

void FindStationsWindow::searchTimerFired() {
    const SearchQuery now = query();
    // One search at a time: a pause while one runs is answered when it returns.
    if (search_ && !search_->done())
        return;
    if (now == shownQuery_)
        return;
    if (now.empty()) {
        // A cleared field shows nothing rather than the answer to a question no longer asked.
        showResults(now, SearchResult{true, {}, {}});
        return;
    }
    startSearch(now);
}

void FindStationsWindow::startSearch(const SearchQuery& asked) {
    setStatus("Searching…");
    auto result = std::make_shared<SearchResult>();
    const tembrik::net::HttpOptions options = DirectoryOptions();
    search_ = std::make_unique<BackgroundTask>(
        [result, asked, options](const CancelFlag& cancel) {
            *result = Search(DirectoryServers(), asked, options, &cancel);
        },
        [this, result, asked] {
            QMetaObject::invokeMethod(
                this, [this, result, asked] { showResults(asked, std::move(*result)); },
                Qt::QueuedConnection);
        });
}

void FindStationsWindow::showResults(const SearchQuery& asked, SearchResult result) {
    search_.reset();
    const SearchQuery now = query();
    // The question changed while this search ran: its answer is already old; ask the new one.
    if (now != asked && !now.empty()) {
        startSearch(now);
        return;
    }
    shownQuery_ = now;
    ++faviconGeneration_;
    resultList->clear();
    results_.clear();
    if (now.empty()) {
        setStatus(QString());
        return;
    }
    if (!result.ok) {
        setStatus(QString::fromStdString(result.message));
        return;
    }
    results_ = std::move(result.stations);
    // Until its favicon arrives a result keeps the icon's place empty, so the names stay in line.
    QPixmap blank(IconSide, IconSide);
    blank.fill(Qt::transparent);
    const int textWidth = resultList->viewport()->width() - IconSide - 16;
    for (const FoundStation& s : results_) {
        auto* item = new QListWidgetItem(QIcon(blank), ResultText(s, resultList->fontMetrics(), textWidth));
        item->setToolTip(QString::fromStdString(s.name));
        resultList->addItem(item);
    }
    if (!results_.empty())
        resultList->setCurrentRow(0);
    setStatus(results_.empty()       ? QString(NothingFoundText)
              : results_.size() == 1 ? QString("1 station")
                                     : QString("%1 stations").arg(results_.size()));
    loadFavicons();
}

void FindStationsWindow::loadFavicons() {
    const unsigned generation = ++faviconGeneration_;
    favicons_.reset();
    const std::vector<FoundStation> stations = results_;
    const tembrik::net::HttpOptions options = DirectoryOptions();
    favicons_ = std::make_unique<BackgroundTask>(
        [this, stations, options, generation](const CancelFlag& cancel) {
            for (std::size_t i = 0; i < stations.size() && !cancel; ++i) {
                const QImage icon = IconPicture(DownloadFavicon(stations[i], options, &cancel));
                if (icon.isNull())
                    continue;
                QMetaObject::invokeMethod(
                    this,
                    [this, i, generation, icon] {
                        if (generation == faviconGeneration_ && static_cast<int>(i) < resultList->count())
                            resultList->item(static_cast<int>(i))->setIcon(QPixmap::fromImage(icon));
                    },
                    Qt::QueuedConnection);
            }
        },
        std::function<void()>());
}

const FoundStation* FindStationsWindow::selected() const {
    const int row = resultList->currentRow();
    return row >= 0 && row < static_cast<int>(results_.size()) ? &results_[static_cast<std::size_t>(row)]
                                                               : nullptr;
}

void FindStationsWindow::countClick(const std::string& uuid) {
    std::erase_if(clicks_, [](const std::unique_ptr<BackgroundTask>& t) { return t->done(); });
    const tembrik::net::HttpOptions options = DirectoryOptions();
    clicks_.push_back(std::make_unique<BackgroundTask>(
        [uuid, options](const CancelFlag& cancel) { CountClick(DirectoryServers(), uuid, options, &cancel); },
        std::function<void()>()));
}

void FindStationsWindow::listenToSelected() {
    const FoundStation* s = selected();
    if (!s || !mainWindow_)
        return;
    // HLS needs the second player; the main engine plays everything else.
    mainWindow_->playUncataloguedStation(s->url, s->name, s->hls);
    countClick(s->uuid);
}

void FindStationsWindow::addSelected() {
    const FoundStation* s = selected();
    if (!s || (add_ && !add_->done()))
        return;
    setStatus("Adding…");
    addButton->setEnabled(false);
    const FoundStation station = *s;
    auto favicon = std::make_shared<std::string>();
    const tembrik::net::HttpOptions options = DirectoryOptions();
    add_ = std::make_unique<BackgroundTask>(
        [station, favicon, options](const CancelFlag& cancel) {
            *favicon = DownloadFavicon(station, options, &cancel);
        },
        [this, station, favicon] {
            QMetaObject::invokeMethod(
                this,
                [this, station, favicon] {
                    add_.reset();
                    addButton->setEnabled(true);
                    const AddResult added = AddFoundStation(station, *favicon);
                    if (!added.ok) {
                        setStatus(QString::fromStdString(added.message));
                        return;
                    }
                    countClick(station.uuid);
                    setStatus(QString("Added as station %1").arg(added.station));
                    if (!mainWindow_)
                        return;
                    try {
                        mainWindow_->reloadStations();
                        // The new cell is on the all-stations grid, which may be behind the favourites.
                        mainWindow_->showAllStations();
                        mainWindow_->stationGrid->scrollToRow((added.station - 1) / LogoGrid::Columns);
                    } catch (const std::exception& e) {
                        // The station is written; only the grid could not show it yet.
                        setStatus(QString("Added as station %1; the grid could not be refreshed: %2")
                                      .arg(added.station)
                                      .arg(QString::fromUtf8(e.what())));
                    }
                },
                Qt::QueuedConnection);
        });
}

QPoint FindWindowPosition(const QRect& main, const QSize& size, const QRect& screen) {
    // Beside the main window, so the grid that an added station joins stays in sight: right, left,
    // below or above, the first side with room (slid along that side to stay on the screen); else
    // as near the right as the screen allows.
    constexpr int Gap = 8;
    const int x =
        std::clamp(main.left(), screen.left(), std::max(screen.left(), screen.right() + 1 - size.width()));
    const int y =
        std::clamp(main.top(), screen.top(), std::max(screen.top(), screen.bottom() + 1 - size.height()));
    const QPoint sides[] = {
        {main.right() + 1 + Gap, y},
        {main.left() - Gap - size.width(), y},
        {x, main.bottom() + 1 + Gap},
        {x, main.top() - Gap - size.height()},
    };
    for (const QPoint& side : sides) {
        if (screen.contains(QRect(side, size)))
            return side;
    }
    return {std::max(screen.left(), screen.right() + 1 - size.width()), y};
}

void ShowFindStations(MainWindow* mainWindow) {
    auto* window = mainWindow->findChild<FindStationsWindow*>(QString(), Qt::FindDirectChildrenOnly);
    if (!window)
        window = new FindStationsWindow(mainWindow);
    if (!window->isVisible())
        window->move(FindWindowPosition(mainWindow->frameGeometry(), window->size(),
                                        mainWindow->screen()->availableGeometry()));
    window->show();
    window->raise();
    window->activateWindow();
    window->searchEdit->setFocus();
}
