#include "ui/transferlamp.h"

#include "platform/paths.h"

#include <QPixmap>
#include <QPushButton>

namespace
{
QIcon iconFromAsset(const char *file)
{
    return QIcon(QPixmap(Paths::asset(QString::fromLatin1(file)), "png"));
}
} // namespace

TransferLamp::TransferLamp(const QSize &iconSize, QObject *parent)
    : QObject(parent), m_button(new QPushButton), m_idle(iconFromAsset("img/idleicon.png")),
      m_idleAuto(iconFromAsset("img/idleicon_auto.png")), m_load(iconFromAsset("img/loadicon.png")),
      m_loadAuto(iconFromAsset("img/loadicon_auto.png"))
{
    m_button->setObjectName(QStringLiteral("fetch"));
    m_button->setIconSize(iconSize);
    show();
}

void TransferLamp::start()
{
    ++m_pending;
    show();
    if (m_pending == 1)
        emit busyChanged(true);
}

void TransferLamp::finish()
{
    if (m_pending == 0)
        return;
    --m_pending;
    if (m_pending > 0)
        return;
    show();
    emit busyChanged(false);
}

void TransferLamp::setAutomatic(bool on)
{
    m_automatic = on;
    show();
}

void TransferLamp::show()
{
    if (isBusy()) {
        m_button->setIcon(m_automatic ? m_loadAuto : m_load);
        m_button->setToolTip(tr("Übertragung stoppen"));
    } else {
        m_button->setIcon(m_automatic ? m_idleAuto : m_idle);
        m_button->setToolTip(tr("neueste Positionsdaten holen"));
    }
}
