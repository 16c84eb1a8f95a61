#include "ui/regattadialog.h"

#include "platform/seams.h"

#include <QDateTimeEdit>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

namespace
{

QDateTimeEdit *makeTimeEdit(const QDateTime &value, QWidget *parent)
{
    auto *edit = new QDateTimeEdit(parent);
    edit->setTimeSpec(Qt::LocalTime);
    edit->setDisplayFormat(QStringLiteral("dd.MM.yyyy HH:mm"));
    edit->setCalendarPopup(true);
    // The int time stamps of the store end in January 2038.
    edit->setDateTimeRange(QDateTime::fromSecsSinceEpoch(1),
                           QDateTime::fromSecsSinceEpoch(maxRaceTime));
    edit->setDateTime(value);
    return edit;
}

} // namespace

RegattaDialog::RegattaDialog(QWidget *parent) : QDialog(parent)
{
    setWindowTitle(tr("Regatta hinzufügen"));

    // A race being added is usually about to start: today, for one day.
    const qint64 now = Seams::nowSecs();
    const QDateTime start = QDateTime::fromSecsSinceEpoch(now - now % 60);

    m_name = new QLineEdit(this);
    m_event = new QLineEdit(this);
    m_event->setPlaceholderText(tr("z. B. 30"));
    m_task = new QLineEdit(this);
    m_task->setPlaceholderText(tr("z. B. 300"));
    m_start = makeTimeEdit(start, this);
    m_end = makeTimeEdit(start.addDays(1), this);

    m_message = new QLabel(this);
    m_message->setWordWrap(true);
    m_message->setTextFormat(Qt::PlainText);
    m_message->setStyleSheet(QStringLiteral("color: #b00000;"));
    m_message->hide();

    m_buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    m_buttons->button(QDialogButtonBox::Cancel)->setText(tr("Abbrechen"));
    connect(m_buttons, &QDialogButtonBox::accepted, this, &RegattaDialog::accept);
    connect(m_buttons, &QDialogButtonBox::rejected, this, &RegattaDialog::reject);

    auto *form = new QFormLayout;
    form->addRow(tr("Name:"), m_name);
    form->addRow(tr("Eventnummer:"), m_event);
    form->addRow(tr("Tasknummer:"), m_task);
    form->addRow(tr("Start:"), m_start);
    form->addRow(tr("Ende:"), m_end);

    auto *layout = new QVBoxLayout(this);
    layout->addLayout(form);
    layout->addWidget(m_message);
    layout->addWidget(m_buttons);
}

RaceStore::RaceInput RegattaDialog::input() const
{
    RaceStore::RaceInput in;
    in.name = m_name->text();
    in.eventText = m_event->text();
    in.taskText = m_task->text();
    in.start = m_start->dateTime().toSecsSinceEpoch();
    in.end = m_end->dateTime().toSecsSinceEpoch();
    return in;
}

void RegattaDialog::showProblems(const QStringList &messages)
{
    m_message->setText(messages.join(QLatin1Char('\n')));
    m_message->setVisible(!messages.isEmpty());
}

bool RegattaDialog::submit()
{
    const RaceStore::Validation v = RaceStore::validate(input(), RaceStore::knownPairs());
    if (!v.ok()) {
        showProblems(v.messages);
        return false;
    }
    const RaceStore::InsertResult result = RaceStore::insert(v.race);
    switch (result.status) {
    case RaceStore::InsertResult::Inserted:
        m_added = result.stored;
        showProblems({});
        QDialog::accept();
        return true;
    case RaceStore::InsertResult::Duplicate:
        showProblems({RaceStore::duplicateMessage(v.race.eventId, v.race.taskId)});
        return false;
    case RaceStore::InsertResult::Invalid:
    case RaceStore::InsertResult::Failed:
        break;
    }
    showProblems({tr("Die Regatta konnte nicht gespeichert werden: %1").arg(result.error)});
    return false;
}

void RegattaDialog::accept()
{
    submit();
}
