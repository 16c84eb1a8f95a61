#include "ui/treeviewmodel.h"

TreeViewModel::TreeViewModel(QObject *parent, const QStringList &headers)
    : QStandardItemModel(parent), m_columns(int(headers.size()))
{
    setColumnCount(m_columns);
    setHorizontalHeaderLabels(headers);
    for (int column = 0; column < m_columns; ++column)
        setHeaderData(column, Qt::Horizontal, int(Qt::AlignLeft | Qt::AlignVCenter),
                      Qt::TextAlignmentRole);
}

bool TreeViewModel::setData(const QModelIndex &index, const QVariant &value, int role)
{
    if (index.isValid() && index.column() == 0 && role == Qt::CheckStateRole) {
        const int children = rowCount(index);
        for (int i = 0; i < children; ++i)
            setData(this->index(i, 0, index), value, Qt::CheckStateRole);
        emit shipOnOff(index, value.toInt() == Qt::Checked);
    }
    return QStandardItemModel::setData(index, value, role);
}
