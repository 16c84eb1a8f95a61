#include "ui/replaycontroller.h"

#include "platform/config.h"
#include "platform/paths.h"
#include "platform/seams.h"

#include <QAction>
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
const char *const minuteFormat = "dd.MM.yyyy hh:mm";
const char *const secondFormat = "dd.MM.yyyy hh:mm:ss";
} // namespace

ReplayController::ReplayController(QWidget *parent)
    : QObject(parent), m_clockLabel(new QLabel(parent)),
      m_speedLabel(new QLabel(tr("Tempo:"), parent)), m_slider(new QSlider(Qt::Horizontal, parent)),
      m_playButton(new QPushButton), m_speedBox(new QComboBox), m_timer(new QTimer(this))
{
    m_clockLabel->setObjectName(QStringLiteral("uhrzeit"));
    m_slider->setRange(0, 0); // empty until a race is placed
    // The bottom bar sets the window's smallest width (the style sheet keeps
    // the time whole).
    m_slider->setMinimumWidth(120);

    const QPixmap playPicture(Paths::asset(QStringLiteral("img/playbutton.png")), "png");
    m_playIcon = QIcon(playPicture);
    m_pauseIcon = QIcon(QPixmap(Paths::asset(QStringLiteral("img/pausebutton.png")), "png"));
    m_playButton->setObjectName(QStringLiteral("play"));
    m_playButton->setIconSize(playPicture.size());
    m_playButton->setIcon(m_playIcon);
    m_playButton->setToolTip(tr("Animation starten"));

    m_speedBox->setObjectName(QStringLiteral("replaySpeed"));
    m_speedBox->setToolTip(tr("Rennzeit je Animationsschritt"));
    for (int speed : ReplayClock::choices())
        m_speedBox->addItem(ReplayClock::label(speed), speed);
    {
        std::unique_ptr<QSettings> settings(Config::windowSettings());
        const int stored =
            ReplayClock::fromKey(settings->value(QString::fromLatin1(replaySpeedKey)).toString());
        m_clock.setSecondsPerTick(stored);
        m_speedBox->setCurrentIndex(m_speedBox->findData(stored));
    }
    m_clockLabel->setText(Seams::now().toString(clockFormat()));
    m_speedLabel->setBuddy(m_speedBox);
    connect(m_speedBox, &QComboBox::activated, this,
            [this](int index) { emit speedChosen(m_speedBox->itemData(index).toInt()); });
    connect(m_timer, &QTimer::timeout, this, &ReplayController::advance);

    // Plain Left/Right pan the map and Space toggles the side panel.
    addAction(tr("Abspielen/Anhalten"), QKeySequence(Qt::CTRL | Qt::Key_P), [this] { toggle(); });
    const auto slide = [this](QAbstractSlider::SliderAction action) {
        return [this, action] { m_slider->triggerAction(action); };
    };
    addAction(tr("Schritt zurück"), QKeySequence(Qt::CTRL | Qt::Key_Left),
              slide(QAbstractSlider::SliderSingleStepSub));
    addAction(tr("Schritt vor"), QKeySequence(Qt::CTRL | Qt::Key_Right),
              slide(QAbstractSlider::SliderSingleStepAdd));
    addAction(tr("Zum Anfang"), QKeySequence(Qt::Key_Home),
              slide(QAbstractSlider::SliderToMinimum));
    addAction(tr("Zum Ende"), QKeySequence(Qt::Key_End), slide(QAbstractSlider::SliderToMaximum));
}

void ReplayController::addAction(const QString &text, const QKeySequence &key,
                                 std::function<void()> run)
{
    auto *action = new QAction(text, this);
    action->setShortcut(key);
    connect(action, &QAction::triggered, this, std::move(run));
    m_actions.append(action);
}

QString ReplayController::clockFormat() const
{
    const bool fast = m_clock.secondsPerTick() >= 60;
    return QString::fromLatin1(fast ? minuteFormat : secondFormat);
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
    m_clockLabel->setText(shown.toString(clockFormat()));
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
    m_playButton->setToolTip(tr("Animation beenden"));
    emit animatingChanged(true);
}

void ReplayController::stop()
{
    if (!m_animating)
        return;
    m_timer->stop();
    m_playButton->setIcon(m_playIcon);
    m_playButton->setToolTip(tr("Animation starten"));
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
    showTime(0);
}
