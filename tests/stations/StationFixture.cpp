#include "StationFixture.h"

#include "app/PlayerState.h"
#include "tembrik/platform/ProgramDir.h"

#include <QBuffer>
#include <QByteArray>

#include <algorithm>
#include <fstream>
#include <sstream>
#include <unistd.h>
#include <vector>

namespace fs = std::filesystem;

void StationFixture::SetUp() {
    const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
    std::string name = std::string(info->test_suite_name()) + "-" + info->name();
    std::replace(name.begin(), name.end(), '/', '-');
    dir_ = fs::temp_directory_path() / ("tembrik-stations-" + std::to_string(::getpid()) + "-" + name);
    fs::remove_all(dir_);
    fs::create_directories(dir_ / "Stations");
    tembrik::platform::setProgramDirForTesting(dir_);
    ResetPlayerState();
}

void StationFixture::TearDown() {
    tembrik::platform::setProgramDirForTesting({});
    std::error_code ec;
    fs::permissions(dir_, fs::perms::owner_all, fs::perm_options::add, ec);
    fs::remove_all(dir_, ec);
}

void StationFixture::put(const fs::path& file, const std::string& bytes) const {
    std::ofstream(file, std::ios::binary) << bytes;
}

std::string StationFixture::bytesOf(const fs::path& file) const {
    std::ifstream in(file, std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

std::vector<std::string> StationFixture::entries(const fs::path& dir) const {
    std::vector<std::string> names;
    for (const auto& e : fs::directory_iterator(dir))
        names.push_back(e.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

void StationFixture::putStation(int n, const std::string& bytes) const {
    put(stations() / ("play" + std::to_string(n) + ".txt"), bytes);
}

void StationFixture::putLogo(const std::string& name, const char* format, QColor colour, QSize size) const {
    QImage image(size, QImage::Format_RGB32);
    image.fill(colour);
    ASSERT_TRUE(image.save(QString::fromStdString((stations() / name).string()), format));
}

namespace {

// LZW data for 2-bit colour indices, with a clear code before every pair so the code width stays
// at three bits: simple to write, and every decoder must read it.
std::string LzwIndices(const std::vector<int>& indices) {
    std::vector<int> codes;
    for (std::size_t i = 0; i < indices.size(); ++i) {
        if (i % 2 == 0)
            codes.push_back(4);
        codes.push_back(indices[i]);
    }
    codes.push_back(5);
    std::string bytes;
    unsigned buffer = 0;
    int bits = 0;
    for (int code : codes) {
        buffer |= static_cast<unsigned>(code) << bits;
        bits += 3;
        while (bits >= 8) {
            bytes.push_back(static_cast<char>(buffer & 0xFF));
            buffer >>= 8;
            bits -= 8;
        }
    }
    if (bits > 0)
        bytes.push_back(static_cast<char>(buffer & 0xFF));
    std::string blocks(1, '\x02');
    for (std::size_t at = 0; at < bytes.size(); at += 255) {
        const std::string part = bytes.substr(at, 255);
        blocks.push_back(static_cast<char>(part.size()));
        blocks += part;
    }
    blocks.push_back('\0');
    return blocks;
}

void Le16(std::string& out, int v) {
    out.push_back(static_cast<char>(v & 0xFF));
    out.push_back(static_cast<char>((v >> 8) & 0xFF));
}

std::string Frame(QSize frame, int index) {
    std::string out;
    // Graphic control extension: transparent colour index 3, so the canvas outside shows through.
    out += std::string("\x21\xF9\x04\x01\x00\x00\x03\x00", 8);
    out.push_back('\x2C');
    Le16(out, 0);
    Le16(out, 0);
    Le16(out, frame.width());
    Le16(out, frame.height());
    out.push_back('\0');
    out += LzwIndices(std::vector<int>(static_cast<std::size_t>(frame.width() * frame.height()), index));
    return out;
}

} // namespace

std::string TwoFrameGif(QSize canvas, QSize frame, QColor first, QColor second) {
    std::string out = "GIF89a";
    Le16(out, canvas.width());
    Le16(out, canvas.height());
    out += std::string("\x81\x00\x00", 3); // global table of 4 colours, background index 0
    for (const QColor& c : {QColor(Qt::black), first, second, QColor(Qt::black)}) {
        out.push_back(static_cast<char>(c.red()));
        out.push_back(static_cast<char>(c.green()));
        out.push_back(static_cast<char>(c.blue()));
    }
    out += Frame(frame, 1);
    out += Frame(frame, 2);
    out.push_back('\x3B');
    return out;
}
