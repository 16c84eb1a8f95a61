#include "ui/ratingflow.h"

#include "platform/seams.h"
#include "scene/handicap.h"
#include "scene/ship.h"
#include "ui/ratingdialog.h"

#include <QFile>
#include <QFileDialog>

namespace
{
constexpr int statusMessageMs = 8000;

RatingFlow::OpenFileChooser &openFileChooser()
{
    static RatingFlow::OpenFileChooser chooser;
    return chooser;
}

RatingFlow::RatingAsker &ratingAsker()
{
    static RatingFlow::RatingAsker asker;
    return asker;
}
} // namespace

RatingFlow::RatingFlow(QWidget *dialogParent) : QObject(dialogParent), m_dialogParent(dialogParent)
{
}

void RatingFlow::setOpenFileChooser(OpenFileChooser chooser)
{
    openFileChooser() = std::move(chooser);
}

void RatingFlow::setRatingAsker(RatingAsker asker)
{
    ratingAsker() = std::move(asker);
}

void RatingFlow::editRating(int eventId, const Ship &ship)
{
    const QString boat = ship.startnr().isEmpty()
                             ? ship.name()
                             : QStringLiteral("%1 %2").arg(ship.startnr(), ship.name());
    Rating rating = RatingStore::ratings(eventId).value(ship.id());
    bool accepted = false;
    if (ratingAsker()) {
        accepted = ratingAsker()(boat, &rating);
    } else {
        RatingDialog dialog(boat, rating, m_dialogParent);
        accepted = dialog.exec() == QDialog::Accepted;
        rating = dialog.rating();
    }
    if (accepted)
        store(eventId, {{ship.id(), rating}});
}

void RatingFlow::importRatings(int eventId, const QList<Ship *> &ships)
{
    const QString title = tr("Vergütungen importieren");
    const QString filter = tr("CSV-Dateien (*.csv *.txt);;Alle Dateien (*)");
    const QString path =
        openFileChooser() ? openFileChooser()(m_dialogParent, title, filter)
                          : QFileDialog::getOpenFileName(m_dialogParent, title, QString(), filter);
    if (path.isEmpty())
        return;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        Seams::information(title,
                           tr("%1 kann nicht gelesen werden:\n%2").arg(path, file.errorString()));
        return;
    }
    if (file.size() > maxFileBytes) {
        Seams::information(title, tr("%1 ist zu groß für eine Vergütungsdatei.").arg(path));
        return;
    }
    importRatingData(eventId, ships, file.read(maxFileBytes));
}

void RatingFlow::importRatingData(int eventId, const QList<Ship *> &ships, const QByteArray &data)
{
    QList<Handicap::NamedBoat> boats;
    boats.reserve(ships.size());
    for (const Ship *ship : ships)
        boats.append({ship->id(), ship->startnr(), ship->name()});
    const Handicap::RatingFile parsed = Handicap::parseRatings(data, boats);
    if (!parsed.ratings.isEmpty())
        store(eventId, parsed.ratings);
    if (!parsed.errors.isEmpty()) {
        Seams::information(tr("Vergütungen importieren"),
                           tr("Nicht übernommene Zeilen:") + QStringLiteral("\n") +
                               parsed.errors.join(QLatin1Char('\n')));
    }
    emit message(tr("Vergütungen übernommen: %1").arg(parsed.ratings.size()), statusMessageMs);
}

void RatingFlow::store(int eventId, const QHash<int, Rating> &ratings)
{
    QString error;
    if (!RatingStore::store(eventId, ratings, &error)) {
        Seams::critical(tr("Vergütungen"),
                        tr("Die Vergütungen konnten nicht gespeichert werden:\n%1").arg(error),
                        QMessageBox::Ok);
        return;
    }
    emit ratingsChanged(RatingStore::ratings(eventId));
}
