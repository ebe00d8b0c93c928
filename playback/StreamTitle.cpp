#include "StreamTitle.h"

#include "AudioApi.h"
#include "StatusChannel.h"

#include "app/PlayerState.h"
#include "tembrik/platform/Cp1251.h"

#include <QStringDecoder>

namespace playback {

std::optional<std::string> CutStreamTitle(std::string_view tag) {
    const std::size_t p = tag.find("StreamTitle=");
    if (p == std::string_view::npos)
        return std::nullopt;
    const std::size_t semicolon = tag.find(';');
    if (semicolon == std::string_view::npos || semicolon < p + 14)
        return std::string();
    const std::size_t start = p + 13;
    return std::string(tag.substr(start, semicolon - 1 - start));
}

QString TitleText(const std::string& bytes) {
    QStringDecoder utf8(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    const QString text = utf8(QByteArrayView(bytes.data(), static_cast<qsizetype>(bytes.size())));
    if (!utf8.hasError())
        return text;
    return QString::fromStdString(tembrik::platform::cp1251ToUtf8(bytes));
}

void ReadStreamTitle() {
    const auto tag = Audio().ChannelGetMetaTag(State().StreamHandle.load());
    if (!tag)
        return;
    if (const auto title = CutStreamTitle(*tag))
        MainStatusChannel().send({StatusTitle, 0, TitleText(*title)});
}

} // namespace playback
