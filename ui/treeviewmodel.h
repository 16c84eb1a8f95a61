#ifndef VELMARO_UI_TREEVIEWMODEL_H
#define VELMARO_UI_TREEVIEWMODEL_H

#include <QStandardItemModel>
#include <QStringList>

// The legend's model. A check change in column 0 cascades to the row's
// children first (each reports itself), then is reported for the row.
class TreeViewModel : public QStandardItemModel
{
    Q_OBJECT
public:
    TreeViewModel(QObject *parent, const QStringList &headers);

    bool setData(const QModelIndex &index, const QVariant &value, int role = Qt::EditRole) override;

    int headerCount() const { return m_columns; }

signals:
    void shipOnOff(const QModelIndex &index, bool on);

private:
    int m_columns = 0;
};

#endif
