#include "app/startup.h"

#include "platform/seams.h"
#include "store/moment.h"
#include "ui/racemenu.h"
#include "ui/regatta.h"

#include <QCoreApplication>

namespace Startup
{

QString momentLinkArgument(const QStringList &arguments)
{
    for (qsizetype i = 1; i < arguments.size(); ++i) {
        if (MomentLink::looksLikeLink(arguments.at(i)))
            return arguments.at(i);
    }
    return {};
}

bool openMomentLink(MainWindow *window, const QString &link)
{
    const auto refuse = [&link](const QString &why) {
        Seams::MessageBoxRequest box;
        box.icon = QMessageBox::Warning;
        box.title = QCoreApplication::translate("main", "Link öffnen");
        box.text = QCoreApplication::translate("main", "Der Link kann nicht geöffnet werden.");
        box.informativeText = why + QStringLiteral("\n\n") + link;
        box.buttons = QMessageBox::Ok;
        Seams::showMessage(box);
        return false;
    };
    const MomentLink::Parsed parsed = MomentLink::parse(link);
    if (!parsed.ok)
        return refuse(parsed.error);
    const Moment &moment = parsed.moment;
    const Race *race = window->races()->find(moment.eventId, moment.taskId);
    if (!race || !window->regatta()) {
        return refuse(QCoreApplication::translate(
                          "main", "Die Regatta %1/%2 ist nicht bekannt. Vielleicht hilft "
                                  "\u201eRegatten vom Server holen\u201c.")
                          .arg(moment.eventId)
                          .arg(moment.taskId));
    }
    if (window->regatta()->id() != race->id)
        window->selectRaceEntry(race);
    window->regatta()->restoreMoment(moment);
    return true;
}

} // namespace Startup
