#ifndef VELMARO_UPDATE_VUUPDATEWINDOW_H
#define VELMARO_UPDATE_VUUPDATEWINDOW_H

#include <QDialog>

class QGroupBox;
class QHBoxLayout;
class QLabel;
class QPushButton;
class QTextBrowser;
class QVBoxLayout;

// Offers the proposed update with its release notes. Deletes itself when
// closed; the buttons hand over to the shared updater.
class VuUpdateWindow : public QDialog
{
    Q_OBJECT
public:
    VuUpdateWindow(QWidget *parent, bool skipAllowed, bool remindLaterAllowed);

    // Fills the labels and notes from the updater's proposal; false when
    // there is none.
    bool showProposal();
    void setReleaseNotesHtml(const QString &html);

protected:
    void closeEvent(QCloseEvent *event) override;

private slots:
    // Connected by object name.
    void on_installUpdateButton_clicked();
    void on_skipThisVersionButton_clicked();
    void on_remindMeLaterButton_clicked();

private:
    void setupUi();
    void retranslateUi();

    QHBoxLayout *horizontalLayout_6 = nullptr;
    QVBoxLayout *verticalLayout = nullptr;
    QLabel *newVersionIsAvailableLabel = nullptr;
    QLabel *wouldYouLikeToDownloadLabel = nullptr;
    QGroupBox *groupBox = nullptr;
    QHBoxLayout *horizontalLayout_7 = nullptr;
    QTextBrowser *releaseNotesWebView = nullptr;
    QHBoxLayout *horizontalLayout_3 = nullptr;
    QPushButton *skipThisVersionButton = nullptr;
    QPushButton *remindMeLaterButton = nullptr;
    QPushButton *installUpdateButton = nullptr;
};

#endif
