#include "ui/fixagelabel.h"

#include "platform/seams.h"

#include <QTimer>

FixAgeLabel::FixAgeLabel(QWidget *parent) : QLabel(parent), m_timer(new QTimer(this))
{
    setObjectName(QStringLiteral("fixAge"));
    setVisible(false);
    connect(m_timer, &QTimer::timeout, this, &FixAgeLabel::refresh);
    m_timer->start(refreshMs);
}

QString FixAgeLabel::ageText(qint64 seconds)
{
    seconds = std::max<qint64>(seconds, 0); // a fix stamped ahead of our clock
    if (seconds < 60)
        return tr("vor %1 s").arg(seconds);
    if (seconds < 3600)
        return tr("vor %1 min").arg(seconds / 60);
    if (seconds < 2 * 86400)
        return tr("vor %1 h %2 min").arg(seconds / 3600).arg(seconds % 3600 / 60);
    return tr("vor %1 Tagen").arg(seconds / 86400);
}

void FixAgeLabel::refresh()
{
    const Race race = m_source ? m_source() : Race();
    const qint64 now = Seams::nowSecs();
    const bool live = race.valid && now >= race.start && now < race.end;
    if (live)
        setText(race.newestFix > 0 ? tr("Neueste Position %1").arg(ageText(now - race.newestFix))
                                   : tr("Noch keine Position"));
    setVisible(live);
}
