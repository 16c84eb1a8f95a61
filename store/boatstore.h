#ifndef VELMARO_STORE_BOATSTORE_H
#define VELMARO_STORE_BOATSTORE_H

#include <QString>
#include <QVector>

#include <memory>

class QSqlQuery;

// A row of table ship. show and follow are stored as the words true/false.
struct BoatRow {
    int id = 0;
    int regattaId = 0; // the event number
    QString klasse;
    QString name;
    QString team;
    QString skipper;
    QString startnr;
    QString farbe;
    bool show = true;
    bool follow = false;
    int lastget = 0;
};

// A fix of table track; the table keeps no heading.
struct FixRow {
    double lat = 0.0;
    double lng = 0.0;
    int tstamp = 0;
};

// The boats of table ship on the default connection and their flags.
namespace BoatStore
{

// The boats stored under the event number, ordered by klasse then startnr.
// ok, when given, tells whether the query ran.
QVector<BoatRow> boats(int eventId, bool *ok = nullptr);

// Each false when the statement failed; error, when given, tells why.
bool storeShowFollow(int id, bool show, bool follow, QString *error = nullptr);
bool clearFollow(int regattaId, QString *error = nullptr);
bool storeFollow(int id, bool follow, QString *error = nullptr);
// clearFollow and storeFollow in one transaction, so that a race never ends
// up with two followed boats; nothing changes when either fails.
bool storeOnlyFollowed(int regattaId, int id, bool follow, QString *error = nullptr);

// The time of the newest fix fetched for the boat.
bool storeLastget(int id, int lastget, QString *error = nullptr);

// Adds a boat as it is written when seeding a race (benchmarks and tools).
bool insertBoat(const BoatRow &boat, QString *error = nullptr);

// Deletes the boat's fixes stored under the event number.
bool clearFixes(int shipId, int regattaId, QString *error = nullptr);

// Every fix stored under the event number, by boat id, then time: one plain
// query, the floor the benchmarks hold the track loading against.
QVector<FixRow> raceFixes(int regattaId, bool *ok = nullptr);

} // namespace BoatStore

// Reads the fixes of one boat after another with one statement, prepared at
// the first read and reused; make a new reader after the connection was
// reopened.
class TrackReader
{
public:
    TrackReader();
    ~TrackReader();
    TrackReader(const TrackReader &) = delete;
    TrackReader &operator=(const TrackReader &) = delete;

    // Replaces fixes with the boat's fixes in time order. False when the
    // statement could not be prepared (tried again at the next read) or run.
    bool read(int shipId, int regattaId, QVector<FixRow> *fixes);

    // How often the statement was prepared.
    int prepareCount() const { return m_prepareCount; }

private:
    std::unique_ptr<QSqlQuery> m_query;
    bool m_ready = false;
    int m_prepareCount = 0;
};

// A boat of the service's boat list, as the ingest writes it.
struct BoatRecord {
    int id = 0;
    int regattaId = 0;
    QString name;
    QString team;
    QString skipper;
    QString klasse;
    QString startnr;
    QString farbe;
    int tsmin = 0; // lastget of a new boat
};

// Stores the boats of one boat list reply inside the caller's transaction,
// the statements prepared once.
class BoatListWriter
{
public:
    BoatListWriter();
    ~BoatListWriter();
    BoatListWriter(const BoatListWriter &) = delete;
    BoatListWriter &operator=(const BoatListWriter &) = delete;

    bool prepare();
    // Adds the boat or updates the one stored under the same id and race
    // (which resets its lastget), then deletes its fixes stored under
    // eventId. False when a statement failed; the others of the record still
    // ran, as before.
    bool store(const BoatRecord &boat, int eventId);
    QString error() const { return m_error; }

private:
    struct Statements;
    std::unique_ptr<Statements> m_statements;
    QString m_error;
};

#endif
