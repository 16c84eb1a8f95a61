#ifndef VELMARO_UPDATE_VUUPDATEWINDOW_H
#define VELMARO_UPDATE_VUUPDATEWINDOW_H

#include <QDialog>

#include <memory>

namespace Ui
{
class VuUpdateWindow;
}

// Offers the proposed update with its release notes. Deletes itself when
// closed; the buttons hand over to the shared updater.
class VuUpdateWindow : public QDialog
{
    Q_OBJECT
public:
    VuUpdateWindow(QWidget *parent, bool skipAllowed, bool remindLaterAllowed);
    ~VuUpdateWindow() override;

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
    std::unique_ptr<Ui::VuUpdateWindow> m_ui;
};

#endif
