#include "update/vuupdatewindow.h"

#include "update/vuavailableupdate.h"
#include "update/vuupdater.h"

#include "platform/seams.h"

#include <QCloseEvent>
#include <QCoreApplication>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QSpacerItem>
#include <QTextBrowser>
#include <QVBoxLayout>

VuUpdateWindow::VuUpdateWindow(QWidget *parent, bool skipAllowed, bool remindLaterAllowed)
    : QDialog(parent, Qt::WindowFlags())
{
    setupUi();
    retranslateUi();
    QMetaObject::connectSlotsByName(this);

    if (!skipAllowed)
        skipThisVersionButton->hide();
    if (!remindLaterAllowed)
        remindMeLaterButton->hide();

    setAttribute(Qt::WA_DeleteOnClose);

    newVersionIsAvailableLabel->setText(
        newVersionIsAvailableLabel->text().arg(QCoreApplication::applicationName()));
}

void VuUpdateWindow::setupUi()
{
    if (objectName().isEmpty())
        setObjectName(QStringLiteral("VuUpdateWindow"));
    setWindowModality(Qt::ApplicationModal);
    setModal(true);
    resize(640, 360);
    setMinimumSize(640, 360);

    horizontalLayout_6 = new QHBoxLayout(this);
    horizontalLayout_6->setObjectName(QStringLiteral("horizontalLayout_6"));
    horizontalLayout_6->setSizeConstraint(QLayout::SetFixedSize);

    verticalLayout = new QVBoxLayout();
    verticalLayout->setObjectName(QStringLiteral("verticalLayout"));

    QFont bold;
    bold.setBold(true);

    newVersionIsAvailableLabel = new QLabel(this);
    newVersionIsAvailableLabel->setObjectName(QStringLiteral("newVersionIsAvailableLabel"));
    newVersionIsAvailableLabel->setFont(bold);
    verticalLayout->addWidget(newVersionIsAvailableLabel);

    wouldYouLikeToDownloadLabel = new QLabel(this);
    wouldYouLikeToDownloadLabel->setObjectName(QStringLiteral("wouldYouLikeToDownloadLabel"));
    verticalLayout->addWidget(wouldYouLikeToDownloadLabel);

    groupBox = new QGroupBox(this);
    groupBox->setObjectName(QStringLiteral("groupBox"));
    groupBox->setFont(bold);
    groupBox->setTitle(QString());
    horizontalLayout_7 = new QHBoxLayout(groupBox);
    horizontalLayout_7->setObjectName(QStringLiteral("horizontalLayout_7"));

    releaseNotesWebView = new QTextBrowser(groupBox);
    releaseNotesWebView->setObjectName(QStringLiteral("releaseNotesWebView"));
    releaseNotesWebView->setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Preferred);
    releaseNotesWebView->setMinimumSize(600, 238);
    // Links in the notes open in the system browser, never inside the widget
    // (which would read local files for file: links).
    releaseNotesWebView->setOpenLinks(false);
    connect(releaseNotesWebView, &QTextBrowser::anchorClicked, this, [](const QUrl &url) {
        if (url.scheme() == QLatin1String("http") || url.scheme() == QLatin1String("https"))
            Seams::openUrl(url);
    });
    horizontalLayout_7->addWidget(releaseNotesWebView);
    verticalLayout->addWidget(groupBox);

    horizontalLayout_3 = new QHBoxLayout();
    horizontalLayout_3->setObjectName(QStringLiteral("horizontalLayout_3"));
    skipThisVersionButton = new QPushButton(this);
    skipThisVersionButton->setObjectName(QStringLiteral("skipThisVersionButton"));
    horizontalLayout_3->addWidget(skipThisVersionButton);
    horizontalLayout_3->addItem(
        new QSpacerItem(40, 20, QSizePolicy::Expanding, QSizePolicy::Minimum));
    remindMeLaterButton = new QPushButton(this);
    remindMeLaterButton->setObjectName(QStringLiteral("remindMeLaterButton"));
    horizontalLayout_3->addWidget(remindMeLaterButton);
    installUpdateButton = new QPushButton(this);
    installUpdateButton->setObjectName(QStringLiteral("installUpdateButton"));
    installUpdateButton->setAutoDefault(true);
    installUpdateButton->setDefault(true);
    horizontalLayout_3->addWidget(installUpdateButton);
    verticalLayout->addLayout(horizontalLayout_3);

    horizontalLayout_6->addLayout(verticalLayout);
}

void VuUpdateWindow::retranslateUi()
{
    setWindowTitle(tr("Velmaro Update"));
    newVersionIsAvailableLabel->setText(tr("Eine neue Version von %1 steht zur Verfügung!"));
    wouldYouLikeToDownloadLabel->setText(tr("Sie haben die Version xx installiert."));
    skipThisVersionButton->setText(tr("überspringen"));
    remindMeLaterButton->setText(tr("später erinnern"));
    installUpdateButton->setText(tr("jetzt installieren"));
}

bool VuUpdateWindow::showProposal()
{
    const VuAvailableUpdate *proposal = VuUpdater::instance()->proposedUpdate();
    if (!proposal)
        return false;

    wouldYouLikeToDownloadLabel->setText(
        tr("Sie haben die Version %1 installiert.").arg(QCoreApplication::applicationVersion()));
    newVersionIsAvailableLabel->setText(proposal->title() + tr(" steht zum Download bereit."));
    releaseNotesWebView->setHtml(proposal->releaseNotes());
    return true;
}

void VuUpdateWindow::setReleaseNotesHtml(const QString &html)
{
    releaseNotesWebView->setHtml(html);
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
