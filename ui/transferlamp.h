#ifndef VELMARO_UI_TRANSFERLAMP_H
#define VELMARO_UI_TRANSFERLAMP_H

#include <QIcon>
#include <QObject>

class QPushButton;

// The fetch button as a lamp for the open transfers (tiles, boat lists,
// positions): lit while any is open, with the "auto" badge while positions
// are fetched automatically.
class TransferLamp : public QObject
{
    Q_OBJECT
public:
    // Makes the button ("fetch"); the window lays it out.
    TransferLamp(const QSize &iconSize, QObject *parent);

    QPushButton *button() const { return m_button; }

    int pending() const { return m_pending; }
    bool isBusy() const { return m_pending > 0; }
    bool isAutomatic() const { return m_automatic; }

public slots:
    // Once before each request, once per finished reply; a finish with
    // nothing open is ignored.
    void start();
    void finish();
    void setAutomatic(bool on);

signals:
    void busyChanged(bool busy);

private:
    void show();

    QPushButton *m_button;
    QIcon m_idle;
    QIcon m_idleAuto;
    QIcon m_load;
    QIcon m_loadAuto;
    int m_pending = 0;
    bool m_automatic = false;
};

#endif
