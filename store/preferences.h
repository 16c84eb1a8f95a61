#ifndef VELMARO_STORE_PREFERENCES_H
#define VELMARO_STORE_PREFERENCES_H

#include <optional>

// The switches of the window's option row, one column each in row 1 of table
// prefs. Whether a race shows complete tracks is kept with the race
// (RaceStore::setShowCompleteTracks), not here.
enum class Pref { LoadMaps, Autoload, LookForUpdate };

struct Preferences {
    // Only the stored value 1 counts as on. A column that could not be read
    // keeps the default below and its has() is false.
    bool loadMaps = false;
    bool autoload = false;
    bool lookForUpdate = true;
    int pollInterval = 5; // minutes; a stored value below 1 gives 5

    bool has(Pref pref) const { return m_read & bit(pref); }

    static Preferences load();
    // The stored value of one column; nothing when the query fails or has no row.
    static std::optional<bool> read(Pref pref);
    // False when the statement failed.
    static bool set(Pref pref, bool on);

private:
    static unsigned bit(Pref pref) { return 1u << unsigned(pref); }
    unsigned m_read = 0;
};

#endif
