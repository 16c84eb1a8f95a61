#ifndef VELMARO_UI_RATINGDIALOG_H
#define VELMARO_UI_RATINGDIALOG_H

#include "store/ratingstore.h"

#include <QDialog>

class QComboBox;
class QDoubleSpinBox;
class QLabel;

// Enters one boat's rating: none, a time-on-time factor or a time-on-distance
// allowance in seconds per nautical mile.
class RatingDialog : public QDialog
{
    Q_OBJECT
public:
    RatingDialog(const QString &boat, const Rating &rating, QWidget *parent = nullptr);

    Rating rating() const;
    void setRating(const Rating &rating);

    QComboBox *systemBox() const { return m_system; }
    QDoubleSpinBox *valueBox() const { return m_value; }

private:
    void systemChanged();

    QComboBox *m_system = nullptr;
    QDoubleSpinBox *m_value = nullptr;
    QLabel *m_unit = nullptr;
};

#endif
