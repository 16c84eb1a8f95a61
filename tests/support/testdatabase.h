#ifndef VELMARO_TESTS_SUPPORT_TESTDATABASE_H
#define VELMARO_TESTS_SUPPORT_TESTDATABASE_H

#include <QSqlDatabase>
#include <QString>
#include <QTemporaryDir>

// Opens a fresh SQLite file in a temporary folder as the default connection,
// and removes the connection again when it goes out of scope.
class TestDatabase
{
public:
    TestDatabase();
    ~TestDatabase();
    TestDatabase(const TestDatabase &) = delete;
    TestDatabase &operator=(const TestDatabase &) = delete;

    bool isOpen() const;
    QString path() const { return m_path; }
    QString folder() const { return m_dir.path(); }

    // Runs statements one by one; false at the first failure.
    bool exec(const QStringList &statements);
    // First column of the first row of a query, or an invalid QVariant.
    QVariant scalar(const QString &sql);
    int count(const QString &table, const QString &where = QString());

private:
    QTemporaryDir m_dir;
    QString m_path;
};

#endif
