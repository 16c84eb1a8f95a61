#ifndef VELMARO_UPDATE_VUAVAILABLEUPDATE_H
#define VELMARO_UPDATE_VUAVAILABLEUPDATE_H

#include <QByteArray>
#include <QObject>
#include <QString>
#include <QUrl>

// One update offered by the feed: the chosen item and its enclosure.
class VuAvailableUpdate : public QObject
{
    Q_OBJECT
public:
    explicit VuAvailableUpdate(QObject *parent = nullptr);

    QString title() const { return m_title; }
    void setTitle(const QString &title) { m_title = title; }

    QUrl releaseNotesLink() const { return m_releaseNotesLink; }
    void setReleaseNotesLink(const QString &link) { m_releaseNotesLink = QUrl(link); }

    QString releaseNotes() const { return m_releaseNotes; }
    void setReleaseNotes(const QString &notes) { m_releaseNotes = notes; }

    QString pubDate() const { return m_pubDate; }
    void setPubDate(const QString &date) { m_pubDate = date; }

    QUrl enclosureUrl() const { return m_enclosureUrl; }
    void setEnclosureUrl(const QString &url) { m_enclosureUrl = QUrl(url); }

    QString enclosureVersion() const { return m_enclosureVersion; }
    void setEnclosureVersion(const QString &version) { m_enclosureVersion = version; }

    QString enclosurePlatform() const { return m_enclosurePlatform; }
    void setEnclosurePlatform(const QString &platform) { m_enclosurePlatform = platform; }

    // Announced installer size in bytes; 0 when the feed gives none.
    qint64 enclosureLength() const { return m_enclosureLength; }
    void setEnclosureLength(qint64 length) { m_enclosureLength = length; }

    QString enclosureType() const { return m_enclosureType; }
    void setEnclosureType(const QString &type) { m_enclosureType = type; }

    // Raw SHA-256 of the installer (32 bytes); empty when the feed gives none.
    QByteArray enclosureSha256() const { return m_enclosureSha256; }
    void setEnclosureSha256(const QByteArray &digest) { m_enclosureSha256 = digest; }

private:
    QString m_title;
    QUrl m_releaseNotesLink;
    QString m_releaseNotes;
    QString m_pubDate;
    QUrl m_enclosureUrl;
    QString m_enclosureVersion;
    QString m_enclosurePlatform;
    qint64 m_enclosureLength = 0;
    QString m_enclosureType;
    QByteArray m_enclosureSha256;
};

#endif
