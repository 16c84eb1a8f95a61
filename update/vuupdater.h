#ifndef VELMARO_UPDATE_VUUPDATER_H
#define VELMARO_UPDATE_VUUPDATER_H

#include <QByteArray>
#include <QNetworkAccessManager>
#include <QObject>
#include <QPointer>
#include <QString>
#include <QUrl>

#include <memory>

class QAuthenticator;
class QNetworkReply;
class VuAvailableUpdate;
struct VuFeedItem;
class VuUpdateDownloadProgress;
class VuUpdateWindow;

// The application-wide update checker: downloads the feed, picks the first
// item for this platform, proposes it in the update window and, when the
// user agrees, downloads, checks and starts the installer.
class VuUpdater : public QObject
{
    Q_OBJECT
public:
    // Redirects of the feed followed before the check gives up.
    static constexpr int maxFeedRedirects = 10;

    // Creates the updater on first use; it lives until the process ends.
    static VuUpdater *instance();

    void setFeedURL(const QString &url);
    QUrl feedURL() const { return m_feedUrl; }
    void setSkipAllowed(bool allowed) { m_skipAllowed = allowed; }
    void setRemindLaterAllowed(bool allowed) { m_remindLaterAllowed = allowed; }
    // Answered to an HTTP authentication challenge of the download server.
    void setHttpCredentials(const QString &user, const QString &password);

    // Transfer timeouts of the feed and release notes, and of the installer;
    // the defaults come from Identity.
    void setTransferTimeouts(int feedMs, int installerMs);
    // Largest installer taken when the feed gives no length,
    // Identity::installerMaxBytes by default.
    void setInstallerMaxBytes(qint64 bytes) { m_installerMaxBytes = bytes; }
    // True while a feed request (with its redirects) is under way.
    bool isChecking() const { return m_feedReply != nullptr; }
    // True while the installer is being downloaded.
    bool isInstalling() const { return m_installReply != nullptr; }

    // Deletes files named *.oldversion below folder, which must lie inside
    // the temporary location; empty means the private update folder.
    // Symbolic links are not followed.
    void removeOldVersionFiles(const QString &folder);

    // The private folder (mode 0700) the installer is saved in.
    static QString updateFolder();

    // Picks the first suitable item of a downloaded feed and proposes it, or
    // reports why not; the check calls it once the whole feed is in.
    bool handleFeed(const QByteArray &feed, bool silent);

    VuAvailableUpdate *proposedUpdate() const { return m_proposedUpdate.get(); }
    VuUpdateWindow *updateWindow() const { return m_updateWindow; }
    // Called by the window when it closes: forgets the pointer.
    void updateWindowClosed();

    // Boxes for the user; in a silent check only forced ones appear.
    void reportError(const QString &message, bool forced = false);
    void reportInfo(const QString &message, bool forced = false);

signals:
    void updatedFinishedSuccessfully();
    void finished();

public slots:
    // True when a feed request was started.
    bool CheckForUpdates(bool silentAsMuchAsItCouldGet = true);
    bool CheckForUpdatesSilent();
    bool CheckForUpdatesNotSilent();

protected slots:
    void InstallUpdate();
    void SkipUpdate();
    void RemindMeLater();

private:
    friend class VuUpdateWindow;

    VuUpdater();
    ~VuUpdater() override;
    Q_DISABLE_COPY(VuUpdater)

    void authenticationRequired(QNetworkReply *reply, QAuthenticator *authenticator);
    void abortFeedRequest();
    void requestFeed(const QUrl &url);
    void feedFinished(QNetworkReply *reply);
    bool proposeItem(const VuFeedItem &item);
    void requestReleaseNotes(const QUrl &url);
    void releaseNotesFinished(QNetworkReply *reply);
    void installerFinished(QNetworkReply *reply);
    void openUpdateWindow();
    void closeUpdateWindow();
    void launchInstaller(const QString &path);
    void removeOldVersionFilesBelow(const QString &folder, int depth);

    QPointer<VuUpdateWindow> m_updateWindow;
    std::unique_ptr<VuAvailableUpdate> m_proposedUpdate;
    bool m_silent = false;
    bool m_skipAllowed = true;
    bool m_remindLaterAllowed = true;
    QUrl m_feedUrl;
    QNetworkAccessManager m_manager;
    QNetworkReply *m_feedReply = nullptr;
    int m_feedRedirects = 0;
    QNetworkReply *m_relNotesReply = nullptr;
    QByteArray m_releaseNotes;
    QString m_httpUser;
    QString m_httpPassword;
    int m_feedTimeoutMs;
    int m_installerTimeoutMs;
    qint64 m_installerMaxBytes;

    // The running installer download and what it must match.
    QNetworkReply *m_installReply = nullptr;
    QPointer<VuUpdateDownloadProgress> m_progress;
    qint64 m_expectedLength = 0;
    QByteArray m_expectedSha256;
    bool m_installCancelled = false;
};

#endif
