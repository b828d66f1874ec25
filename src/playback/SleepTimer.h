#pragma once
// SleepTimer: stops the radio after a number of minutes, for a listener
// who falls asleep to it. In the last FadeMs before the end the output
// volume falls to silence, then the station stops and the volume is set
// back to the listener's level, so the next play is at the usual level. The
// fade runs in small timer steps on the UI thread's event loop, never
// holding it. Not kept across runs. UI thread.
#include <QBasicTimer>
#include <QDeadlineTimer>
#include <QObject>
#include <functional>

class SleepTimer : public QObject {
    Q_OBJECT
public:
    static constexpr int FadeMs = 10000;
    static constexpr int MinuteMs = 60000;
    // How often the volume steps down while fading.
    static constexpr int FadeStepMs = 50;

    // What the timer does to the player.
    struct Actions {
        std::function<void(double)> setVolumeFactor; // 1: the listener's level; 0: silence
        std::function<void()> stop;                  // stops the station
        std::function<void()> changed;               // MinutesLeft() or Running() changed
    };

    explicit SleepTimer(Actions actions, QObject *parent = nullptr);

    // Runs the timer for `minutes` from now; 0 switches it off. Switching
    // off (or starting anew) during the fade sets the volume back at once.
    void Start(int minutes);
    bool Running() const { return running_; }
    // The minutes still to run, rounded up; 0 when off.
    int MinutesLeft() const;
    // The minutes the timer was started with; 0 when off.
    int Minutes() const { return running_ ? minutes_ : 0; }
    bool Fading() const { return fading_; }

    // Tests: how long a minute and the fade last.
    void SetTimeScaleForTesting(int minuteMs, int fadeMs) {
        minuteMs_ = minuteMs;
        fadeMs_ = fadeMs;
    }

protected:
    void timerEvent(QTimerEvent *event) override;

private:
    // Looks at the time left: fades, ends, or waits for the next change.
    void Step();
    void Finish();

    Actions actions_;
    bool running_ = false;
    bool fading_ = false;
    int minutes_ = 0;
    int shownMinutes_ = 0; // what `changed` told last
    QDeadlineTimer end_;
    QBasicTimer tick_;
    int minuteMs_ = MinuteMs;
    int fadeMs_ = FadeMs;
};
