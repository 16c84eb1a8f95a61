#ifndef VELMARO_TRACKING_INGEST_H
#define VELMARO_TRACKING_INGEST_H

#include "tracking/trackingtypes.h"

#include <QByteArray>
#include <QString>
#include <QStringView>
#include <QVector>

#include <cstdio>

// Storing the CSV replies of the tracking service in the default SQLite
// connection. Each reply is one transaction; nothing here touches the scene.
namespace Tracking {

// The sixteenth boat of a list gets the first colour again.
inline constexpr int ColourCount = 15;
QString boatColour(int colourIndex);

// UTF-8 when the body is valid UTF-8, else Latin-1 (older servers).
QString decodeReplyBody(const QByteArray &body);

// Calls f(QStringView line) for every line of text; "\n" and "\r\n" end a
// line, and a final line break does not start another line.
template<typename F>
void forEachLine(QStringView text, F &&f)
{
    qsizetype begin = 0;
    const qsizetype size = text.size();
    while (begin < size) {
        qsizetype end = text.indexOf(QLatin1Char('\n'), begin);
        const qsizetype next = end < 0 ? size : end + 1;
        if (end < 0)
            end = size;
        qsizetype stop = end;
        if (stop > begin && text[stop - 1] == QLatin1Char('\r'))
            --stop;
        f(text.mid(begin, stop - begin));
        begin = next;
    }
}

struct BoatListResult {
    bool committed = false;
    int records = 0;       // lines with exactly 10 fields
    int failedRecords = 0; // records whose insert, update or clear failed
    QString error;         // why nothing was committed
};

// Boat list reply for the event number the request was sent with. A record
// whose statements fail is skipped (its boat id may belong to another race);
// the others are kept.
BoatListResult ingestBoatList(const QByteArray &body, int eventId);

// The boat a positions reply was asked for, as it was when the reply arrived.
struct PositionsTarget {
    int index = 0; // place in the ship list, for the diagnostic line
    int boatId = 0;
    int regattaId = 0;
    bool hasFixes = false;
    int newestFix = 0;
};

struct PositionsResult {
    bool committed = false;
    QVector<Fix> fixes; // the stored fixes in reply order; empty unless committed
    bool lastgetChanged = false;
    int lastget = 0;        // new lastget when lastgetChanged
    int malformedLines = 0;
    int skippedLines = 0;   // adjacent repeats and fixes not newer than those held
    QString error;          // why the reply was rolled back
};

// Positions reply for one boat. A line without exactly five ";" fields writes
// " shipidx (httpFinished) = <index>, ungleich 5...\n" to diagnostics (none
// when null). A fix repeating the previous line's time stamp, or not later
// than the newest fix held, is skipped. Any failing statement rolls the whole
// reply back, so nothing is stored and lastget stays.
PositionsResult ingestPositions(const QByteArray &body, const PositionsTarget &target,
                                std::FILE *diagnostics = stdout);

// Column autoload of table prefs equals 1.
bool storedAutoloadPreference();

} // namespace Tracking

#endif
