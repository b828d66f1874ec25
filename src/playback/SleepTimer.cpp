#include "playback/SleepTimer.h"

#include <QTimerEvent>
#include <algorithm>

SleepTimer::SleepTimer(Actions actions, QObject *parent)
    : QObject(parent), actions_(std::move(actions)) {}

void SleepTimer::Start(int minutes) {
    const bool wasFading = fading_;
    tick_.stop();
    fading_ = false;
    running_ = minutes > 0;
    minutes_ = std::max(0, minutes);
    if (wasFading)
        actions_.setVolumeFactor(1.0);
    if (running_)
        end_.setRemainingTime(qint64(minutes_) * minuteMs_);
    shownMinutes_ = MinutesLeft();
    if (running_)
        Step();
    actions_.changed();
}

int SleepTimer::MinutesLeft() const {
    if (!running_)
        return 0;
    const qint64 left = std::max<qint64>(0, end_.remainingTime());
    return int((left + minuteMs_ - 1) / minuteMs_);
}

void SleepTimer::timerEvent(QTimerEvent *event) {
    if (event->timerId() != tick_.timerId()) {
        QObject::timerEvent(event);
        return;
    }
    Step();
}

void SleepTimer::Step() {
    const qint64 left = std::max<qint64>(0, end_.remainingTime());
    if (left == 0) {
        Finish();
        return;
    }
    if (left <= fadeMs_) {
        fading_ = true;
        // Even steps in loudness rather than in amplitude: a straight fall
        // of the amplitude sounds as if it stopped early.
        const double f = double(left) / fadeMs_;
        actions_.setVolumeFactor(f * f);
        tick_.start(int(std::min<qint64>(FadeStepMs, left)), Qt::PreciseTimer, this);
    } else {
        // Wake for the next whole minute shown, or the start of the fade.
        const qint64 toMinute = (left - 1) % minuteMs_ + 1;
        tick_.start(int(std::min(toMinute, left - fadeMs_)), Qt::PreciseTimer, this);
    }
    if (MinutesLeft() != shownMinutes_) {
        shownMinutes_ = MinutesLeft();
        actions_.changed();
    }
}

void SleepTimer::Finish() {
    tick_.stop();
    running_ = false;
    fading_ = false;
    actions_.setVolumeFactor(0.0);
    actions_.stop();
    actions_.setVolumeFactor(1.0);
    shownMinutes_ = 0;
    actions_.changed();
}
