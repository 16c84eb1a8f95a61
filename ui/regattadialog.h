#ifndef VELMARO_UI_REGATTADIALOG_H
#define VELMARO_UI_REGATTADIALOG_H

#include "store/racestore.h"

#include <QDialog>

class QDateTimeEdit;
class QDialogButtonBox;
class QLabel;
class QLineEdit;

// "Regatta hinzufügen": name, event and task number, start and end in local
// time. OK checks the input and stores the race; on bad input it names every
// problem below the fields and stays open with nothing stored.
class RegattaDialog : public QDialog
{
    Q_OBJECT
public:
    explicit RegattaDialog(QWidget *parent = nullptr);

    // Checks and stores; true (and the dialog accepted) when the race is in
    // table regatta.
    bool submit();
    // The race stored by submit(); id 0 before.
    Race addedRace() const { return m_added; }
    // The input as the fields hold it.
    RaceStore::RaceInput input() const;

    QLineEdit *nameEdit() const { return m_name; }
    QLineEdit *eventEdit() const { return m_event; }
    QLineEdit *taskEdit() const { return m_task; }
    QDateTimeEdit *startEdit() const { return m_start; }
    QDateTimeEdit *endEdit() const { return m_end; }
    QLabel *messageLabel() const { return m_message; }
    QDialogButtonBox *buttons() const { return m_buttons; }

public slots:
    void accept() override;

private:
    void showProblems(const QStringList &messages);
    // After a failed OK: every edit checks again, so fixed problems vanish.
    void recheck();

    QLineEdit *m_name;
    QLineEdit *m_event;
    QLineEdit *m_task;
    QDateTimeEdit *m_start;
    QDateTimeEdit *m_end;
    QLabel *m_message;
    QDialogButtonBox *m_buttons;
    Race m_added;
    bool m_checked = false;
};

#endif
