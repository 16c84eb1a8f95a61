#include "update/vuupdater.h"

#include "platform/identity.h"
#include "platform/platform.h"
#include "platform/seams.h"
#include "update/vuavailableupdate.h"
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
      m_feedTimeoutMs(Identity::feedTimeoutMs), m_installerTimeoutMs(Identity::installerTimeoutMs)
{
    connect(&m_manager, &QNetworkAccessManager::authenticationRequired, this,
            &VuUpdater::authenticationRequired);
}

VuUpdater::~VuUpdater()
{
    delete m_proposedUpdate;
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
    m_xml.clear();
    QNetworkRequest request(url);
    // Redirects are followed here, so that the stored feed address moves on.
    request.setAttribute(QNetworkRequest::RedirectPolicyAttribute,
                         QNetworkRequest::ManualRedirectPolicy);
    request.setTransferTimeout(m_feedTimeoutMs);
    m_feedReply = m_manager.get(request);
    connect(m_feedReply, &QNetworkReply::readyRead, this, &VuUpdater::httpFeedReadyRead);
    connect(m_feedReply, &QNetworkReply::downloadProgress, this,
            &VuUpdater::httpFeedUpdateDataReadProgress);
    connect(m_feedReply, &QNetworkReply::finished, this, &VuUpdater::httpFeedDownloadFinished);
}

void VuUpdater::httpFeedReadyRead()
{
    if (m_feedReply)
        m_xml.addData(m_feedReply->readAll());
}

void VuUpdater::httpFeedUpdateDataReadProgress(qint64, qint64) {}

void VuUpdater::httpFeedDownloadFinished()
{
    auto *reply = qobject_cast<QNetworkReply *>(sender());
    if (!reply || reply != m_feedReply)
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

    if (reply->error() == QNetworkReply::NoError) {
        m_xml.addData(reply->readAll());
        parseFeed();
    } else {
        reportError(tr("Feed download failed: %1.").arg(reply->errorString()));
    }
}

bool VuUpdater::parseFeed()
{
    QString currentField;
    QString title, link, releaseNotesLink, pubDate;
    QString url, version, minPrevVersion, programType, platform, type, sha256;
    qint64 length = 0;

    auto clearItem = [&]() {
        title.clear();
        link.clear();
        releaseNotesLink.clear();
        pubDate.clear();
        url.clear();
        version.clear();
        minPrevVersion.clear();
        programType.clear();
        platform.clear();
        type.clear();
        sha256.clear();
        length = 0;
    };

    while (!m_xml.atEnd()) {
        m_xml.readNext();

        if (m_xml.isStartElement()) {
            const QStringView name = m_xml.name();
            currentField.clear();
            if (m_xml.qualifiedName() == QLatin1String("update:releaseNotesLink"))
                currentField = QStringLiteral("releaseNotesLink");
            else if (name == QLatin1String("title") || name == QLatin1String("link") ||
                     name == QLatin1String("pubDate"))
                currentField = name.toString();

            if (name == QLatin1String("item")) {
                clearItem();
            } else if (name == QLatin1String("enclosure")) {
                const QXmlStreamAttributes attributes = m_xml.attributes();
                const QString enclosurePlatform =
                    attributes.value(QLatin1String("velmaro:platform")).toString().trimmed();
                if (attributes.hasAttribute(QLatin1String("velmaro:platform")) &&
                    VuPlatform::matchesCurrentPlatform(enclosurePlatform)) {
                    auto text = [&](const char *attribute) {
                        return attributes.value(QLatin1String(attribute)).toString().trimmed();
                    };
                    platform = enclosurePlatform;
                    url = text("url");
                    version = text("velmaro:version");
                    minPrevVersion = text("velmaro:minPrevVersion");
                    programType = text("velmaro:programType");
                    if (attributes.hasAttribute(QLatin1String("update:version")))
                        version = text("update:version");
                    bool ok = false;
                    length = attributes.value(QLatin1String("length")).toLongLong(&ok);
                    if (!ok)
                        length = 0;
                    type = text("type");
                    sha256 = attributes.hasAttribute(QLatin1String("sha256"))
                                 ? text("sha256")
                                 : text("velmaro:sha256");
                }
            }
        } else if (m_xml.isEndElement()) {
            currentField.clear();
            if (m_xml.name() == QLatin1String("item")) {
                bool suitable = false;
                if (!minPrevVersion.isEmpty()) {
                    suitable = VUIgnoredVersions::meetsMinimumVersion(minPrevVersion) &&
                               (programType.isEmpty() || programType == QLatin1String("FULL"));
                } else {
                    suitable = programType == QLatin1String("FULL");
                }
                if (suitable) {
                    return proposeItem(title, link, releaseNotesLink, pubDate, url, version,
                                       platform, length, type, sha256.toLatin1());
                }
            }
        } else if (m_xml.isCharacters() && !m_xml.isWhitespace()) {
            const QString chunk = m_xml.text().toString().trimmed();
            if (currentField == QLatin1String("title"))
                title += chunk;
            else if (currentField == QLatin1String("link"))
                link += chunk;
            else if (currentField == QLatin1String("releaseNotesLink"))
                releaseNotesLink += chunk;
            else if (currentField == QLatin1String("pubDate"))
                pubDate += chunk;
        }

        if (m_xml.hasError() && m_xml.error() != QXmlStreamReader::PrematureEndOfDocumentError) {
            reportError(tr("Feed parsing failed: %1 %2.")
                            .arg(QString::number(m_xml.lineNumber()), m_xml.errorString()));
            return false;
        }
    }
    return false;
}

bool VuUpdater::proposeItem(const QString &title, const QString &link,
                            const QString &releaseNotesLink, const QString &pubDate,
                            const QString &url, const QString &version, const QString &platform,
                            qint64 length, const QString &type, const QByteArray &sha256)
{
    const QString notesLink = releaseNotesLink.isEmpty() ? link : releaseNotesLink;
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
    const QByteArray digest =
        sha256.isEmpty() ? QByteArray() : parseSha256(QString::fromLatin1(sha256));
    if (url.isEmpty() || version.isEmpty() || platform.isEmpty() || !isWebUrl(QUrl(url)) ||
        (!sha256.isEmpty() && digest.isEmpty())) {
        reportError(tr("Feed error: invalid \"enclosure\" with the download link"));
        return false;
    }
    if (VUIgnoredVersions::isIgnored(version)) {
        reportInfo(tr("No updates were found."));
        return true;
    }

    delete m_proposedUpdate;
    m_proposedUpdate = nullptr;
    requestReleaseNotes(QUrl(notesLink));

    m_proposedUpdate = new VuAvailableUpdate;
    m_proposedUpdate->setTitle(title);
    m_proposedUpdate->setReleaseNotesLink(notesLink);
    m_proposedUpdate->setPubDate(pubDate);
    m_proposedUpdate->setEnclosureUrl(url);
    m_proposedUpdate->setEnclosureVersion(version);
    m_proposedUpdate->setEnclosurePlatform(platform);
    m_proposedUpdate->setEnclosureLength(length);
    m_proposedUpdate->setEnclosureType(type);
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
    m_relNotesReply = m_manager.get(request);
    connect(m_relNotesReply, &QNetworkReply::readyRead, this, &VuUpdater::httpRelNotesReadyRead);
    connect(m_relNotesReply, &QNetworkReply::downloadProgress, this,
            &VuUpdater::httpRelNotesUpdateDataReadProgress);
    connect(m_relNotesReply, &QNetworkReply::finished, this,
            &VuUpdater::httpRelNotesDownloadFinished);
}

void VuUpdater::httpRelNotesReadyRead()
{
    if (m_relNotesReply)
        m_releaseNotes += m_relNotesReply->readAll();
}

void VuUpdater::httpRelNotesUpdateDataReadProgress(qint64, qint64) {}

void VuUpdater::httpRelNotesDownloadFinished()
{
    auto *reply = qobject_cast<QNetworkReply *>(sender());
    if (!reply || reply != m_relNotesReply)
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

namespace {
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
    m_installOversize = false;
    connect(reply, &QNetworkReply::finished, this, &VuUpdater::httpUpdateDownloadFinished);
    // More bytes than announced can only be a wrong file: stop early.
    connect(reply, &QNetworkReply::downloadProgress, this, [this, reply](qint64 received, qint64) {
        if (m_expectedLength > 0 && received > m_expectedLength && reply->isRunning()) {
            m_installOversize = true;
            reply->abort();
        }
    });

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
    m_progress = progress;
    progress->show();

    emit updatedFinishedSuccessfully();
    closeUpdateWindow();
}

void VuUpdater::httpUpdateDownloadFinished()
{
    auto *reply = qobject_cast<QNetworkReply *>(sender());
    if (!reply) {
        qWarning("The slot httpUpdateDownloadFinished() should only be invoked by S&S.");
        return;
    }
    reply->deleteLater();
    if (reply == m_installReply)
        m_installReply = nullptr;

    if (m_installOversize) {
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
    Seams::exitProcess(0);
}
