#ifndef VELMARO_UI_REPLAYCONTROLLER_H
#define VELMARO_UI_REPLAYCONTROLLER_H

#include "ui/replayclock.h"

#include <QIcon>
#include <QKeySequence>
#include <QList>
#include <QObject>

#include <functional>

class QAction;
class QComboBox;
class QLabel;
class QPushButton;
class QSlider;
class QTimer;
class QWidget;

// The replay controls of the bottom bar: the clock, the time slider (Unix
// seconds), the play button, the speed box and the animation timer that moves the
// slider by the replay clock's step. The widgets are created here and laid
// out by the window.
class ReplayController : public QObject
{
    Q_OBJECT
public:
    explicit ReplayController(QWidget *parent);

    QLabel *clockLabel() const { return m_clockLabel; }
    QSlider *slider() const { return m_slider; }
    QPushButton *playButton() const { return m_playButton; }
    QComboBox *speedBox() const { return m_speedBox; }
    // "Tempo:", in front of the speed box.
    QLabel *speedLabel() const { return m_speedLabel; }
    // Play/pause, one step back and forward, to the start and the end; with
    // shortcuts, for the window's menu.
    QList<QAction *> actions() const { return m_actions; }
    QTimer *timer() const { return m_timer; }
    ReplayClock *clock() { return &m_clock; }

    bool isAnimating() const { return m_animating; }
    // Seconds per tick, ReplayClock::live for real time.
    int speed() const { return m_clock.secondsPerTick(); }

    // Range in Unix seconds, page step 120, step 1.
    void setRange(int minimum, int maximum);
    void setValue(int value);
    int value() const;
    int maximum() const;
    // Shows the moment on the clock: 0 stands for the slider's value, a
    // slider at 0 for now. Returns the moment shown.
    int showTime(int tstamp);

public slots:
    // Starts the animation, or stops it (also when the slider is empty).
    void toggle();
    // Stops a running animation; nothing when it is stopped.
    void stop();
    // One animation tick: what the timer runs.
    void advance();
    // Stored in the window settings; the box follows.
    void setSpeed(int secondsPerTick);

signals:
    void animatingChanged(bool animating);
    // The user chose a speed in the box.
    void speedChosen(int secondsPerTick);

private:
    // With seconds when a tick moves less than a minute, else it looks frozen.
    QString clockFormat() const;
    void addAction(const QString &text, const QKeySequence &key, std::function<void()> run);

    QLabel *m_clockLabel;
    QLabel *m_speedLabel;
    QList<QAction *> m_actions;
    QSlider *m_slider;
    QPushButton *m_playButton;
    QComboBox *m_speedBox;
    QTimer *m_timer;
    QIcon m_playIcon;
    QIcon m_pauseIcon;
    ReplayClock m_clock;
    bool m_animating = false;
};

#endif
