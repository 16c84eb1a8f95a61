#ifndef VELMARO_TESTS_REPLAY_GPXCHECK_H
#define VELMARO_TESTS_REPLAY_GPXCHECK_H

#include <QDir>
#include <QProcess>
#include <QStandardPaths>
#include <QString>

namespace GpxCheck
{

inline QString schemaPath()
{
    return QDir(qEnvironmentVariable("VELMARO_SOURCE_DIR"))
        .filePath(QStringLiteral("tests/data/gpx/gpx.xsd"));
}

inline bool haveXmllint()
{
    return !QStandardPaths::findExecutable(QStringLiteral("xmllint")).isEmpty();
}

// xmllint's verdict on the file against the GPX 1.1 schema; empty when it validates.
inline QString validate(const QString &file)
{
    QProcess lint;
    lint.setProcessChannelMode(QProcess::MergedChannels);
    lint.start(QStringLiteral("xmllint"),
               {QStringLiteral("--noout"), QStringLiteral("--schema"), schemaPath(), file});
    if (!lint.waitForFinished(30000))
        return QStringLiteral("xmllint did not finish");
    const QString out = QString::fromUtf8(lint.readAll());
    return lint.exitCode() == 0 ? QString() : out;
}

} // namespace GpxCheck

#endif
