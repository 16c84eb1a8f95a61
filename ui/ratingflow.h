#ifndef VELMARO_UI_RATINGFLOW_H
#define VELMARO_UI_RATINGFLOW_H

#include "store/ratingstore.h"

#include <QHash>
#include <QList>
#include <QObject>
#include <QString>

#include <functional>

class QWidget;
class Ship;

// Ratings of the boats of a race: entered for one boat in a dialog, or
// imported from a CSV file, and stored in the database.
class RatingFlow : public QObject
{
    Q_OBJECT
public:
    // Dialogs open over dialogParent.
    explicit RatingFlow(QWidget *dialogParent);

    // Asks for the file to read; empty means cancelled. Tests replace it; an
    // empty function restores QFileDialog::getOpenFileName.
    using OpenFileChooser =
        std::function<QString(QWidget *parent, const QString &caption, const QString &filter)>;
    static void setOpenFileChooser(OpenFileChooser chooser);
    // Runs the dialog for a boat and returns whether it was accepted. Tests
    // replace it; an empty function restores the real dialog.
    using RatingAsker = std::function<bool(const QString &boat, Rating *rating)>;
    static void setRatingAsker(RatingAsker asker);

    // The dialog for one boat of race eventId; the rating is stored when accepted.
    void editRating(int eventId, const Ship &ship);
    // Reads a rating file for the boats of race eventId. Bad lines are named in
    // one box and give nothing; the good ones are stored.
    void importRatings(int eventId, const QList<Ship *> &ships);
    // The same for file contents already read.
    void importRatingData(int eventId, const QList<Ship *> &ships, const QByteArray &data);

    // A rating file is read only up to this size.
    static constexpr qint64 maxFileBytes = 1 << 20;

signals:
    // The race's ratings as now stored.
    void ratingsChanged(const QHash<int, Rating> &ratings);
    // For the status bar.
    void message(const QString &text, int timeoutMs);

private:
    void store(int eventId, const QHash<int, Rating> &ratings);

    QWidget *m_dialogParent;
};

#endif
