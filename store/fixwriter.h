#ifndef VELMARO_STORE_FIXWRITER_H
#define VELMARO_STORE_FIXWRITER_H

#include <QString>

#include <memory>

// Inserts the fixes of one boat into table track inside the caller's
// transaction, the statement prepared once. Through the driver's own sqlite3
// handle where that is the library we link (the Qt statement layer costs
// several times the insert itself), else through QSqlQuery.
class FixWriter
{
public:
    FixWriter(int shipId, int regattaId);
    ~FixWriter();
    FixWriter(const FixWriter &) = delete;
    FixWriter &operator=(const FixWriter &) = delete;

    bool prepare();
    bool insert(double lat, double lng, int tstamp);
    QString error() const { return m_error; }

private:
    struct Native;
    std::unique_ptr<Native> m_native;
    int m_shipId;
    int m_regattaId;
    QString m_error;
};

#endif
