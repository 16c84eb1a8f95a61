#include "testdatabase.h"

#include <QSqlError>
#include <QSqlQuery>
#include <QDebug>

TestDatabase::TestDatabase()
{
    m_path = m_dir.filePath(QStringLiteral("velmaro.db"));
    QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"));
    db.setDatabaseName(m_path);
    db.open();
}

TestDatabase::~TestDatabase()
{
    {
        QSqlDatabase db = QSqlDatabase::database(QLatin1String(QSqlDatabase::defaultConnection), false);
        db.close();
    }
    QSqlDatabase::removeDatabase(QLatin1String(QSqlDatabase::defaultConnection));
}

bool TestDatabase::isOpen() const
{
    return QSqlDatabase::database(QLatin1String(QSqlDatabase::defaultConnection), false).isOpen();
}

bool TestDatabase::exec(const QStringList &statements)
{
    QSqlQuery query;
    for (const QString &sql : statements) {
        if (!query.exec(sql)) {
            qWarning() << "TestDatabase:" << sql << query.lastError().text();
            return false;
        }
    }
    return true;
}

QVariant TestDatabase::scalar(const QString &sql)
{
    QSqlQuery query;
    if (query.exec(sql) && query.next())
        return query.value(0);
    return QVariant();
}

int TestDatabase::count(const QString &table, const QString &where)
{
    QString sql = QStringLiteral("SELECT COUNT(*) FROM ") + table;
    if (!where.isEmpty())
        sql += QStringLiteral(" WHERE ") + where;
    return scalar(sql).toInt();
}
