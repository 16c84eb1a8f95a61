#ifndef VELMARO_UI_MOMENTPANEL_H
#define VELMARO_UI_MOMENTPANEL_H

#include "store/moment.h"

#include <QVector>
#include <QWidget>

#include <functional>

class QListWidget;
class QPushButton;

// The "Momente" tab: the moments kept for the shown race. "Moment merken"
// keeps the shown one, a click on an entry goes back to it, "Moment teilen"
// copies the link of the chosen entry (else of the shown moment) to the
// clipboard.
class MomentPanel : public QWidget
{
    Q_OBJECT
public:
    explicit MomentPanel(QWidget *parent = nullptr);

    // What "Moment merken" and "Moment teilen" take as the shown moment.
    void setMomentSource(std::function<Moment()> source) { m_source = std::move(source); }
    // The list of this race, from the store.
    void showRace(int eventId, int taskId);

    QListWidget *list() const { return m_list; }
    QPushButton *keepButton() const { return m_keep; }
    QPushButton *shareButton() const { return m_share; }
    QPushButton *removeButton() const { return m_remove; }
    const QVector<Moment> &moments() const { return m_moments; }

    // The shown moment stored and listed; false when there is no race or
    // the store failed (a message says so).
    bool keepMoment();
    // The link now on the clipboard.
    QString shareMoment();
    void removeChosen();

signals:
    void momentChosen(const Moment &moment);
    void message(const QString &text, int timeoutMs);

private:
    void fill();

    std::function<Moment()> m_source;
    int m_eventId = 0;
    int m_taskId = 0;
    QVector<Moment> m_moments;
    QListWidget *m_list;
    QPushButton *m_keep;
    QPushButton *m_share;
    QPushButton *m_remove;
};

#endif
