#include "ui/ratingdialog.h"

#include "scene/handicap.h"

#include <QComboBox>
#include <QDialogButtonBox>
#include <QDoubleSpinBox>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QVBoxLayout>

RatingDialog::RatingDialog(const QString &boat, const Rating &rating, QWidget *parent)
    : QDialog(parent)
{
    setWindowTitle(tr("Vergütung: %1").arg(boat));
    m_system = new QComboBox;
    m_system->addItem(tr("keine"), int(Rating::System::None));
    m_system->addItem(Handicap::systemText(Rating::System::TimeOnTime),
                      int(Rating::System::TimeOnTime));
    m_system->addItem(Handicap::systemText(Rating::System::TimeOnDistance),
                      int(Rating::System::TimeOnDistance));
    m_value = new QDoubleSpinBox;
    m_unit = new QLabel;
    auto *valueRow = new QHBoxLayout;
    valueRow->addWidget(m_value, 1);
    valueRow->addWidget(m_unit);

    auto *form = new QFormLayout;
    form->addRow(tr("System"), m_system);
    form->addRow(tr("Wert"), valueRow);
    auto *hint = new QLabel(tr("Time-on-Time: berechnete Zeit = Segelzeit × Faktor.\n"
                               "Time-on-Distance: berechnete Zeit = Segelzeit − Vergütung × "
                               "Bahnlänge in Seemeilen."));
    hint->setWordWrap(true);
    auto *buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    auto *layout = new QVBoxLayout(this);
    layout->addLayout(form);
    layout->addWidget(hint);
    layout->addWidget(buttons);

    connect(m_system, &QComboBox::currentIndexChanged, this, &RatingDialog::systemChanged);
    setRating(rating);
}

void RatingDialog::setRating(const Rating &rating)
{
    m_system->setCurrentIndex(m_system->findData(int(rating.system)));
    systemChanged();
    if (rating.isSet())
        m_value->setValue(rating.value);
}

void RatingDialog::systemChanged()
{
    const auto system = Rating::System(m_system->currentData().toInt());
    m_value->setEnabled(system != Rating::System::None);
    // The ranges are those Rating::isValid accepts.
    if (system == Rating::System::TimeOnDistance) {
        m_value->setDecimals(1);
        m_value->setRange(-3600.0, 3600.0);
        m_value->setSingleStep(1.0);
        m_value->setValue(0.0);
        m_unit->setText(tr("s/sm"));
    } else {
        m_value->setDecimals(4);
        m_value->setRange(0.0001, 9.9999);
        m_value->setSingleStep(0.001);
        m_value->setValue(1.0);
        m_unit->setText(tr("Faktor"));
    }
}

Rating RatingDialog::rating() const
{
    Rating rating;
    rating.system = Rating::System(m_system->currentData().toInt());
    if (rating.isSet())
        rating.value = m_value->value();
    return rating;
}
