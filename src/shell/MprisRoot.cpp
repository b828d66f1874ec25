#include "shell/MprisRoot.h"

#include "shell/MprisService.h"

MprisRoot::MprisRoot(MprisService *service) : QDBusAbstractAdaptor(service), service_(service) {}

void MprisRoot::Raise() {
    service_->Raise();
}

void MprisRoot::Quit() {
    service_->Quit();
}
