#include "update/vuupdater.h"

#include "platform/identity.h"
#include "platform/platform.h"
#include "platform/replylimits.h"
#include "platform/seams.h"
#include "update/vuavailableupdate.h"
#include "update/vufeed.h"
#include "update/vuignoredversions.h"
#include "update/vuplatform.h"
#include "update/vuupdatedownloadprogress.h"
#include "update/vuupdatewindow.h"

#include <QAuthenticator>
#include <QCoreApplication>
#include <QCryptographicHash>
#include <QDir>
#include <QFileInfo>
#include <QMutex>
#include <QMutexLocker>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QRegularExpression>
#include <QSaveFile>
#include <QStandardPaths>
#include <QStringDecoder>

#include <memory>

#include <atomic>

namespace
{

bool isWebUrl(const QUrl &url)
{
    return url.isValid() &&
           (url.scheme() == QLatin1String("http") || url.scheme() == QLatin1String("https"));
}

// Release notes are UTF-8 HTML; older pages were written in Latin-1.
QString decodeNotes(const QByteArray &bytes)
{
    const int zero = bytes.indexOf('\0');
    const QByteArray text = zero < 0 ? bytes : bytes.left(zero);
    QStringDecoder utf8(QStringDecoder::Utf8);
    const QString decoded = utf8.decode(text);
    if (!utf8.hasError())
        return decoded;
    return QString::fromLatin1(text);
}

// A hex SHA-256 digest as raw bytes; empty when the text is not one.
QByteArray parseSha256(const QString &hex)
{
    static const QRegularExpression pattern(QStringLiteral("^[0-9A-Fa-f]{64}$"));
    if (!pattern.match(hex).hasMatch())
        return QByteArray();
    return QByteArray::fromHex(hex.toLatin1());
}

} // namespace

VuUpdater *VuUpdater::instance()
{
    static std::atomic<VuUpdater *> instance{nullptr};
    static QMutex mutex;

    VuUpdater *updater = instance.load(std::memory_order_acquire);
    if (updater)
        return updater;
    QMutexLocker locker(&mutex);
    updater = instance.load(std::memory_order_relaxed);
    if (!updater) {
        // Never deleted: the updater lives until the process ends.
        updater = new VuUpdater;
        instance.store(updater, std::memory_order_release);
    }
    return updater;
}

VuUpdater::VuUpdater()
    : QObject(nullptr), m_httpUser(QLatin1String("")), m_httpPassword(QLatin1String("")),
      m_feedTimeoutMs(Identity::feedTimeoutMs), m_installerTimeoutMs(Identity::installerTimeoutMs),
      m_installerMaxBytes(Identity::installerMaxBytes)
{
    connect(&m_manager, &QNetworkAccessManager::authenticationRequired, this,
            &VuUpdater::authenticationRequired);
}

VuUpdater::~VuUpdater()
{
    closeUpdateWindow();
}

void VuUpdater::setFeedURL(const QString &url)
{
    m_feedUrl = QUrl(url);
}

void VuUpdater::setHttpCredentials(const QString &user, const QString &password)
{
    m_httpUser = user;
    m_httpPassword = password;
    // Credentials accepted earlier are cached per server; new ones must count.
    m_manager.clearAccessCache();
}

void VuUpdater::setTransferTimeouts(int feedMs, int installerMs)
{
    m_feedTimeoutMs = feedMs;
    m_installerTimeoutMs = installerMs;
}

QString VuUpdater::updateFolder()
{
    // One folder per user, so users of one machine sharing /tmp do not lock
    // each other out.
    QString user = qEnvironmentVariable("USER", qEnvironmentVariable("USERNAME"));
    static const QRegularExpression unsafe(QStringLiteral("[^A-Za-z0-9._-]"));
    user.remove(unsafe);
    QString name = QStringLiteral("velmaro-update");
    if (!user.isEmpty() && user != QLatin1String(".") && user != QLatin1String(".."))
        name += QLatin1Char('-') + user;
    return QDir(QStandardPaths::writableLocation(QStandardPaths::TempLocation)).filePath(name);
}

// ---------------------------------------------------------------------------
// Checking the feed

bool VuUpdater::CheckForUpdates(bool silentAsMuchAsItCouldGet)
{
    if (m_feedUrl.isEmpty()) {
        qCritical("Please set feed URL via setFeedURL() before calling CheckForUpdates().");
        return false;
    }

    m_silent = silentAsMuchAsItCouldGet;

    QString missing;
    if (QCoreApplication::organizationName().isEmpty())
        missing = tr("QApplication::organizationName is not set. Please do that.");
    else if (QCoreApplication::organizationDomain().isEmpty())
        missing = tr("QApplication::organizationDomain is not set. Please do that.");
    else if (QCoreApplication::applicationName().isEmpty())
        missing = tr("QApplication::applicationName is not set. Please do that.");
    else if (QCoreApplication::applicationVersion().isEmpty())
        missing = tr("QApplication::applicationVersion is not set. Please do that.");
    if (!missing.isEmpty()) {
        Seams::critical(QStringLiteral("VuUpdater"), missing, QMessageBox::Cancel);
        return false;
    }

    abortFeedRequest();
    m_feedRedirects = 0;
    requestFeed(m_feedUrl);
    return true;
}

bool VuUpdater::CheckForUpdatesSilent()
{
    return CheckForUpdates(true);
}

bool VuUpdater::CheckForUpdatesNotSilent()
{
    return CheckForUpdates(false);
}

void VuUpdater::abortFeedRequest()
{
    if (!m_feedReply)
        return;
    // Disconnected first, so the aborted reply's finish is not taken for a
    // failed check.
    QNetworkReply *reply = m_feedReply;
    m_feedReply = nullptr;
    disconnect(reply, nullptr, this, nullptr);
    reply->abort();
    reply->deleteLater();
}

void VuUpdater::requestFeed(const QUrl &url)
{
    QNetworkRequest request(url);
    // Redirects are followed here, so that the stored feed address moves on.
    request.setAttribute(QNetworkRequest::RedirectPolicyAttribute,
                         QNetworkRequest::ManualRedirectPolicy);
    request.setTransferTimeout(m_feedTimeoutMs);
    QNetworkReply *reply = m_manager.get(request);
    ReplyLimits::apply(reply, Identity::feedMaxBytes);
    m_feedReply = reply;
    connect(reply, &QNetworkReply::finished, this, [this, reply] { feedFinished(reply); });
}

void VuUpdater::feedFinished(QNetworkReply *reply)
{
    if (reply != m_feedReply)
        return;
    m_feedReply = nullptr;
    reply->deleteLater();

    const QVariant target = reply->attribute(QNetworkRequest::RedirectionTargetAttribute);
    if (reply->error() == QNetworkReply::NoError && target.isValid()) {
        const QUrl next = reply->url().resolved(target.toUrl());
        QString refusal;
        if (++m_feedRedirects > maxFeedRedirects)
            refusal = tr("Too many redirects");
        else if (!isWebUrl(next))
            refusal = tr("Redirect to an unsupported address %1").arg(next.toDisplayString());
        else if (reply->url().scheme() == QLatin1String("https") &&
                 next.scheme() != QLatin1String("https"))
            refusal =
                tr("Redirect from https to an insecure address %1").arg(next.toDisplayString());
        if (!refusal.isEmpty()) {
            reportError(tr("Feed download failed: %1.").arg(refusal));
            return;
        }
        m_feedUrl = next;
        requestFeed(m_feedUrl);
        return;
    }

    if (reply->error() == QNetworkReply::NoError)
        handleFeed(reply->readAll(), m_silent);
    else
        reportError(tr("Feed download failed: %1.").arg(reply->errorString()));
}

bool VuUpdater::handleFeed(const QByteArray &feed, bool silent)
{
    m_silent = silent;
    // Faults after the first suitable item do not matter: it is offered.
    const VuFeedParse parsed = VuFeed::parse(feed);
    for (const VuFeedItem &item : parsed.items) {
        if (VuFeed::isSuitable(item))
            return proposeItem(item);
    }
    if (!parsed.error.isEmpty())
        reportError(
            tr("Feed parsing failed: %1 %2.").arg(QString::number(parsed.errorLine), parsed.error));
    return false;
}

bool VuUpdater::proposeItem(const VuFeedItem &item)
{
    const QString notesLink = item.releaseNotesLink.isEmpty() ? item.link : item.releaseNotesLink;
    if (notesLink.isEmpty()) {
        reportError(tr("Feed error: \"release notes\" link is empty"));
        return false;
    }
    if (!notesLink.startsWith(QLatin1String("http://")) &&
        !notesLink.startsWith(QLatin1String("https://"))) {
        reportError(tr("Feed error: invalid \"release notes\" link"));
        return false;
    }
    // The installer must come from the web, and a digest, when given, must
    // be one.
    const QByteArray digest = item.sha256.isEmpty() ? QByteArray() : parseSha256(item.sha256);
    if (item.url.isEmpty() || item.version.isEmpty() || item.platform.isEmpty() ||
        !isWebUrl(QUrl(item.url)) || (!item.sha256.isEmpty() && digest.isEmpty())) {
        reportError(tr("Feed error: invalid \"enclosure\" with the download link"));
        return false;
    }
    if (VUIgnoredVersions::isIgnored(item.version)) {
        reportInfo(tr("No updates were found."));
        return true;
    }
    const QString refusal = VuFeed::installerRefusal(m_feedUrl, QUrl(item.url), !digest.isEmpty());
    if (!refusal.isEmpty()) {
        reportError(refusal);
        return false;
    }

    m_proposedUpdate.reset();
    requestReleaseNotes(QUrl(notesLink));

    m_proposedUpdate = std::make_unique<VuAvailableUpdate>();
    m_proposedUpdate->setTitle(item.title);
    m_proposedUpdate->setReleaseNotesLink(notesLink);
    m_proposedUpdate->setPubDate(item.pubDate);
    m_proposedUpdate->setEnclosureUrl(item.url);
    m_proposedUpdate->setEnclosureVersion(item.version);
    m_proposedUpdate->setEnclosurePlatform(item.platform);
    m_proposedUpdate->setEnclosureLength(item.length);
    m_proposedUpdate->setEnclosureType(item.type);
    m_proposedUpdate->setEnclosureSha256(digest);
    m_proposedUpdate->setReleaseNotes(decodeNotes(m_releaseNotes));
    openUpdateWindow();
    return true;
}

// ---------------------------------------------------------------------------
// Release notes

void VuUpdater::requestReleaseNotes(const QUrl &url)
{
    if (m_relNotesReply) {
        QNetworkReply *old = m_relNotesReply;
        m_relNotesReply = nullptr;
        disconnect(old, nullptr, this, nullptr);
        old->abort();
        old->deleteLater();
    }
    m_releaseNotes.clear();
    QNetworkRequest request(url);
    request.setTransferTimeout(m_feedTimeoutMs);
    QNetworkReply *reply = m_manager.get(request);
    ReplyLimits::apply(reply, Identity::feedMaxBytes);
    m_relNotesReply = reply;
    connect(reply, &QNetworkReply::readyRead, this, [this, reply] {
        if (reply == m_relNotesReply)
            m_releaseNotes += reply->readAll();
    });
    connect(reply, &QNetworkReply::finished, this, [this, reply] { releaseNotesFinished(reply); });
}

void VuUpdater::releaseNotesFinished(QNetworkReply *reply)
{
    if (reply != m_relNotesReply)
        return;
    m_relNotesReply = nullptr;
    reply->deleteLater();

    if (reply->error() != QNetworkReply::NoError) {
        reportError(tr("RelNotes download failed: %1.").arg(reply->errorString()));
        return;
    }
    m_releaseNotes += reply->readAll();
    const QString notes = decodeNotes(m_releaseNotes);
    if (m_proposedUpdate)
        m_proposedUpdate->setReleaseNotes(notes);
    if (m_updateWindow)
        m_updateWindow->setReleaseNotesHtml(notes);
}

void VuUpdater::authenticationRequired(QNetworkReply *reply, QAuthenticator *authenticator)
{
    if (!reply || !authenticator)
        return;
    if (authenticator->user().isEmpty()) {
        authenticator->setUser(m_httpUser);
        authenticator->setPassword(m_httpPassword);
    } else {
        // Asked again after an answer: the credentials were refused. Giving
        // none lets the request fail instead of asking forever.
        qWarning("Http authentication: Wrong credentials!");
    }
}

namespace
{
void showReport(QMessageBox::Icon icon, const QString &text, const QString &message)
{
    Seams::MessageBoxRequest request;
    request.icon = icon;
    request.text = text;
    request.informativeText = message;
    request.buttons = QMessageBox::Ok;
    Seams::showMessage(request);
}
} // namespace

void VuUpdater::reportError(const QString &message, bool forced)
{
    if (!m_silent || forced)
        showReport(QMessageBox::Critical, tr("Error"), message);
}

void VuUpdater::reportInfo(const QString &message, bool forced)
{
    if (!m_silent || forced)
        showReport(QMessageBox::Information, tr("Information"), message);
}

// ---------------------------------------------------------------------------
// Old-version clean-up

void VuUpdater::removeOldVersionFiles(const QString &folder)
{
    const QString temp = QStandardPaths::writableLocation(QStandardPaths::TempLocation);
    const QString root = folder.isEmpty() ? updateFolder() : folder;
    const QFileInfo info(root);
    if (!info.exists())
        return;
    if (info.isSymLink() || !info.isDir()) {
        qWarning("Old-version clean-up: %s is not a plain folder, left alone", qPrintable(root));
        return;
    }
    // Our own folder must still be private; a folder we do not own is
    // somebody else's business.
    if (folder.isEmpty() && !Platform::makePrivateFolder(root)) {
        qWarning("Old-version clean-up: %s is not private, left alone", qPrintable(root));
        return;
    }
    const QString canonicalTemp = QFileInfo(temp).canonicalFilePath();
    const QString canonicalRoot = info.canonicalFilePath();
    if (canonicalTemp.isEmpty() || (canonicalRoot != canonicalTemp &&
                                    !canonicalRoot.startsWith(canonicalTemp + QLatin1Char('/')))) {
        qWarning("Old-version clean-up: %s is outside the temporary folder, refused",
                 qPrintable(root));
        return;
    }
    removeOldVersionFilesBelow(root, 0);
}

void VuUpdater::removeOldVersionFilesBelow(const QString &folder, int depth)
{
    if (depth > 32)
        return;
    const QFileInfoList entries =
        QDir(folder).entryInfoList(QDir::Dirs | QDir::Files | QDir::NoDotAndDotDot);
    for (const QFileInfo &entry : entries) {
        if (entry.isSymLink())
            continue;
        if (entry.isDir())
            removeOldVersionFilesBelow(entry.filePath(), depth + 1);
        else if (entry.isFile() && entry.suffix() == QLatin1String("oldversion"))
            QFile::remove(entry.filePath());
    }
}

// ---------------------------------------------------------------------------
// Update window and installation

void VuUpdater::openUpdateWindow()
{
    closeUpdateWindow();
    auto *window = new VuUpdateWindow(nullptr, m_skipAllowed, m_remindLaterAllowed);
    m_updateWindow = window;
    window->showProposal();
    window->show();
}

void VuUpdater::closeUpdateWindow()
{
    if (m_updateWindow && !m_updateWindow->close())
        qWarning("Update window didn't close, leaking memory from now on");
    m_updateWindow = nullptr;
}

void VuUpdater::updateWindowClosed()
{
    m_updateWindow = nullptr;
}

void VuUpdater::RemindMeLater()
{
    closeUpdateWindow();
}

void VuUpdater::SkipUpdate()
{
    if (!m_proposedUpdate) {
        qWarning("Proposed update is NULL (shouldn't be at this point)");
        return;
    }
    VUIgnoredVersions::ignore(m_proposedUpdate->enclosureVersion());
    closeUpdateWindow();
}

void VuUpdater::InstallUpdate()
{
    if (!m_proposedUpdate) {
        qWarning("Abort Update: No update prososed! This should not happen.");
        return;
    }
    if (m_installReply)
        return; // one installer download at a time

    if (!Platform::makePrivateFolder(updateFolder())) {
        reportError(tr("Der Ordner %1 für das Update kann nicht sicher benutzt werden.")
                        .arg(QDir::toNativeSeparators(updateFolder())),
                    true);
        return;
    }

    QNetworkRequest request(m_proposedUpdate->enclosureUrl());
    request.setTransferTimeout(m_installerTimeoutMs);
    QNetworkReply *reply = m_manager.get(request);
    m_installReply = reply;
    m_expectedLength = m_proposedUpdate->enclosureLength();
    m_expectedSha256 = m_proposedUpdate->enclosureSha256();
    m_installCancelled = false;
    connect(reply, &QNetworkReply::finished, this, [this, reply] { installerFinished(reply); });
    // More bytes than announced can only be a wrong file; without a length
    // the cap holds. Either way: stop early.
    ReplyLimits::apply(reply, m_expectedLength > 0 ? m_expectedLength : m_installerMaxBytes);

    if (reply->error() != QNetworkReply::NoError)
        return;

    auto *progress = new VuUpdateDownloadProgress(nullptr);
    progress->setWindowFlags((progress->windowFlags() | Qt::CustomizeWindowHint) &
                             ~Qt::WindowCloseButtonHint & ~Qt::WindowContextHelpButtonHint);
    progress->setText(
        tr("Download von %1 Version %2")
            .arg(QCoreApplication::applicationName(), m_proposedUpdate->enclosureVersion()));
    connect(reply, &QNetworkReply::downloadProgress, progress,
            &VuUpdateDownloadProgress::downloadProgress);
    // Only this download closes it; release notes finishing meanwhile do not.
    connect(reply, &QNetworkReply::finished, progress, &VuUpdateDownloadProgress::close);
    // Its cancel button, and closing it once the download is over, reject it.
    connect(progress, &QDialog::rejected, this, [this, reply] {
        if (reply == m_installReply && reply->isRunning()) {
            m_installCancelled = true;
            reply->abort();
        }
    });
    m_progress = progress;
    progress->show();

    emit updatedFinishedSuccessfully();
    closeUpdateWindow();
}

void VuUpdater::installerFinished(QNetworkReply *reply)
{
    reply->deleteLater();
    if (reply == m_installReply)
        m_installReply = nullptr;

    // A cancel is the user's choice, nothing to report.
    if (m_installCancelled)
        return;
    if (ReplyLimits::tooLarge(reply) && m_expectedLength > 0) {
        reportError(tr("Das geladene Update ist größer als angekündigt (%1 Bytes). Es wird nicht "
                       "installiert.")
                        .arg(m_expectedLength),
                    true);
        return;
    }
    if (reply->error() != QNetworkReply::NoError) {
        reportError(tr("Das Update konnte nicht geladen werden: %1").arg(reply->errorString()),
                    true);
        return;
    }
    const QByteArray data = reply->readAll();
    if (m_expectedLength > 0 && data.size() != m_expectedLength) {
        reportError(tr("Das geladene Update hat %1 statt %2 Bytes. Es wird nicht installiert.")
                        .arg(data.size())
                        .arg(m_expectedLength),
                    true);
        return;
    }
    if (!m_expectedSha256.isEmpty() &&
        QCryptographicHash::hash(data, QCryptographicHash::Sha256) != m_expectedSha256) {
        reportError(tr("Die Prüfsumme des geladenen Updates stimmt nicht. Es wird nicht "
                       "installiert."),
                    true);
        return;
    }

    const QString folder = updateFolder();
    if (!Platform::makePrivateFolder(folder)) {
        reportError(tr("Der Ordner %1 für das Update kann nicht sicher benutzt werden.")
                        .arg(QDir::toNativeSeparators(folder)),
                    true);
        return;
    }
    QString fileName = QFileInfo(reply->url().path()).fileName();
    if (fileName.isEmpty() || fileName == QLatin1String(".") || fileName == QLatin1String(".."))
        fileName = QStringLiteral("velmaro-setup");
    const QString target = QDir(folder).filePath(fileName);

    QSaveFile file(target);
    if (!file.open(QIODevice::WriteOnly) || file.write(data) != data.size() || !file.commit()) {
        reportError(tr("Das Update konnte nicht gespeichert werden: %1").arg(file.errorString()),
                    true);
        return;
    }
    launchInstaller(target);
}

void VuUpdater::launchInstaller(const QString &path)
{
    if (!Platform::makeExecutable(path) || !Seams::startProcess(path)) {
        reportError(
            tr("Das Update %1 konnte nicht gestartet werden.").arg(QDir::toNativeSeparators(path)),
            true);
        return;
    }
    // Vanishing without a word would look like a crash.
    Seams::information(tr("Velmaro Update"),
                       tr("Das Update wird installiert; %1 wird dafür jetzt beendet.")
                           .arg(QCoreApplication::applicationName()),
                       QMessageBox::Ok);
    Seams::exitProcess(0);
}
