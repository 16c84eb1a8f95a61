#ifndef VELMARO_TRACKING_INGEST_H
#define VELMARO_TRACKING_INGEST_H

#include "tracking/trackingtypes.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QString>
#include <QStringView>
#include <QVector>

#include <cstdio>
#include <type_traits>

// Reading the CSV replies of the tracking service and storing them through
// the store. Each reply is one transaction; nothing here touches the scene.
namespace Tracking
{

// The sixteenth boat of a list gets the first colour again.
inline constexpr int ColourCount = 15;
QString boatColour(int colourIndex);

// UTF-8 when the body is valid UTF-8, else Latin-1 (older servers).
QString decodeReplyBody(const QByteArray &body);

namespace Detail
{
inline QLatin1Char character(QStringView, char c)
{
    return QLatin1Char(c);
}
inline char character(QByteArrayView, char c)
{
    return c;
}

template <typename View, typename F> void forEachLineIn(View text, F &f)
{
    const auto lineFeed = character(text, '\n');
    const auto carriageReturn = character(text, '\r');
    qsizetype begin = 0;
    const qsizetype size = text.size();
    while (begin < size) {
        qsizetype end = text.indexOf(lineFeed, begin);
        const qsizetype next = end < 0 ? size : end + 1;
        if (end < 0)
            end = size;
        qsizetype stop = end;
        if (stop > begin && text[stop - 1] == carriageReturn)
            --stop;
        const View line = text.sliced(begin, stop - begin);
        begin = next;
        if constexpr (std::is_same_v<std::invoke_result_t<F &, View>, bool>) {
            if (!f(line))
                return;
        } else {
            f(line);
        }
    }
}
} // namespace Detail

// Calls f(line) for every line of text; "\n" and "\r\n" end a line, and a
// final line break does not start another line. When f returns a bool,
// false stops the walk.
template <typename F> void forEachLine(QStringView text, F &&f)
{
    Detail::forEachLineIn(text, f);
}
template <typename F> void forEachLine(QByteArrayView text, F &&f)
{
    Detail::forEachLineIn(text, f);
}

// Splits a line at sep into exactly Count fields; false when it has another
// number of fields.
template <typename View, int Count> bool splitExactly(View line, char sep, View (&fields)[Count])
{
    const auto separator = Detail::character(line, sep);
    qsizetype begin = 0;
    for (int i = 0; i < Count - 1; ++i) {
        const qsizetype at = line.indexOf(separator, begin);
        if (at < 0)
            return false;
        fields[i] = line.sliced(begin, at - begin);
        begin = at + 1;
    }
    const View last = line.sliced(begin);
    if (last.indexOf(separator) >= 0)
        return false;
    fields[Count - 1] = last;
    return true;
}

struct BoatListResult {
    bool committed = false;
    int records = 0;       // lines with exactly 10 fields and a positive 32-bit boat id
    int failedRecords = 0; // records whose insert, update or clear failed
    QString error;         // why nothing was committed
};

// Boat list reply for the event number the request was sent with. A record
// whose statements fail is skipped (its boat id may belong to another race);
// the others are kept. When every record failed, or the file cannot take a
// write at all (locked, full), nothing is committed.
BoatListResult ingestBoatList(const QByteArray &body, int eventId);

// The boat a positions reply was asked for, as it was when the reply arrived.
struct PositionsTarget {
    int index = 0; // place in the ship list, for the diagnostic line
    int boatId = 0;
    int regattaId = 0;
    bool hasFixes = false;
    int newestFix = 0;
    qint64 latestAllowed = 0; // fixes after this time are refused; 0: no limit
};

struct PositionsResult {
    bool committed = false;
    QVector<Fix> fixes; // the stored fixes in reply order; empty unless committed
    bool lastgetChanged = false;
    int lastget = 0; // new lastget when lastgetChanged
    int malformedLines = 0;
    int skippedLines = 0; // adjacent repeats and fixes not newer than those held
    QString error;        // why the reply was rolled back
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
