#include "downloads.h"

#include "platform/platform.h"

#include <QCryptographicHash>
#include <QRegularExpression>

namespace DemoDownloads
{
namespace
{

const QRegularExpression &installerPattern()
{
    static const QRegularExpression re(
        QStringLiteral("^/downloads/setup/velmaro-setup-([0-9A-Za-z._-]+)\\.sh$"));
    return re;
}

const QRegularExpression &notesPattern()
{
    static const QRegularExpression re(
        QStringLiteral("^/downloads/setup/releasenotes-([0-9A-Za-z._-]+)\\.html$"));
    return re;
}

QString otherPlatform()
{
    return Platform::feedPlatformId() == QLatin1String("Q_OS_WIN32") ? QStringLiteral("Q_OS_LINUX")
                                                                     : QStringLiteral("Q_OS_WIN32");
}

QString item(const QString &baseUrl, const QString &version, const QString &platform,
             const QString &pubDate, const QString &markup)
{
    const QByteArray installer = installerScript(version);
    const QByteArray hash = QCryptographicHash::hash(installer, QCryptographicHash::Sha256).toHex();
    return QStringLiteral("    <item>\n"
                          "      <title>Velmaro %1%9</title>\n"
                          "      <link>%2/downloads/</link>\n"
                          "      <update:releaseNotesLink>%2%3</update:releaseNotesLink>\n"
                          "      <pubDate>%4</pubDate>\n"
                          "      <enclosure url=\"%2%5\" length=\"%6\" sha256=\"%7\"\n"
                          "                 type=\"application/octet-stream\"\n"
                          "                 velmaro:platform=\"%8\" velmaro:version=\"%1\"\n"
                          "                 update:version=\"%1\" velmaro:minPrevVersion=\"2.0\"\n"
                          "                 velmaro:programType=\"FULL\"/>\n"
                          "    </item>\n")
        .arg(version, baseUrl, releaseNotesPath(version), pubDate, installerPath(version))
        .arg(installer.size())
        .arg(QString::fromLatin1(hash), platform,
             markup.isEmpty() ? QString() : QLatin1Char(' ') + markup.toHtmlEscaped());
}

} // namespace

bool isSafeVersion(const QString &version)
{
    static const QRegularExpression re(QStringLiteral("^[0-9A-Za-z._-]{1,32}$"));
    return re.match(version).hasMatch();
}

QString installerPath(const QString &version)
{
    return QStringLiteral("/downloads/setup/velmaro-setup-%1.sh").arg(version);
}

QString releaseNotesPath(const QString &version)
{
    return QStringLiteral("/downloads/setup/releasenotes-%1.html").arg(version);
}

QString versionOfInstallerPath(const QString &path)
{
    return installerPattern().match(path).captured(1);
}

QString versionOfReleaseNotesPath(const QString &path)
{
    return notesPattern().match(path).captured(1);
}

QByteArray installerScript(const QString &version)
{
    // Stands in for a real installer: it only leaves a marker behind, so a
    // test can tell that the downloaded file was started.
    return QByteArrayLiteral("#!/bin/sh\n"
                             "# Velmaro demo installer ") +
           version.toLatin1() +
           QByteArrayLiteral(": installs nothing, leaves a marker.\n"
                             "marker=\"${VELMARO_INSTALLER_MARKER:-${TMPDIR:-/tmp}/"
                             "velmaro-installer-ran}\"\n"
                             "echo \"velmaro installer ") +
           version.toLatin1() +
           QByteArrayLiteral("\" > \"$marker\"\n"
                             "exit 0\n");
}

QByteArray releaseNotes(const QString &version, const QString &markup)
{
    // Entities instead of umlauts: the updater reads these pages as Latin-1.
    return QStringLiteral("<html><head><title>Velmaro %1</title></head><body>\n"
                          "<h2>Velmaro %1</h2>\n%2"
                          "<ul>\n"
                          "<li>Regatten vom Server holen und Live-Regatten verfolgen</li>\n"
                          "<li>Schnellere Darstellung gro&szlig;er Flotten</li>\n"
                          "<li>Fehlerbehebungen beim Herunterladen der Karten</li>\n"
                          "</ul>\n"
                          "<p>Viel Spa&szlig; auf dem Wasser w&uuml;nscht das Velmaro-Team.</p>\n"
                          "</body></html>\n")
        .arg(version, markup.isEmpty() ? QString() : QStringLiteral("<p>%1</p>\n").arg(markup))
        .toLatin1();
}

QByteArray downloadPage(const QString &baseUrl)
{
    return QStringLiteral(
               "<!DOCTYPE html>\n<html><head><meta charset=\"utf-8\"><title>Velmaro Downloads"
               "</title></head><body>\n"
               "<h1>Velmaro herunterladen</h1>\n"
               "<p>Aktuelle Version: %2</p>\n"
               "<ul>\n"
               "<li><a href=\"%1%3\">Installationsprogramm %2</a></li>\n"
               "<li><a href=\"%1%4\">Versionshinweise</a></li>\n"
               "<li><a href=\"%1/downloads/setup/velmaro.xml\">Update-Feed</a></li>\n"
               "</ul>\n</body></html>\n")
        .arg(baseUrl, QString::fromLatin1(currentVersion),
             installerPath(QString::fromLatin1(currentVersion)),
             releaseNotesPath(QString::fromLatin1(currentVersion)))
        .toUtf8();
}

QByteArray feed(const QString &baseUrl, const QString &offeredVersion, const QString &markup)
{
    QString items;
    const QString running = Platform::feedPlatformId();
    if (!offeredVersion.isEmpty())
        items += item(baseUrl, offeredVersion, running,
                      QStringLiteral("Mon, 01 Jun 2026 10:00:00 +0000"), markup);
    items += item(baseUrl, QString::fromLatin1(currentVersion), running,
                  QStringLiteral("Fri, 15 Apr 2011 08:00:00 +0000"), markup);
    // Newer, but for the other platform: a client must pass it over.
    items += item(baseUrl, QStringLiteral("2.9.1"), otherPlatform(),
                  QStringLiteral("Sat, 02 May 2026 09:30:00 +0000"), markup);
    return QStringLiteral(
               "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
               "<rss version=\"2.0\" xmlns:velmaro=\"https://velmaro.org/xmlns/velmaro\"\n"
               "     xmlns:update=\"https://velmaro.org/xmlns/update\">\n"
               "  <channel>\n"
               "    <title>Velmaro Updates</title>\n"
               "    <link>%1/downloads/</link>\n"
               "    <description>Neue Versionen von Velmaro</description>\n"
               "    <language>de</language>\n"
               "%2"
               "  </channel>\n"
               "</rss>\n")
        .arg(baseUrl, items)
        .toUtf8();
}

QByteArray brokenFeed(const QString &baseUrl, const QString &offeredVersion)
{
    QByteArray doc = feed(baseUrl, offeredVersion);
    const int at = doc.indexOf("<item>");
    // A mismatched end tag is a real syntax error, not a premature end.
    doc.insert(at < 0 ? 0 : at, "<item><title>kaputt</titel></channel>\n");
    return doc;
}

} // namespace DemoDownloads
