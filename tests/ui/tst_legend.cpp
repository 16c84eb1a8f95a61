#include "ui/iconselector.h"
#include "ui/treeshipitem.h"
#include "ui/treeviewmodel.h"

#include <QtTest>
#include <QtWidgets>

using namespace Qt::StringLiterals;

namespace
{
LegendBoat boat(int id, bool show = true)
{
    return {id, QString::number(id + 10), u"Boot %1"_s.arg(id), {}, {}, QColor(Qt::blue), show};
}

int checkState(const QModelIndex &index)
{
    return index.data(Qt::CheckStateRole).toInt();
}
} // namespace

class TestLegend : public QObject
{
    Q_OBJECT
    IconSelector *m_legend = nullptr;
    QList<QModelIndex> m_indexes[3];

    QModelIndex group(int row) const { return m_legend->model()->index(row, 0); }

private slots:
    void init()
    {
        m_legend = new IconSelector;
        m_legend->resize(600, 400);
        // Lasten: 4, 9; Regatta: 2 hidden; Yacht: 7, 8, 5.
        m_indexes[0] = m_legend->addGroup(u"Lasten"_s, {boat(4), boat(9)}, 0);
        m_indexes[1] = m_legend->addGroup(u"Regatta"_s, {boat(2, false)}, 1);
        m_indexes[2] = m_legend->addGroup(u"Yacht"_s, {boat(7), boat(8), boat(5)}, 2);
        m_legend->treeView()->expandAll();
    }
    void cleanup() { delete m_legend; }

    void classUncheckHidesBoatsBoatsFirst()
    {
        QSignalSpy spy(m_legend, &IconSelector::shipChecked);
        TreeViewModel *model = m_legend->model();
        QVERIFY(model->setData(group(2), Qt::Unchecked, Qt::CheckStateRole));
        QList<int> ids;
        for (const QList<QVariant> &args : spy)
            ids << (args.at(1).toBool() ? -1 : args.at(0).value<TreeShipItem *>()->id());
        QCOMPARE(ids, (QList<int>{7, 8, 5, TreeShipItem::classRowId}));
        QCOMPARE(checkState(m_indexes[2].at(2)), int(Qt::Unchecked));
        QCOMPARE(checkState(m_indexes[0].at(0)), int(Qt::Checked)); // other classes untouched
        spy.clear();
        QVERIFY(model->setData(group(2), Qt::Checked, Qt::CheckStateRole));
        QCOMPARE(spy.count(), 4);
        QCOMPARE(checkState(m_indexes[2].at(1)), int(Qt::Checked));
    }

    void clickOnAnyCellReportsTheBoatOnlyBoats()
    {
        m_legend->show();
        QVERIFY(QTest::qWaitForWindowExposed(m_legend));
        QTreeView *tree = m_legend->treeView();
        QSignalSpy spy(m_legend, &IconSelector::shipClicked);
        const QModelIndex nr = m_indexes[0].at(1);
        QTest::mouseClick(tree->viewport(), Qt::LeftButton, {},
                          tree->visualRect(nr.sibling(nr.row(), 3)).center());
        const QRect nrRect = tree->visualRect(nr);
        QTest::mouseClick(tree->viewport(), Qt::LeftButton, {},
                          QPoint(nrRect.right() - 3, nrRect.center().y()));
        const auto id = [&](int i) { return spy.at(i).at(0).value<TreeShipItem *>()->id(); };
        QCOMPARE(spy.count(), 2);
        QVERIFY(id(0) == 9 && id(1) == 9);
        // a class row or no row reports nothing
        QTest::mouseClick(tree->viewport(), Qt::LeftButton, {},
                          tree->visualRect(group(1)).center());
        m_legend->curItem(QModelIndex());
        QCOMPARE(spy.count(), 2);
    }

    void spaceTogglesPanelNotCheckBox()
    {
        m_legend->show();
        QVERIFY(QTest::qWaitForWindowExposed(m_legend));
        QTreeView *tree = m_legend->treeView();
        tree->setCurrentIndex(m_indexes[0].at(0));
        tree->setFocus();
        QSignalSpy toggles(m_legend, &IconSelector::toggleLegende);
        QSignalSpy checks(m_legend, &IconSelector::shipChecked);
        QTest::keyClick(tree, Qt::Key_Space);
        QCOMPARE((QList<qsizetype>{toggles.count(), checks.count()}), (QList<qsizetype>{1, 0}));
        QCOMPARE(checkState(m_indexes[0].at(0)), int(Qt::Checked));
    }

    void escapeDoesNotHideLegendPage()
    {
        QWidget page;
        auto *legend = new IconSelector(&page);
        legend->setParent(&page, Qt::Widget);
        page.show();
        QVERIFY(QTest::qWaitForWindowExposed(&page));
        legend->treeView()->setFocus();
        QTest::keyClick(legend->treeView(), Qt::Key_Escape);
        QVERIFY(legend->isVisible());
    }
};

QTEST_MAIN(TestLegend)
#include "tst_legend.moc"
