#include "update/vuupdatewindow.h"

#include "platform/seams.h"
#include "ui_vuupdatewindow.h"
#include "update/vuavailableupdate.h"
#include "update/vuupdater.h"

#include <QCloseEvent>
#include <QCoreApplication>

VuUpdateWindow::VuUpdateWindow(QWidget *parent, bool skipAllowed, bool remindLaterAllowed)
    : QDialog(parent, Qt::WindowFlags()), m_ui(std::make_unique<Ui::VuUpdateWindow>())
{
    m_ui->setupUi(this);
    // Links in the notes open in the system browser, never inside the widget
    // (which would read local files for file: links).
    connect(m_ui->releaseNotesWebView, &QTextBrowser::anchorClicked, this, [](const QUrl &url) {
        if (url.scheme() == QLatin1String("http") || url.scheme() == QLatin1String("https"))
            Seams::openUrl(url);
    });

    if (!skipAllowed)
        m_ui->skipThisVersionButton->hide();
    if (!remindLaterAllowed)
        m_ui->remindMeLaterButton->hide();

    setAttribute(Qt::WA_DeleteOnClose);

    m_ui->newVersionIsAvailableLabel->setText(
        m_ui->newVersionIsAvailableLabel->text().arg(QCoreApplication::applicationName()));
}

VuUpdateWindow::~VuUpdateWindow() = default;

bool VuUpdateWindow::showProposal()
{
    const VuAvailableUpdate *proposal = VuUpdater::instance()->proposedUpdate();
    if (!proposal)
        return false;

    m_ui->wouldYouLikeToDownloadLabel->setText(
        tr("Sie haben die Version %1 installiert.").arg(QCoreApplication::applicationVersion()));
    m_ui->newVersionIsAvailableLabel->setText(proposal->title() +
                                              tr(" steht zum Download bereit."));
    m_ui->releaseNotesWebView->setHtml(proposal->releaseNotes());
    return true;
}

void VuUpdateWindow::setReleaseNotesHtml(const QString &html)
{
    m_ui->releaseNotesWebView->setHtml(html);
}

void VuUpdateWindow::closeEvent(QCloseEvent *event)
{
    VuUpdater::instance()->updateWindowClosed();
    event->accept();
}

void VuUpdateWindow::on_installUpdateButton_clicked()
{
    VuUpdater::instance()->InstallUpdate();
}

void VuUpdateWindow::on_skipThisVersionButton_clicked()
{
    VuUpdater::instance()->SkipUpdate();
}

void VuUpdateWindow::on_remindMeLaterButton_clicked()
{
    VuUpdater::instance()->RemindMeLater();
}
