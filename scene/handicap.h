#ifndef VELMARO_SCENE_HANDICAP_H
#define VELMARO_SCENE_HANDICAP_H

#include "store/ratingstore.h"

#include <QByteArray>
#include <QHash>
#include <QList>
#include <QString>
#include <QStringList>

// Corrected times and the rating file. Pure functions.
namespace Handicap
{

// The corrected time (seconds) of an elapsed time over a course of courseNm
// nautical miles; NaN without a rating or elapsed time.
double corrected(const Rating &rating, double elapsedSecs, double courseNm);

// A boat a rating file may name.
struct NamedBoat {
    int id = 0;
    QString startnr;
    QString name;
};

struct RatingFile {
    QHash<int, Rating> ratings; // from the good lines, by boat id
    QStringList errors;         // one text per bad line, naming it
};

// "boat;system;value" a line: the boat by sail number (else by name, both
// without regard to case), the system "ToT" or "ToD" (or spelled out), the
// value with a decimal point or comma. Blank lines, lines starting with '#'
// and a first line that is a header are skipped. A bad line (unknown or
// ambiguous boat, unknown system, a value out of range) is named in errors
// and gives nothing; the other lines still count.
RatingFile parseRatings(const QByteArray &data, const QList<NamedBoat> &boats);

// "Time-on-Time" / "Time-on-Distance"; empty for none.
QString systemText(Rating::System system);
// "ToT 1.0250" / "ToD 600.0 s/sm" as the list shows it.
QString ratingText(const Rating &rating);

} // namespace Handicap

#endif
