#ifndef VELMARO_UI_MANOEUVREPANEL_H
#define VELMARO_UI_MANOEUVREPANEL_H

#include "scene/raceanalysis.h"

#include <QList>
#include <QWidget>

#include <functional>
#include <optional>

class QComboBox;
class QLabel;
class QPushButton;
class QSpinBox;
class QTreeWidget;
class Ship;

// The "Manöver" tab: the wind at the shown moment and where it comes from,
// the tacks and gybes of the followed boat (a click moves the slider there),
// and how many each boat sailed.
class ManoeuvrePanel : public QWidget
{
    Q_OBJECT
public:
    explicit ManoeuvrePanel(QWidget *parent = nullptr);

    QLabel *windLabel() const { return m_wind; }
    QTreeWidget *followedList() const { return m_followed; }
    QTreeWidget *fleetList() const { return m_fleet; }
    QComboBox *windSourceBox() const { return m_source; }
    QSpinBox *windDirectionBox() const { return m_direction; }

    // Asks for the wind file to read; tests answer without a dialog.
    using OpenFileChooser = std::function<QString(QWidget *parent, const QString &caption)>;
    static void setOpenFileChooser(OpenFileChooser chooser);
    // Reads a wind file: on any bad line one message names them and nothing is used.
    bool loadWindFile(const QString &path);

    // The leg a boat sails at a moment: the gates it has passed (0 before the start).
    using LegOf = std::function<int(int shipId, int t)>;
    // Fills the lists for the boats of the race at moment t.
    void show(const RaceAnalysis &analysis, const QList<Ship *> &ships, const Ship *followed, int t,
              const LegOf &legOf = {});
    static QString windText(const RaceAnalysis::Wind &wind);
    static QString kindText(Sailing::ManoeuvreKind kind);

signals:
    void momentChosen(int t);
    // The user chose where the wind comes from.
    void fixedWindChosen(std::optional<double> from);
    void windSamplesChosen(const QVector<WindSample> &samples);

private:
    QLabel *m_wind;
    QLabel *m_followedTitle;
    QTreeWidget *m_followed;
    QTreeWidget *m_fleet;
    QComboBox *m_source;
    QSpinBox *m_direction;
    QPushButton *m_fileButton;
    const Ship *m_shownFor = nullptr;
    int m_shownGeneration = -1;
    QVector<WindSample> m_samples;
    void applySource();
};

#endif
