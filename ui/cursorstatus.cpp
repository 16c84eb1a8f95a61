#include "ui/cursorstatus.h"

#include <QLabel>
#include <QStatusBar>

CursorStatus::CursorStatus(QStatusBar *bar)
    : QObject(bar), m_latLabel(new QLabel(tr("Lat:"))), m_lngLabel(new QLabel(tr("Lng:"))),
      m_zoomLabel(new QLabel(tr("Zoom:")))
{
    m_latLabel->setObjectName(QStringLiteral("lat"));
    m_latLabel->setMinimumSize(m_latLabel->sizeHint());
    m_lngLabel->setObjectName(QStringLiteral("lng"));
    m_lngLabel->setIndent(3);
    m_zoomLabel->setObjectName(QStringLiteral("zoom"));
    m_zoomLabel->setIndent(5);
    bar->addWidget(m_latLabel, 0);
    bar->addWidget(m_lngLabel, 0);
    bar->addWidget(m_zoomLabel, 0);
    bar->setCursor(Qt::ArrowCursor);
}

void CursorStatus::showCursor(int, int, qreal lat, qreal lng, int zoom)
{
    m_latLabel->setText(tr("Lat:%1").arg(lat, 10, 'f', 5));
    m_lngLabel->setText(tr("Lng:%1").arg(lng, 10, 'f', 5));
    showZoom(zoom);
}

void CursorStatus::showZoom(int zoom)
{
    m_zoomLabel->setText(tr("Zoom:%1").arg(zoom));
}
