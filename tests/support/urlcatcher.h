#ifndef VELMARO_TESTS_SUPPORT_URLCATCHER_H
#define VELMARO_TESTS_SUPPORT_URLCATCHER_H

#include <QList>
#include <QObject>
#include <QUrl>

// Receives the links the program opens instead of a browser; a test lists
// this header in its SOURCES so that moc sees it.
class UrlCatcher : public QObject
{
    Q_OBJECT
public:
    QList<QUrl> urls;
public slots:
    void open(const QUrl &url) { urls.append(url); }
};

#endif
