#include "tracking/versionnotice.h"

#include "platform/config.h"
#include "platform/seams.h"

#include <QCoreApplication>
#include <QUrl>

namespace Tracking
{

void showNewVersionNotice(const QString &downloadBase)
{
    Seams::MessageBoxRequest box;
    box.text = QCoreApplication::translate(
        "MainWindow", "Eine neue Programmversion steht am Server zum Download bereit! ");
    box.informativeText = QCoreApplication::translate(
        "MainWindow", "Möchten Sie diese nun herunterladen und installieren? ");
    box.buttons = QMessageBox::Yes | QMessageBox::No;
    box.defaultButton = QMessageBox::Yes;
    box.buttonTexts = {{QMessageBox::Yes, QCoreApplication::translate("MainWindow", "Ja")},
                       {QMessageBox::No, QCoreApplication::translate("MainWindow", "Nein")}};
    if (Seams::showMessage(box) != QMessageBox::Yes)
        return;

    if (Seams::openUrl(QUrl(downloadBase + QLatin1String("/downloads/")))) {
        Seams::exitProcess(0);
        return;
    }
    Seams::critical(
        QCoreApplication::translate("MainWindow", "Velmaro Info"),
        QCoreApplication::translate("MainWindow",
                                    "Beim Versuch das Update herunterzuladen gab es einen Fehler.\n"
                                    "Probieren Sie es bitte später noch einmal."),
        QMessageBox::Cancel);
}

void showNewVersionNotice()
{
    showNewVersionNotice(Config::downloadUrl());
}

} // namespace Tracking
