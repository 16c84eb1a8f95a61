#include "ui/replaycontroller.h"

#include "platform/config.h"
#include "platform/paths.h"
#include "platform/seams.h"

#include <QComboBox>
#include <QDateTime>
#include <QLabel>
#include <QPixmap>
#include <QPushButton>
#include <QSettings>
#include <QSlider>
#include <QTimer>

#include <memory>

namespace
{
constexpr int animationIntervalMs = 30;
constexpr int sliderPageStep = 120;
const char *const replaySpeedKey = "replaySpeed";
const char *const clockFormat = "dd.MM.yyyy hh:mm";
} // namespace

ReplayController::ReplayController(QWidget *parent)
    : QObject(parent), m_clockLabel(new QLabel(parent)),
      m_slider(new QSlider(Qt::Horizontal, parent)), m_playButton(new QPushButton),
      m_speedBox(new QComboBox), m_timer(new QTimer(this))
{
    m_clockLabel->setObjectName(QStringLiteral("uhrzeit"));
    m_clockLabel->setText(Seams::now().toString(QString::fromLatin1(clockFormat)));
    m_slider->setRange(0, 0); // empty until a race is placed

    const QPixmap playPicture(Paths::asset(QStringLiteral("img/playbutton.png")), "png");
    m_playIcon = QIcon(playPicture);
    m_pauseIcon = QIcon(QPixmap(Paths::asset(QStringLiteral("img/pausebutton.png")), "png"));
    m_playButton->setObjectName(QStringLiteral("play"));
    m_playButton->setIconSize(playPicture.size());
    m_playButton->setIcon(m_playIcon);
    m_playButton->setToolTip(QStringLiteral("Animation starten"));

    m_speedBox->setObjectName(QStringLiteral("replaySpeed"));
    m_speedBox->setToolTip(QStringLiteral("Rennzeit je Animationsschritt"));
    for (int speed : ReplayClock::choices())
        m_speedBox->addItem(ReplayClock::label(speed), speed);
    {
        std::unique_ptr<QSettings> settings(Config::windowSettings());
        const int stored =
            ReplayClock::fromKey(settings->value(QString::fromLatin1(replaySpeedKey)).toString());
        m_clock.setSecondsPerTick(stored);
        m_speedBox->setCurrentIndex(m_speedBox->findData(stored));
    }
    connect(m_speedBox, &QComboBox::activated, this,
            [this](int index) { emit speedChosen(m_speedBox->itemData(index).toInt()); });
    connect(m_timer, &QTimer::timeout, this, &ReplayController::advance);
}

void ReplayController::setRange(int minimum, int maximum)
{
    m_slider->setRange(minimum, maximum);
    m_slider->setPageStep(sliderPageStep);
    m_slider->setSingleStep(1);
}

void ReplayController::setValue(int value)
{
    m_slider->setValue(value);
}

int ReplayController::value() const
{
    return m_slider->value();
}

int ReplayController::maximum() const
{
    return m_slider->maximum();
}

int ReplayController::showTime(int tstamp)
{
    if (tstamp == 0)
        tstamp = m_slider->value();
    const QDateTime shown = tstamp == 0 ? Seams::now() : QDateTime::fromSecsSinceEpoch(tstamp);
    m_clockLabel->setText(shown.toString(QString::fromLatin1(clockFormat)));
    return tstamp;
}

void ReplayController::toggle()
{
    if (m_animating || m_slider->maximum() == 0) {
        stop();
        return;
    }
    // At the end, play starts the race again.
    if (m_slider->value() >= m_slider->maximum())
        m_slider->setValue(m_slider->minimum());
    m_animating = true;
    m_clock.restart();
    m_timer->start(animationIntervalMs);
    m_playButton->setIcon(m_pauseIcon);
    m_playButton->setToolTip(QStringLiteral("Animation beenden"));
    emit animatingChanged(true);
}

void ReplayController::stop()
{
    if (!m_animating)
        return;
    m_timer->stop();
    m_playButton->setIcon(m_playIcon);
    m_playButton->setToolTip(QStringLiteral("Animation starten"));
    m_animating = false;
    emit animatingChanged(false);
}

void ReplayController::advance()
{
    const int value = m_slider->value();
    const int step = m_clock.nextStep();
    // Live replay: a tick shorter than a second moves nothing yet.
    if (step <= 0 && value < m_slider->maximum())
        return;
    if (qint64(value) + step >= m_slider->maximum()) {
        stop();
        m_slider->setValue(m_slider->maximum());
    } else {
        m_slider->setValue(value + step);
    }
}

void ReplayController::setSpeed(int secondsPerTick)
{
    m_clock.setSecondsPerTick(secondsPerTick);
    const int speed = m_clock.secondsPerTick();
    const int index = m_speedBox->findData(speed);
    if (index != m_speedBox->currentIndex())
        m_speedBox->setCurrentIndex(index);
    std::unique_ptr<QSettings> settings(Config::windowSettings());
    settings->setValue(QString::fromLatin1(replaySpeedKey), ReplayClock::key(speed));
}
