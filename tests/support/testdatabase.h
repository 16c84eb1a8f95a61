#ifndef VELMARO_TESTS_SUPPORT_TESTDATABASE_H
#define VELMARO_TESTS_SUPPORT_TESTDATABASE_H

#include <QDebug>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QTemporaryDir>

// A fresh SQLite file in a temporary folder as the default connection, which
// is removed again when it goes out of scope.
class TestDatabase
{
public:
    TestDatabase()
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"));
        db.setDatabaseName(m_dir.filePath(QStringLiteral("velmaro.db")));
        db.open();
    }
    ~TestDatabase()
    {
        QSqlDatabase::database(QLatin1String(QSqlDatabase::defaultConnection), false).close();
        QSqlDatabase::removeDatabase(QLatin1String(QSqlDatabase::defaultConnection));
    }
    TestDatabase(const TestDatabase &) = delete;
    TestDatabase &operator=(const TestDatabase &) = delete;

    bool isOpen() const
    {
        return QSqlDatabase::database(QLatin1String(QSqlDatabase::defaultConnection), false)
            .isOpen();
    }
    // Runs statements one by one; false at the first failure.
    bool exec(const QStringList &statements)
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
    // First column of the first row, or an invalid QVariant.
    QVariant scalar(const QString &sql)
    {
        QSqlQuery query;
        return query.exec(sql) && query.next() ? query.value(0) : QVariant();
    }
    int count(const QString &table, const QString &where = QString())
    {
        return scalar(QStringLiteral("SELECT COUNT(*) FROM ") + table +
                      (where.isEmpty() ? QString() : QStringLiteral(" WHERE ") + where))
            .toInt();
    }

private:
    QTemporaryDir m_dir;
};

#endif
