#ifndef VELMARO_UI_FIXAGELABEL_H
#define VELMARO_UI_FIXAGELABEL_H

#include <QLabel>

#include <functional>

class QTimer;

// The status bar's note of how old the newest fix of a live race is,
// checked against the program's clock every few seconds. Hidden while the
// race shown is not under way.
class FixAgeLabel : public QLabel
{
    Q_OBJECT
public:
    static constexpr int refreshMs = 5000;

    struct Race {
        bool valid = false;
        qint64 start = 0;
        qint64 end = 0;
        int newestFix = 0; // Unix seconds; 0 while none is held
    };
    using Source = std::function<Race()>;

    explicit FixAgeLabel(QWidget *parent = nullptr);
    void setSource(Source source) { m_source = std::move(source); }

    // "vor 12 s", "vor 4 min", "vor 2 h 5 min", "vor 3 Tagen".
    static QString ageText(qint64 seconds);

public slots:
    void refresh();

private:
    Source m_source;
    QTimer *m_timer;
};

#endif
