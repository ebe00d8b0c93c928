#include "stations/Logo.h"

#include "stations/StationStore.h"

#include "app/PlayerState.h"

#include <QImageReader>
#include <QPainter>
#include <QString>

#include <algorithm>
#include <atomic>
#include <thread>

namespace tembrik::stations {

bool IsPictureExtension(const std::string& extension) {
    return extension == ".jpg" || extension == ".gif" || extension == ".png";
}

QImage DecodeLogoFile(const std::string& path, QSize size) {
    QImageReader reader(QString::fromStdString(path));
    reader.setAutoTransform(false);
    reader.setDecideFormatFromContent(true);
    // Decoding straight to the cell size keeps a thousand logos small; JPEG scales while decoding.
    reader.setScaledSize(size);
    QImage image = reader.read();
    if (image.isNull())
        return {};
    if (image.size() != size)
        image = image.scaled(size, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
    if (!image.hasAlphaChannel())
        return image.convertToFormat(QImage::Format_RGB32);
    QImage opaque(size, QImage::Format_RGB32);
    opaque.fill(Qt::white);
    QPainter p(&opaque);
    p.drawImage(0, 0, image);
    p.end();
    return opaque;
}

QImage LoadLogo(int station, QSize size) {
    if (!IsStationNumber(station))
        return {};
    const std::string& extension = State().LogoExtensions[static_cast<std::size_t>(station)];
    if (!IsPictureExtension(extension))
        return {};
    const auto path = StationsDir() / (std::to_string(station) + extension);
    return DecodeLogoFile(path.string(), size);
}

std::vector<QImage> LoadLogos(const std::vector<int>& stations, QSize size) {
    std::vector<QImage> pictures(stations.size());
    // Decoding dominates a rebuild, so the GUI thread hands it to a few workers and waits for them:
    // the rebuild stays synchronous. The workers only read LogoExtensions, which nobody writes
    // until they are joined, and each writes its own slots of `pictures`.
    std::atomic<std::size_t> next{0};
    auto work = [&] {
        for (std::size_t i = next++; i < stations.size(); i = next++)
            pictures[i] = LoadLogo(stations[i], size);
    };
    const unsigned cores = std::max(1u, std::thread::hardware_concurrency());
    const std::size_t helpers = std::min<std::size_t>(std::min(cores, 8u) - 1, stations.size() / 16);
    std::vector<std::thread> threads;
    threads.reserve(helpers);
    for (std::size_t t = 0; t < helpers; ++t)
        threads.emplace_back(work);
    work();
    for (auto& t : threads)
        t.join();
    return pictures;
}

} // namespace tembrik::stations
