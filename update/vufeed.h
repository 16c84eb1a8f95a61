#ifndef VELMARO_UPDATE_VUFEED_H
#define VELMARO_UPDATE_VUFEED_H

#include <QByteArray>
#include <QList>
#include <QString>
#include <QUrl>

// One <item> of the update feed. The enclosure fields come from the item's
// enclosure for the running platform and stay empty when it has none.
struct VuFeedItem {
    QString title;
    QString link;
    QString releaseNotesLink;
    QString pubDate;
    QString platform;
    QString url;
    QString version; // update:version when given, else velmaro:version
    QString minPrevVersion;
    QString programType;
    QString type;
    QString sha256;    // hex, as written
    qint64 length = 0; // 0 when missing or not a number
};

// The items read, in feed order. A broken document keeps the items completed
// before the fault; a document that merely ends early is no error.
struct VuFeedParse {
    QList<VuFeedItem> items;
    QString error; // empty when the document read cleanly
    qint64 errorLine = 0;
};

namespace VuFeed
{
VuFeedParse parse(const QByteArray &xml);
// Whether the item may be offered to this installation: a FULL program for
// this platform, or one whose minimum previous version is met.
bool isSuitable(const VuFeedItem &item);
// Why the installer may not come from installerUrl when the feed came from
// feedUrl, in German; empty when it may. An https feed never leads to plain
// http, and a plain download needs the feed's sha256 to be checked against.
QString installerRefusal(const QUrl &feedUrl, const QUrl &installerUrl, bool hasSha256);
} // namespace VuFeed

#endif
