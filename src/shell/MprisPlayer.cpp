#include "shell/MprisPlayer.h"

#include "shell/MprisService.h"

MprisPlayer::MprisPlayer(MprisService *service)
    : QDBusAbstractAdaptor(service), service_(service) {}

QString MprisPlayer::PlaybackStatus() const {
    return service_->PlaybackStatus();
}

QVariantMap MprisPlayer::Metadata() const {
    return service_->Metadata();
}

double MprisPlayer::Volume() const {
    return service_->Volume();
}

void MprisPlayer::SetVolume(double volume) {
    service_->SetVolume(volume);
}

bool MprisPlayer::CanPlay() const {
    return service_->CanPlay();
}

bool MprisPlayer::CanPause() const {
    return service_->CanPause();
}

bool MprisPlayer::CanGoNext() const {
    return service_->CanGoNext();
}

void MprisPlayer::Next() {
    service_->Next();
}

void MprisPlayer::Previous() {
    service_->Previous();
}

void MprisPlayer::Play() {
    service_->Play();
}

void MprisPlayer::Pause() {
    service_->Pause();
}

void MprisPlayer::PlayPause() {
    service_->PlayPause();
}

void MprisPlayer::Stop() {
    service_->Stop();
}
