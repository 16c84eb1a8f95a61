#ifndef VELMARO_STORE_TRANSACTION_H
#define VELMARO_STORE_TRANSACTION_H

#include <QString>

// One transaction on the default connection, begun on construction and
// rolled back on destruction unless it was committed.
class Transaction
{
public:
    Transaction();
    ~Transaction();
    Transaction(const Transaction &) = delete;
    Transaction &operator=(const Transaction &) = delete;

    // False when it could not begin; error() tells why.
    bool isOpen() const { return m_open; }
    // False when the commit failed; it is then rolled back.
    bool commit();
    void rollback();
    QString error() const { return m_error; }

private:
    bool m_open = false;
    QString m_error;
};

#endif
