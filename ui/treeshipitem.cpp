#include "ui/treeshipitem.h"

#include "scene/ship.h"

#include <QFont>
#include <QPainter>
#include <QPixmap>

namespace
{
constexpr Qt::ItemFlags classRowFlags = Qt::ItemIsUserCheckable | Qt::ItemIsEnabled;
constexpr Qt::ItemFlags boatRowFlags =
    Qt::ItemIsSelectable | Qt::ItemIsUserCheckable | Qt::ItemIsEnabled;
constexpr int swatchSize = 12;

QStandardItem *textItem(const QString &text)
{
    auto *item = new QStandardItem(text);
    item->setEditable(false);
    return item;
}
} // namespace

TreeShipItem::TreeShipItem(const QString &className, bool checked)
    : QStandardItem(className), m_id(classRowId), m_label(className)
{
    setCheckable(true);
    setCheckState(checked ? Qt::Checked : Qt::Unchecked);
    setFlags(classRowFlags);
    QFont bold;
    bold.setWeight(QFont::Bold);
    setData(bold, Qt::FontRole);
}

TreeShipItem::TreeShipItem(const QString &startnr, const QString &name, const QString &skipper,
                           const QString &team, const QColor &colour, int id, bool show)
    : QStandardItem(startnr), m_id(id), m_label(startnr)
{
    QPixmap swatch(swatchSize, swatchSize);
    swatch.fill(colour);
    {
        QPainter rim(&swatch); // a white boat's swatch on a white row
        rim.setPen(Ship::outlineColour());
        rim.drawRect(0, 0, swatchSize - 1, swatchSize - 1);
    }
    setData(swatch, Qt::DecorationRole);
    setCheckable(true);
    setCheckState(show ? Qt::Checked : Qt::Unchecked);
    setFlags(boatRowFlags);
    m_nameItem = textItem(name);
    m_skipperItem = textItem(skipper);
    m_teamItem = textItem(team);
}

TreeShipItem *TreeShipItem::cast(QStandardItem *item)
{
    if (item && item->type() == itemType)
        return static_cast<TreeShipItem *>(item);
    return nullptr;
}
