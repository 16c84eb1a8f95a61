#include "ui/importflow.h"

#include "platform/seams.h"

#include <QDialogButtonBox>
#include <QFileInfo>
#include <QFormLayout>
#include <QHeaderView>
#include <QLineEdit>
#include <QPushButton>
#include <QTableWidget>
#include <QVBoxLayout>

namespace
{

enum Column { FileColumn, NameColumn, ClassColumn, SailNumberColumn };

} // namespace

ImportDialog::ImportDialog(const QVector<TrackImport::Boat> &boats, const QString &suggestedName,
                           QWidget *parent)
    : QDialog(parent), m_boats(boats), m_name(new QLineEdit(suggestedName)),
      m_table(new QTableWidget(int(boats.size()), 4)),
      m_buttons(new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel))
{
    setWindowTitle(tr("Regatta aus Dateien importieren"));
    m_table->setHorizontalHeaderLabels({tr("Datei"), tr("Boot"), tr("Klasse"), tr("Segelnummer")});
    m_table->horizontalHeader()->setStretchLastSection(true);
    m_table->verticalHeader()->hide();
    for (int row = 0; row < boats.size(); ++row) {
        const TrackImport::Boat &boat = boats.at(row);
        auto *file = new QTableWidgetItem(QFileInfo(boat.file).fileName());
        file->setFlags(file->flags() & ~Qt::ItemIsEditable);
        m_table->setItem(row, FileColumn, file);
        m_table->setItem(row, NameColumn, new QTableWidgetItem(boat.name));
        m_table->setItem(row, ClassColumn, new QTableWidgetItem(boat.klasse));
        m_table->setItem(row, SailNumberColumn, new QTableWidgetItem(boat.startnr));
    }
    m_table->resizeColumnsToContents();

    auto *form = new QFormLayout;
    form->addRow(tr("Name der Regatta:"), m_name);
    auto *layout = new QVBoxLayout(this);
    layout->addLayout(form);
    layout->addWidget(m_table);
    layout->addWidget(m_buttons);
    connect(m_buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(m_buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    const auto update = [this] {
        m_buttons->button(QDialogButtonBox::Ok)->setEnabled(!raceName().isEmpty());
    };
    connect(m_name, &QLineEdit::textChanged, this, update);
    update();
    resize(560, 360);
}

QString ImportDialog::raceName() const
{
    return m_name->text().trimmed();
}

QVector<TrackImport::Boat> ImportDialog::boats() const
{
    QVector<TrackImport::Boat> edited = m_boats;
    for (int row = 0; row < edited.size(); ++row) {
        const auto text = [this, row](int column) {
            const QTableWidgetItem *item = m_table->item(row, column);
            return item ? item->text().trimmed() : QString();
        };
        // A boat left without a name keeps the one from its file.
        if (!text(NameColumn).isEmpty())
            edited[row].name = text(NameColumn);
        edited[row].klasse = text(ClassColumn);
        edited[row].startnr = text(SailNumberColumn);
    }
    return edited;
}

namespace ImportFlow
{

Race run(const QStringList &paths, QWidget *parent, const DialogRunner &runDialog)
{
    if (paths.isEmpty())
        return {};
    const TrackImport::Batch batch = TrackImport::readFiles(paths);
    const QString title = ImportDialog::tr("Regatta aus Dateien importieren");
    if (batch.anyRefused()) {
        Seams::MessageBoxRequest box;
        box.icon = QMessageBox::Warning;
        box.title = title;
        box.text = ImportDialog::tr("Diese Dateien können nicht importiert werden; es wurde "
                                    "nichts gespeichert:");
        box.informativeText = (batch.refusals() + batch.partialNotes()).join(QLatin1Char('\n'));
        box.buttons = QMessageBox::Ok;
        Seams::showMessage(box);
        return {};
    }
    if (batch.anyPartlyBad()) {
        Seams::MessageBoxRequest box;
        box.icon = QMessageBox::Question;
        box.title = title;
        box.text = ImportDialog::tr("Einige Punkte sind fehlerhaft. Nur die guten Punkte "
                                    "importieren?");
        box.informativeText = batch.partialNotes().join(QLatin1Char('\n'));
        box.buttons = QMessageBox::Yes | QMessageBox::No;
        box.defaultButton = QMessageBox::No;
        if (Seams::showMessage(box) != QMessageBox::Yes)
            return {};
    }

    ImportDialog dialog(batch.boats(), batch.suggestedName(), parent);
    const bool accepted = runDialog ? runDialog(dialog) : dialog.exec() == QDialog::Accepted;
    if (!accepted || dialog.raceName().isEmpty())
        return {};
    const ImportedRace::Result stored =
        TrackImport::storeRace(dialog.raceName(), dialog.boats(), batch.marks());
    if (!stored.ok) {
        Seams::critical(
            title,
            ImportDialog::tr("Die Regatta konnte nicht gespeichert werden: %1").arg(stored.error),
            QMessageBox::Ok);
        return {};
    }
    return stored.race;
}

} // namespace ImportFlow
