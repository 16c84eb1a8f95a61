#ifndef VELMARO_STORE_RATINGSTORE_H
#define VELMARO_STORE_RATINGSTORE_H

#include <QHash>
#include <QString>

// A boat's handicap: a time-on-time factor (corrected = elapsed x factor) or
// a time-on-distance allowance (corrected = elapsed - allowance x course
// length in nautical miles).
struct Rating {
    enum class System { None, TimeOnTime, TimeOnDistance };
    System system = System::None;
    double value = 0.0; // the factor, or seconds per nautical mile

    bool isSet() const { return system != System::None; }
    bool operator==(const Rating &o) const { return system == o.system && value == o.value; }
    bool operator!=(const Rating &o) const { return !(*this == o); }

    // "tot" / "tod" as stored in table rating; empty for None.
    static QString systemKey(System system);
    // Accepts the stored keys and the spelled-out names, any case; None when unknown.
    static System systemFromText(const QString &text);
    // A factor must be positive and below 10, an allowance finite and at
    // most an hour per mile.
    static bool isValid(System system, double value);
};

// Table rating on the default connection: one rating per boat of a race
// (ship id and event number).
namespace RatingStore
{

QHash<int, Rating> ratings(int regattaId, bool *ok = nullptr);

// Stores the ratings of the race in one transaction; a rating of system
// None removes the boat's row. Nothing changes when a statement fails.
bool store(int regattaId, const QHash<int, Rating> &ratings, QString *error = nullptr);

} // namespace RatingStore

#endif
