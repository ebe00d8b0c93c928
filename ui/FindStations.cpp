#include "FindStations.h"

#include "MainWindow.h"
#include "NetClient.h"
#include "SkinnedWindow.h"
#include "widgets/LogoGrid.h"
#include "widgets/ShadowLabel.h"

#include "app/PlayerState.h"
#include "directory/AddStation.h"
#include "stations/StationStore.h"
#include "tembrik/net/BackgroundTask.h"

#include <QBitmap>
#include <QImage>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>
#include <QPushButton>
#include <QTimer>

#include <memory>

using namespace tembrik::directory;
using tembrik::net::BackgroundTask;
using tembrik::net::CancelFlag;

namespace {

constexpr QSize ClientSize(520, 420);
constexpr int SearchPauseMs = 300;
constexpr int CornerRadius = 14;
const QColor Lime(0, 255, 0);

tembrik::net::HttpOptions DirectoryOptions() {
    tembrik::net::HttpOptions o = ProgramHttpOptions(std::chrono::seconds(5), std::chrono::seconds(5));
    o.userAgent = DirectoryUserAgent();
    return o;
}

QString ResultText(const FoundStation& s) {
    QString details = QString::fromStdString(s.countryCode);
    if (!s.codec.empty())
        details += (details.isEmpty() ? "" : " · ") + QString::fromStdString(s.codec);
    if (s.bitrate > 0)
        details += QString(" %1 kbit/s").arg(s.bitrate);
    QString text = QString::fromStdString(s.name);
    if (!details.isEmpty())
        text += "  —  " + details;
    if (!s.tags.empty())
        text += "\n" + QString::fromStdString(s.tags);
    return text;
}

} // namespace

FindStationsWindow::FindStationsWindow(MainWindow* mainWindow)
    : QWidget(mainWindow, Qt::Window | Qt::FramelessWindowHint), mainWindow_(mainWindow) {
    setObjectName("FindStations");
    setWindowTitle("Find stations");
    setFixedSize(ClientSize);
    // The skin's rounded corners: the lime outside them is see-through, as on the other windows.
    QPixmap shape(ClientSize);
    shape.fill(Lime);
    {
        QPainter p(&shape);
        QPainterPath path;
        path.addRoundedRect(QRectF(QPointF(0, 0), QSizeF(ClientSize)), CornerRadius, CornerRadius);
        p.fillPath(path, Qt::black);
    }
    ShapeWindowFromPicture(this, shape);

    auto* title = new QLabel("Find stations", this);
    title->setObjectName("TitleLabel");
    title->setFont(ProgramFont(FontFace::Gothic, 17, true));
    title->move(16, 10);
    title->adjustSize();
    title->setAttribute(Qt::WA_TransparentForMouseEvents);

    closeMark = new QLabel("✕", this);
    closeMark->setObjectName("CloseArea");
    closeMark->setGeometry(ClientSize.width() - 40, 6, 32, 25);
    closeMark->setCursor(Qt::PointingHandCursor);
    closeMark->setAccessibleName("Close");
    closeMark->setFont(ProgramFont(FontFace::Sans, 18, true));
    closeMark->installEventFilter(this);

    searchEdit = new QLineEdit(this);
    searchEdit->setObjectName("SearchEdit");
    searchEdit->setGeometry(16, 44, ClientSize.width() - 32, 28);
    searchEdit->setPlaceholderText("Station name");
    searchEdit->setFont(ProgramFont(FontFace::Sans, 15));

    resultList = new QListWidget(this);
    resultList->setObjectName("ResultList");
    resultList->setGeometry(16, 80, ClientSize.width() - 32, 270);
    resultList->setIconSize(QSize(40, 40));
    resultList->setFont(ProgramFont(FontFace::Sans, 13));

    statusLabel = new QLabel(this);
    statusLabel->setObjectName("StatusLabel");
    statusLabel->setGeometry(16, 356, ClientSize.width() - 32, 20);
    statusLabel->setFont(ProgramFont(FontFace::Sans, 13));

    listenButton = MakeWindowButton(this, "ListenButton", {ClientSize.width() - 232, 382, 104, 27}, "Listen");
    addButton = MakeWindowButton(this, "AddButton", {ClientSize.width() - 120, 382, 104, 27}, "Add");

    searchTimer_ = new QTimer(this);
    searchTimer_->setSingleShot(true);
    searchTimer_->setInterval(SearchPauseMs);

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

void FindStationsWindow::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing, false);
    p.fillRect(rect(), QColor(0xF3, 0xEF, 0xE2));
    p.setPen(QPen(QColor(0x4A, 0x4F, 0x58), 2));
    p.drawRoundedRect(QRectF(rect()).adjusted(1, 1, -1, -1), CornerRadius, CornerRadius);
}

void FindStationsWindow::mousePressEvent(QMouseEvent* e) {
    DragWindow(this, e);
}

bool FindStationsWindow::eventFilter(QObject* watched, QEvent* event) {
    if (watched == closeMark && event->type() == QEvent::MouseButtonRelease)
        close();
    return QWidget::eventFilter(watched, event);
}

void FindStationsWindow::setStatus(const QString& text) {
    statusLabel->setText(text);
}

void FindStationsWindow::searchTextChanged() {
    searchTimer_->start();
}

void FindStationsWindow::searchTimerFired() {
    const std::string text = searchEdit->text().trimmed().toStdString();
    // One search at a time: a pause while one runs is answered when it returns.
    if (search_ && !search_->done())
        return;
    if (text.empty() || text == shownQuery_)
        return;
    startSearch(text);
}

void FindStationsWindow::startSearch(const std::string& text) {
    setStatus("Searching…");
    auto result = std::make_shared<SearchResult>();
    const tembrik::net::HttpOptions options = DirectoryOptions();
    search_ = std::make_unique<BackgroundTask>(
        [result, text, options](const CancelFlag& cancel) {
            *result = Search(DirectoryServers(), {text, "", ""}, options, &cancel);
        },
        [this, result, text] {
            QMetaObject::invokeMethod(
                this, [this, result, text] { showResults(text, std::move(*result)); }, Qt::QueuedConnection);
        });
}

void FindStationsWindow::showResults(const std::string& text, SearchResult result) {
    search_.reset();
    const std::string now = searchEdit->text().trimmed().toStdString();
    // The text changed while this search ran: its answer is already old; ask again for the new one.
    if (now != text && !now.empty()) {
        startSearch(now);
        return;
    }
    shownQuery_ = text;
    resultList->clear();
    results_.clear();
    if (!result.ok) {
        setStatus(QString::fromStdString(result.message));
        return;
    }
    results_ = std::move(result.stations);
    for (const FoundStation& s : results_)
        resultList->addItem(ResultText(s));
    if (!results_.empty())
        resultList->setCurrentRow(0);
    setStatus(results_.empty() ? QString(NothingFoundText) : QString("%1 stations").arg(results_.size()));
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
                std::string bytes = DownloadFavicon(stations[i], options, &cancel);
                if (bytes.empty())
                    continue;
                QMetaObject::invokeMethod(
                    this,
                    [this, i, generation, bytes = std::move(bytes)] {
                        if (generation != faviconGeneration_ || static_cast<int>(i) >= resultList->count())
                            return;
                        const QImage image = QImage::fromData(QByteArray::fromStdString(bytes));
                        if (!image.isNull())
                            resultList->item(static_cast<int>(i))
                                ->setIcon(QPixmap::fromImage(
                                    image.scaled(40, 40, Qt::KeepAspectRatio, Qt::SmoothTransformation)));
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
    PlayerState& state = State();
    state.UseSecondPlayer.set(s->hls ? tembrik::stations::AlternativeEngineFlag : "0");
    state.CurrentUrl.set(s->url);
    mainWindow_->stationTitle->setCaption(QString::fromStdString(s->name));
    mainWindow_->stopSecondPlayer();
    mainWindow_->stopMainChannel();
    if (s->hls)
        mainWindow_->startSecondPlayer(QString::fromStdString(s->url));
    else
        mainWindow_->connectCurrentStation();
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
                    if (mainWindow_) {
                        mainWindow_->reloadStations();
                        mainWindow_->stationGrid->scrollToRow((added.station - 1) / LogoGrid::Columns);
                    }
                },
                Qt::QueuedConnection);
        });
}

void ShowFindStations(MainWindow* mainWindow) {
    auto* window = mainWindow->findChild<FindStationsWindow*>(QString(), Qt::FindDirectChildrenOnly);
    if (!window)
        window = new FindStationsWindow(mainWindow);
    const QRect main = mainWindow->frameGeometry();
    if (!window->isVisible())
        window->move(main.center() - QPoint(window->width() / 2, window->height() / 2));
    window->show();
    window->raise();
    window->activateWindow();
    window->searchEdit->setFocus();
}
