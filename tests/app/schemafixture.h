#ifndef VELMARO_TESTS_APP_SCHEMAFIXTURE_H
#define VELMARO_TESTS_APP_SCHEMAFIXTURE_H

#include <QString>
#include <QStringList>

// Database files as older program versions left them, written through a
// connection of their own, and plain-text views of a file for comparisons.
namespace SchemaFixture {

// Statements that build a file of the given schema version (1 to 7), with a
// boat and two fixes. "noVersionRow" and "noVersionTable" give a version-1
// file with an empty or missing version table; any other number above 7 gives
// a version-7 file that claims that number.
QStringList statements(const QString &kind);

// Runs the statements on a new file at path. False on the first failure.
bool write(const QString &path, const QStringList &statements);

// "name type pk" per column of a table, in declaration order. SQLite reports
// a declared "int" as "INT"; other type names as declared.
QStringList columns(const QString &path, const QString &table);
// Table names, sorted.
QStringList tables(const QString &path);
// Every table's columns and rows, as text; equal dumps mean equal contents.
QStringList dump(const QString &path);
// First column of the first row, or an invalid QVariant.
QVariant scalar(const QString &path, const QString &sql);
bool hasIndex(const QString &path, const QString &name);

// Columns of the newest schema as a new file declares them, as columns() reports them.
QStringList expectedColumns(const QString &table);

} // namespace SchemaFixture

#endif
