// The catalogue import on the main window: the radio-directory page becomes the new Stations
// directory. The new catalogue is built beside the old one and takes its place only when every
// station file was written; until then a failure leaves the old catalogue as it was.
#include "MainWindow.h"

#include "ErrorBox.h"
#include "NetClient.h"
#include "widgets/LogoGrid.h"

#include "app/PlayerState.h"
#include "import/CatalogueBuild.h"
#include "import/ImportSites.h"
#include "import/StationBlocks.h"
#include "import/TextCut.h"
#include "stations/StationDirectory.h"
#include "tembrik/platform/Cp1251.h"

#include <stdexcept>
#include <utility>

namespace {

// Both grids are rebuilt from whatever Stations holds once the import ends, whichever way.
class RebuildGridsAtEnd {
public:
    explicit RebuildGridsAtEnd(MainWindow* form) : form_(form) {}
    ~RebuildGridsAtEnd() {
        if (!form_)
            return;
        try {
            form_->reloadStations();
        } catch (const std::exception&) {
            // The import's own error is the one the user sees.
        }
    }
    // The import succeeded: rebuild now, and let a failure of the rebuild be shown.
    void now() {
        MainWindow* form = std::exchange(form_, nullptr);
        form->reloadStations();
    }
    RebuildGridsAtEnd(const RebuildGridsAtEnd&) = delete;
    RebuildGridsAtEnd& operator=(const RebuildGridsAtEnd&) = delete;

private:
    MainWindow* form_;
};

void ResetImportTable() {
    PlayerState& s = State();
    for (PlayerState::ImportRow& row : s.ImportTable)
        row = {};
    s.ImportCount = 1;
}

} // namespace

void MainWindow::importCatalogue() {
    // A version check or an earlier import still waiting keeps the network client.
    if (NetworkBusy())
        return;
    stationGrid->clear();
    favouritesGrid->clear();
    RebuildGridsAtEnd rebuild(this);

    const std::string site = DirectorySite();
    std::string page;
    try {
        const HttpTimeouts& t = NetClientTimeouts();
        page = tembrik::platform::utf8ToCp1251(HttpGet(site + "/", t.connect, t.read));
    } catch (const NetCancelled&) {
        return;
    }
    const PageMarkers& m = Markers();
    const std::string section = TextBetween(m.sectionStart, m.sectionEnd, page);

    PlayerState& s = State();
    ResetImportTable();
    importLogoUrls.clear();
    importLogoNames.clear();
    const int leftOut = ParseStationBlocks(section);
    const int count = s.ImportCount - 1;
    if (count == 0)
        throw std::runtime_error("The directory page lists no station; the catalogue is left as it was.");

    CatalogueBuild build;
    std::vector<std::string> urls;
    std::vector<std::string> names;
    const std::string key = KeyMarker();
    for (int n = 1; n <= count; ++n) {
        const PlayerState::ImportRow& row = s.ImportTable[static_cast<std::size_t>(n)];
        // A logo path that would leave the directory site is not fetched: the station goes without.
        const bool logo = IsSafeLogoPath(row.LogoPath);
        if (logo) {
            urls.push_back(site + "/" + row.LogoPath);
            importLogoUrls.append(QString::fromStdString(tembrik::platform::cp1251ToUtf8(urls.back())));
        }
        build.writeStation(n, key + row.StationKey, CleanStationName(row.StationName));
        if (logo) {
            names.push_back(std::to_string(n));
            importLogoNames.append(QString::number(n));
        }
    }
    try {
        DownloadList(urls, names, build.folder());
    } catch (const NetCancelled&) {
        return;
    }
    // A logo that failed leaves its station without a picture, not the import failed.
    build.fillMissingLogos(count);
    build.swapIn();

    for (std::string& extension : s.LogoExtensions)
        extension.clear();
    for (int n = 1; n <= count; ++n)
        tembrik::stations::DetectLogoType(n);
    rebuild.now();
    if (leftOut > 0)
        ShowMessage(
            QString("The directory page lists %1 more stations than the catalogue holds; the first %2 "
                    "were imported and %1 left out.")
                .arg(leftOut)
                .arg(MaxStations),
            this);
}
