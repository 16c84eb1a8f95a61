#include "tracking/ingest.h"

#include "store/boatstore.h"
#include "store/database.h"
#include "store/fixwriter.h"
#include "store/preferences.h"
#include "store/transaction.h"

#include <QByteArrayView>

#include <algorithm>
#include <charconv>
#include <cmath>
#include <limits>

namespace Tracking
{

namespace
{

const char *const colours[ColourCount] = {
    "#ff008a", "#00ffcc", "#9000ff", "#ffffff", "#00ff00", "#ffff00", "#0000ff", "#ff0000",
    "#e19a00", "#7fe100", "#000000", "#4c4c4c", "#cccccc", "#ff7800", "#b10034",
};

void writeDiagnostic(std::FILE *out, int index)
{
    if (!out)
        return;
    char line[64];
    const int n =
        std::snprintf(line, sizeof line, " shipidx (httpFinished) = %d, ungleich 5...\n", index);
    if (n > 0)
        std::fwrite(line, 1, size_t(n), out);
}

} // namespace

QString boatColour(int colourIndex)
{
    const int i = ((colourIndex % ColourCount) + ColourCount) % ColourCount;
    return QString::fromLatin1(colours[i]);
}

QString decodeReplyBody(const QByteArray &body)
{
    QByteArrayView view(body);
    if (view.isValidUtf8()) {
        if (view.startsWith("\xEF\xBB\xBF"))
            view = view.sliced(3);
        return QString::fromUtf8(view);
    }
    return QString::fromLatin1(body);
}

BoatListResult ingestBoatList(const QByteArray &body, int eventId)
{
    BoatListResult result;
    const QString text = decodeReplyBody(body);
    Transaction transaction;
    if (!transaction.isOpen()) {
        result.error = transaction.error();
        return result;
    }
    BoatListWriter writer;
    if (!writer.prepare()) {
        result.error = writer.error();
        return result;
    }

    int colourIndex = 0;
    bool fileRefuses = false;
    forEachLine(QStringView(text), [&](QStringView line) {
        QStringView f[10];
        if (!splitExactly(line, '|', f))
            return true;
        // An id beyond 32 bits would read as 0 and overwrite another boat.
        bool idOk = false;
        const int id = f[1].toInt(&idOk);
        if (!idOk || id <= 0)
            return true;
        ++result.records;
        BoatRecord boat;
        boat.id = id;
        boat.regattaId = f[9].toInt();
        boat.name = f[4].toString();
        boat.team = f[5].toString();
        boat.skipper = f[6].toString();
        boat.klasse = f[0].toString();
        boat.startnr = f[3].toString();
        boat.farbe = boatColour(colourIndex);
        boat.tsmin = f[8].toInt();
        colourIndex = (colourIndex + 1) % ColourCount;
        if (writer.store(boat, eventId))
            return true;
        ++result.failedRecords;
        // Each further record would wait for the lock again.
        const Database::WriteFailure failure = Database::failureOf(writer.error());
        fileRefuses = failure == Database::WriteFailure::Locked ||
                      failure == Database::WriteFailure::DiskFull;
        return !fileRefuses;
    });

    if (fileRefuses || (result.records > 0 && result.failedRecords == result.records)) {
        result.error = writer.error();
        transaction.rollback();
        return result;
    }
    if (!transaction.commit()) {
        result.error = transaction.error();
        return result;
    }
    result.committed = true;
    return result;
}

namespace
{

// Numbers of a positions line, read as QString::toInt/toDouble would read
// them. Plain decimal fields, which is all the service sends, take a fast
// path; anything else goes through QString so the results stay identical.
class FieldReader
{
public:
    explicit FieldReader(bool utf8) : m_utf8(utf8) {}

    int toInt(QByteArrayView field) const
    {
        const char *p = field.data();
        const char *end = p + field.size();
        bool negative = false;
        if (p < end && *p == '-') {
            negative = true;
            ++p;
        }
        if (p < end && end - p <= 18) {
            qint64 value = 0;
            const char *q = p;
            for (; q < end && *q >= '0' && *q <= '9'; ++q)
                value = value * 10 + (*q - '0');
            if (q == end) {
                if (negative)
                    value = -value;
                if (value < std::numeric_limits<int>::min() ||
                    value > std::numeric_limits<int>::max())
                    return 0; // as QString::toInt on overflow
                return int(value);
            }
        }
        return decoded(field).toInt();
    }

    double toDouble(QByteArrayView field) const
    {
        const char *p = field.data();
        const char *end = p + field.size();
        const char *q = p < end && *p == '-' ? p + 1 : p;
        const char *digits = q;
        while (q < end && *q >= '0' && *q <= '9')
            ++q;
        bool plain = q > digits;
        if (plain && q < end && *q == '.') {
            const char *fraction = ++q;
            while (q < end && *q >= '0' && *q <= '9')
                ++q;
            plain = q > fraction;
        }
        if (plain && q == end) {
            double value = 0;
            const auto r = std::from_chars(p, end, value);
            if (r.ec == std::errc() && r.ptr == end)
                return value;
        }
        return decoded(field).toDouble();
    }

private:
    QString decoded(QByteArrayView field) const
    {
        return m_utf8 ? QString::fromUtf8(field) : QString::fromLatin1(field);
    }
    bool m_utf8;
};

} // namespace

PositionsResult ingestPositions(const QByteArray &body, const PositionsTarget &target,
                                std::FILE *diagnostics)
{
    PositionsResult result;
    QByteArrayView text(body);
    const bool utf8 = text.isValidUtf8();
    if (utf8 && text.startsWith("\xEF\xBB\xBF"))
        text = text.sliced(3);
    const FieldReader reader(utf8);

    Transaction transaction;
    if (!transaction.isOpen()) {
        result.error = transaction.error();
        return result;
    }
    int previous = 0;
    int newest = 0; // lastget: the largest time, also when the reply is out of order
    bool failed = false;
    {
        FixWriter writer(target.boatId, target.regattaId);
        if (!writer.prepare()) {
            result.error = writer.error();
            return result;
        }
        result.fixes.reserve(qsizetype(text.count('\n')) + 1);

        const auto malformed = [&] {
            ++result.malformedLines;
            writeDiagnostic(diagnostics, target.index);
            return true;
        };
        forEachLine(text, [&](QByteArrayView line) {
            QByteArrayView f[5];
            if (!splitExactly(line, ';', f))
                return malformed();
            const double lat = reader.toDouble(f[0]);
            const double lng = reader.toDouble(f[1]);
            // A fix off the globe would stretch the map's tile range without
            // end once the map centres on it.
            if (!std::isfinite(lat) || !std::isfinite(lng) || std::abs(lat) > 90.0 ||
                std::abs(lng) > 180.0)
                return malformed();
            const int t = reader.toInt(f[2]);
            // One fix years ahead would become lastget and freeze the boat.
            if (target.latestAllowed > 0 && t > target.latestAllowed)
                return malformed();
            // The service repeats the fix at the since time; the track in
            // memory must stay time-ordered and free of doubles.
            if (t == previous || (target.hasFixes && t <= target.newestFix)) {
                ++result.skippedLines;
                return true;
            }
            Fix fix;
            fix.lat = lat;
            fix.lng = lng;
            fix.tstamp = t;
            fix.heading = reader.toDouble(f[3]);
            fix.extra = reader.toDouble(f[4]);
            if (!writer.insert(fix.lat, fix.lng, fix.tstamp)) {
                result.error = writer.error();
                failed = true;
                return false;
            }
            result.fixes.append(fix);
            previous = t;
            newest = std::max(newest, t);
            return true;
        });
    }
    if (diagnostics)
        std::fflush(diagnostics);

    if (!failed && newest > 0)
        failed = !BoatStore::storeLastget(target.boatId, newest, &result.error);
    if (!failed && !transaction.commit()) {
        result.error = transaction.error();
        failed = true;
    }
    if (failed) {
        transaction.rollback();
        result.fixes.clear();
        return result;
    }
    result.committed = true;
    if (newest > 0) {
        result.lastgetChanged = true;
        result.lastget = newest;
    }
    return result;
}

bool storedAutoloadPreference()
{
    return Preferences::read(Pref::Autoload).value_or(false);
}

} // namespace Tracking
