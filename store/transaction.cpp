#include "store/transaction.h"

#include <QSqlDatabase>
#include <QSqlError>

Transaction::Transaction()
{
    QSqlDatabase db = QSqlDatabase::database();
    m_open = db.transaction();
    if (!m_open)
        m_error = db.lastError().text();
}

Transaction::~Transaction()
{
    rollback();
}

bool Transaction::commit()
{
    if (!m_open)
        return false;
    QSqlDatabase db = QSqlDatabase::database();
    if (db.commit()) {
        m_open = false;
        return true;
    }
    m_error = db.lastError().text();
    rollback();
    return false;
}

void Transaction::rollback()
{
    if (!m_open)
        return;
    m_open = false;
    QSqlDatabase::database().rollback();
}
