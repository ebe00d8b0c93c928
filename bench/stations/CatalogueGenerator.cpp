#include "CatalogueGenerator.h"

#include <QBuffer>
#include <QColor>
#include <QImage>
#include <QLinearGradient>
#include <QPainter>
#include <QRadialGradient>

#include <fstream>
#include <random>
#include <string>
#include <vector>

namespace fs = std::filesystem;

namespace {

void Write(const fs::path& file, const std::string& bytes) {
    std::ofstream(file, std::ios::binary) << bytes;
}

std::string Encoded(const QImage& image, const char* format, int quality = -1) {
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, format, quality);
    return bytes.toStdString();
}

// Something with the detail of a photograph: soft gradients, shapes, and sensor-like noise, so the
// JPEG coder has as much to do as with a real picture.
QImage Photo(std::mt19937& rng, QSize size) {
    QImage image(size, QImage::Format_RGB32);
    std::uniform_int_distribution<int> hue(0, 359), byte(0, 255);
    QPainter p(&image);
    QLinearGradient sky(0, 0, 0, size.height());
    sky.setColorAt(0, QColor::fromHsv(hue(rng), 120, 230));
    sky.setColorAt(1, QColor::fromHsv(hue(rng), 180, 90));
    p.fillRect(image.rect(), sky);
    p.setRenderHint(QPainter::Antialiasing);
    for (int i = 0; i < 25; ++i) {
        const QPointF centre(byte(rng) * size.width() / 255.0, byte(rng) * size.height() / 255.0);
        QRadialGradient g(centre, 20 + byte(rng) / 2);
        g.setColorAt(0, QColor::fromHsv(hue(rng), 200, 250, 220));
        g.setColorAt(1, QColor::fromHsv(hue(rng), 200, 60, 0));
        p.setBrush(g);
        p.setPen(Qt::NoPen);
        p.drawEllipse(centre, 30 + byte(rng) / 3, 20 + byte(rng) / 4);
    }
    p.end();
    std::normal_distribution<float> noise(0, 9);
    for (int y = 0; y < size.height(); ++y) {
        auto* line = reinterpret_cast<QRgb*>(image.scanLine(y));
        for (int x = 0; x < size.width(); ++x) {
            const auto n = static_cast<int>(noise(rng));
            line[x] = qRgb(std::clamp(qRed(line[x]) + n, 0, 255), std::clamp(qGreen(line[x]) + n, 0, 255),
                           std::clamp(qBlue(line[x]) + n, 0, 255));
        }
    }
    return image;
}

// A flat badge with a few colours and text, as station logos drawn for the web are.
QImage Badge(std::mt19937& rng, QSize size, bool transparent) {
    QImage image(size, QImage::Format_ARGB32);
    image.fill(transparent ? Qt::transparent : QColor(Qt::white));
    std::uniform_int_distribution<int> hue(0, 359);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    p.setBrush(QColor::fromHsv(hue(rng), 200, 200));
    p.setPen(QPen(QColor::fromHsv(hue(rng), 255, 90), 4));
    p.drawRoundedRect(QRectF(image.rect()).adjusted(6, 6, -6, -6), 18, 18);
    QFont f;
    f.setPixelSize(size.height() / 4);
    f.setBold(true);
    p.setFont(f);
    p.setPen(Qt::white);
    p.drawText(image.rect(), Qt::AlignCenter, "FM 101.5");
    return image;
}

void Le16(std::string& out, int v) {
    out.push_back(static_cast<char>(v & 0xFF));
    out.push_back(static_cast<char>((v >> 8) & 0xFF));
}

// An 8-bit GIF of the picture on a 6 × 6 × 6 colour cube. The LZW stream restarts its table every
// 250 codes, so the code width stays at nine bits: larger than a tuned coder's, decoded the same way.
std::string Gif(const QImage& image) {
    const int w = image.width(), h = image.height();
    std::string out = "GIF89a";
    Le16(out, w);
    Le16(out, h);
    out += std::string("\xF7\x00\x00", 3);
    for (int i = 0; i < 256; ++i) {
        const int c = std::min(i, 215);
        out.push_back(static_cast<char>(c / 36 * 51));
        out.push_back(static_cast<char>(c / 6 % 6 * 51));
        out.push_back(static_cast<char>(c % 6 * 51));
    }
    out.push_back('\x2C');
    Le16(out, 0);
    Le16(out, 0);
    Le16(out, w);
    Le16(out, h);
    out.push_back('\0');
    out.push_back('\x08');
    std::string data;
    unsigned buffer = 0;
    int bits = 0;
    auto putCode = [&](int code) {
        buffer |= static_cast<unsigned>(code) << bits;
        bits += 9;
        while (bits >= 8) {
            data.push_back(static_cast<char>(buffer & 0xFF));
            buffer >>= 8;
            bits -= 8;
        }
    };
    int run = 0;
    for (int y = 0; y < h; ++y) {
        for (int x = 0; x < w; ++x) {
            if (run % 250 == 0)
                putCode(256);
            const QRgb px = image.pixel(x, y);
            putCode((qRed(px) + 25) / 51 * 36 + (qGreen(px) + 25) / 51 * 6 + (qBlue(px) + 25) / 51);
            ++run;
        }
    }
    putCode(257);
    if (bits > 0)
        data.push_back(static_cast<char>(buffer & 0xFF));
    for (std::size_t at = 0; at < data.size(); at += 255) {
        const std::string part = data.substr(at, 255);
        out.push_back(static_cast<char>(part.size()));
        out += part;
    }
    out.push_back('\0');
    out.push_back('\x3B');
    return out;
}

} // namespace

CatalogueCounts GenerateCatalogue(const fs::path& programDir, const fs::path& shippedData,
                                  const CatalogueMix& mix) {
    fs::remove_all(programDir);
    fs::create_directories(programDir / "Stations");
    for (const auto& entry : fs::directory_iterator(shippedData)) {
        if (entry.path().filename() != "Stations")
            fs::copy(entry.path(), programDir / entry.path().filename(), fs::copy_options::recursive);
    }

    std::mt19937 rng(mix.seed);
    std::uniform_int_distribution<int> percent(0, 99), photoSide(300, 600), badgeSide(120, 400);
    CatalogueCounts counts;
    const fs::path stations = programDir / "Stations";
    for (int n = 1; n <= mix.stations; ++n) {
        const std::string number = std::to_string(n);
        Write(stations / ("play" + number + ".txt"),
              "http://127.0.0.1:9/playlist/radio.m3u?station=" + number + "\r\nStation " + number + "\r\n");
        const int kind = percent(rng);
        std::string name, bytes;
        if (kind < 55) {
            name = number + ".jpg";
            bytes = Encoded(Photo(rng, {photoSide(rng), photoSide(rng)}), "JPEG", 85);
            ++counts.jpeg;
        } else if (kind < 80) {
            const int side = badgeSide(rng);
            name = number + ".png";
            bytes = Encoded(Badge(rng, {side, side * 3 / 4}, kind % 2 == 0), "PNG");
            ++counts.png;
        } else if (kind < 92) {
            const int side = badgeSide(rng) * 3 / 4;
            name = number + ".gif";
            bytes = Gif(Badge(rng, {side, side * 3 / 4}, false));
            ++counts.gif;
        } else if (kind < 96) {
            name = number + ".jpg"; // a download cut short
            bytes = Encoded(Photo(rng, {400, 300}), "JPEG", 85);
            bytes.resize(bytes.size() / 3);
            ++counts.broken;
        } else if (kind < 98) {
            name = number + ".txt"; // an empty download
            ++counts.missing;
        } else {
            name = number; // a web page instead of a picture
            bytes = "<html><body>Not found</body></html>";
            ++counts.missing;
        }
        counts.logoBytes += static_cast<long long>(bytes.size());
        Write(stations / name, bytes);
    }
    std::string favs;
    for (int i = 0; i < mix.favourites; ++i)
        favs += std::to_string(1 + (i * 97) % mix.stations) + "\r\n";
    Write(programDir / "favs.txt", favs);
    return counts;
}
