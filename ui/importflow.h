#ifndef VELMARO_UI_IMPORTFLOW_H
#define VELMARO_UI_IMPORTFLOW_H

#include "store/race.h"
#include "tracking/trackimport.h"

#include <QDialog>
#include <QStringList>

#include <functional>

class QDialogButtonBox;
class QLineEdit;
class QTableWidget;

// Asks for the race's name and lets the user edit each boat's name, class
// and sail number before the import.
class ImportDialog : public QDialog
{
    Q_OBJECT
public:
    ImportDialog(const QVector<TrackImport::Boat> &boats, const QString &suggestedName,
                 QWidget *parent = nullptr);

    QString raceName() const;
    // The boats with the edits of the table.
    QVector<TrackImport::Boat> boats() const;

    QLineEdit *nameEdit() const { return m_name; }
    QTableWidget *table() const { return m_table; }
    QDialogButtonBox *buttons() const { return m_buttons; }

private:
    QVector<TrackImport::Boat> m_boats;
    QLineEdit *m_name;
    QTableWidget *m_table;
    QDialogButtonBox *m_buttons;
};

namespace ImportFlow
{

// Shows the dialog; true when it was accepted. Tests fill it in instead.
using DialogRunner = std::function<bool(ImportDialog &)>;

// Reads the files; refused files are named with their reasons in one box and
// nothing is stored; files with bad points are imported without them only
// when the user agrees. Then the dialog, then the race is stored. The stored
// race, or one with id 0 when nothing was stored.
Race run(const QStringList &paths, QWidget *parent, const DialogRunner &runDialog = {});

} // namespace ImportFlow

#endif
