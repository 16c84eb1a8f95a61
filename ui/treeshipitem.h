#ifndef VELMARO_UI_TREESHIPITEM_H
#define VELMARO_UI_TREESHIPITEM_H

#include <QColor>
#include <QStandardItem>
#include <QString>

// One legend row: a boat (column "Nr." of its row) or a boat class. The id is
// the boat's id; class rows carry classRowId so that they match no boat.
class TreeShipItem : public QStandardItem
{
public:
    static constexpr int classRowId = 9999;
    static constexpr int itemType = QStandardItem::UserType + 17;

    // Class row: bold, checkable, not selectable.
    TreeShipItem(const QString &className, bool checked);
    // Boat row: start number with a colour swatch; creates the name, skipper
    // and team items, which the row owner puts beside it.
    TreeShipItem(const QString &startnr, const QString &name, const QString &skipper,
                 const QString &team, const QColor &colour, int id, bool show);

    int type() const override { return itemType; }
    int id() const { return m_id; }
    QString label() const { return m_label; }
    bool isClassRow() const { return m_id == classRowId; }

    QStandardItem *nameItem() const { return m_nameItem; }
    QStandardItem *skipperItem() const { return m_skipperItem; }
    QStandardItem *teamItem() const { return m_teamItem; }

    // The legend item behind a model item, or nullptr.
    static TreeShipItem *cast(QStandardItem *item);

private:
    int m_id = classRowId;
    QString m_label;
    QStandardItem *m_nameItem = nullptr;
    QStandardItem *m_skipperItem = nullptr;
    QStandardItem *m_teamItem = nullptr;
};

#endif
