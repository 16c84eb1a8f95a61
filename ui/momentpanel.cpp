#include "ui/momentpanel.h"

#include <QClipboard>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QListWidget>
#include <QPushButton>
#include <QVBoxLayout>

namespace
{

constexpr int messageMs = 8000;

} // namespace

MomentPanel::MomentPanel(QWidget *parent)
    : QWidget(parent), m_list(new QListWidget), m_keep(new QPushButton(tr("Moment merken"))),
      m_share(new QPushButton(tr("Moment teilen"))), m_remove(new QPushButton(tr("Entfernen")))
{
    auto *buttons = new QHBoxLayout;
    buttons->addWidget(m_keep);
    buttons->addWidget(m_share);
    buttons->addWidget(m_remove);
    auto *layout = new QVBoxLayout(this);
    layout->addWidget(m_list);
    layout->addLayout(buttons);
    connect(m_keep, &QPushButton::clicked, this, &MomentPanel::keepMoment);
    connect(m_share, &QPushButton::clicked, this, &MomentPanel::shareMoment);
    connect(m_remove, &QPushButton::clicked, this, &MomentPanel::removeChosen);
    connect(m_list, &QListWidget::itemClicked, this, [this](QListWidgetItem *item) {
        const int row = m_list->row(item);
        if (row >= 0 && row < m_moments.size())
            emit momentChosen(m_moments.at(row));
    });
    connect(m_list, &QListWidget::currentRowChanged, this,
            [this](int row) { m_remove->setEnabled(row >= 0); });
    fill();
}

void MomentPanel::showRace(int eventId, int taskId)
{
    m_eventId = eventId;
    m_taskId = taskId;
    m_moments = MomentStore::moments(eventId, taskId);
    fill();
}

void MomentPanel::fill()
{
    m_list->clear();
    for (const Moment &m : std::as_const(m_moments))
        m_list->addItem(m.name);
    m_keep->setEnabled(m_eventId > 0);
    m_share->setEnabled(m_eventId > 0);
    m_remove->setEnabled(false);
}

bool MomentPanel::keepMoment()
{
    if (!m_source || m_eventId == 0)
        return false;
    Moment m = m_source();
    QString error;
    if (m.eventId != m_eventId || m.taskId != m_taskId || !MomentStore::add(&m, &error)) {
        emit message(tr("Der Moment konnte nicht gespeichert werden: %1").arg(error), messageMs);
        return false;
    }
    m_moments.append(m);
    fill();
    m_list->setCurrentRow(int(m_moments.size()) - 1);
    return true;
}

QString MomentPanel::shareMoment()
{
    const int row = m_list->currentRow();
    Moment m;
    if (row >= 0 && row < m_moments.size())
        m = m_moments.at(row);
    else if (m_source)
        m = m_source();
    if (m.eventId == 0)
        return {};
    const QString link = MomentLink::toLink(m);
    QGuiApplication::clipboard()->setText(link);
    emit message(tr("Link kopiert: %1").arg(link), messageMs);
    return link;
}

void MomentPanel::removeChosen()
{
    const int row = m_list->currentRow();
    if (row < 0 || row >= m_moments.size())
        return;
    QString error;
    if (!MomentStore::remove(m_moments.at(row).id, &error)) {
        emit message(tr("Der Moment konnte nicht entfernt werden: %1").arg(error), messageMs);
        return;
    }
    m_moments.removeAt(row);
    fill();
}
