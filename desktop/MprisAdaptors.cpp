#include "MprisAdaptors.h"

#include "MprisService.h"

#include <QDBusConnection>
#include <QDBusError>

namespace desktop {

MprisRootAdaptor::MprisRootAdaptor(MprisService* service)
    : QDBusAbstractAdaptor(service), service_(service) {}

QStringList MprisRootAdaptor::SupportedUriSchemes() const {
    return MprisService::SupportedUriSchemes();
}
QStringList MprisRootAdaptor::SupportedMimeTypes() const {
    return MprisService::SupportedMimeTypes();
}
void MprisRootAdaptor::Raise() {
    service_->Raise();
}
void MprisRootAdaptor::Quit() {
    service_->Quit();
}

MprisPlayerAdaptor::MprisPlayerAdaptor(MprisService* service)
    : QDBusAbstractAdaptor(service), service_(service) {}

QString MprisPlayerAdaptor::PlaybackStatus() const {
    return service_->PlaybackStatus();
}
QVariantMap MprisPlayerAdaptor::Metadata() const {
    return service_->Metadata();
}
double MprisPlayerAdaptor::Volume() const {
    return service_->Volume();
}
void MprisPlayerAdaptor::setVolume(double volume) {
    service_->SetVolume(volume);
}
bool MprisPlayerAdaptor::CanGoNext() const {
    return service_->CanGoNext();
}
bool MprisPlayerAdaptor::CanPlay() const {
    return service_->CanPlay();
}
void MprisPlayerAdaptor::Play() {
    service_->Play();
}
void MprisPlayerAdaptor::Pause() {
    service_->Pause();
}
void MprisPlayerAdaptor::PlayPause() {
    service_->PlayPause();
}
void MprisPlayerAdaptor::Stop() {
    service_->Stop();
}
void MprisPlayerAdaptor::Next() {
    service_->Next();
}
void MprisPlayerAdaptor::Previous() {
    service_->Previous();
}
void MprisPlayerAdaptor::Seek(qlonglong) {}
void MprisPlayerAdaptor::SetPosition(const QDBusObjectPath&, qlonglong) {}

void MprisPlayerAdaptor::OpenUri(const QString&, const QDBusMessage& message) {
    // Every stream plays as a station of the catalogue, whose title, star and editor the window
    // shows; an address from outside it has none of them.
    message.setDelayedReply(true);
    service_->bus().send(message.createErrorReply(
        QDBusError::NotSupported,
        QStringLiteral("Tembrik plays the stations of its catalogue; add the address "
                       "as a station to play it")));
}

} // namespace desktop
