#include "ui/iconselector.h"
#include "messagerecorder.h"
#include "ui/treeshipitem.h"
#include "ui/treeviewmodel.h"

#include <QHeaderView>
#include <QSignalSpy>
#include <QTest>
#include <QTreeView>

using namespace Qt::StringLiterals;

namespace
{
// Stands in for the main window's three slots.
class Receiver : public QObject
{
    Q_OBJECT
public:
    int toggles = 0;
    QList<int> clicked;
    QList<QPair<int, bool>> checked;
public slots:
    void toggleLegende() { ++toggles; }
    void checkship(TreeShipItem *item) { clicked.append(item->id()); }
    void shiponoff(TreeShipItem *item, bool on) { checked.append({item->id(), on}); }
};

LegendBoat boat(int id, const QString &nr, const QString &colour, bool show = true)
{
    LegendBoat b;
    b.id = id;
    b.startnr = nr;
    b.name = u"Boot %1"_s.arg(id);
    b.skipper = u"Skipper %1"_s.arg(id);
    b.team = u"Team %1"_s.arg(id);
    b.colour = QColor(colour);
    b.show = show;
    return b;
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

    // Lasten: 4 "11", 9 "12"; Regatta: 2 "3" hidden; Yacht: 7 "21", 8 "22", 5 "23".
    void fill()
    {
        m_indexes[0] = m_legend->addGroup(u"Lasten"_s, {boat(4, u"11"_s, u"#ff008a"_s),
                                                        boat(9, u"12"_s, u"#00ffcc"_s)}, 0);
        m_indexes[1] = m_legend->addGroup(u"Regatta"_s, {boat(2, u"3"_s, u"#9000ff"_s, false)}, 1);
        m_indexes[2] = m_legend->addGroup(
            u"Yacht"_s, {boat(7, u"21"_s, u"#00ff00"_s), boat(8, u"22"_s, u"#ffff00"_s),
                         boat(5, u"23"_s, u"#0000ff"_s)}, 2);
        m_legend->treeView()->expandAll();
    }
    QModelIndex group(int row) const { return m_legend->model()->index(row, 0); }
    TreeShipItem *item(const QModelIndex &index) const
    {
        return TreeShipItem::cast(m_legend->model()->itemFromIndex(index));
    }
    void showLegend()
    {
        m_legend->show();
        QVERIFY(QTest::qWaitForWindowExposed(m_legend));
    }

private slots:
    void init()
    {
        m_legend = new IconSelector;
        m_legend->resize(600, 400);
        fill();
    }
    void cleanup()
    {
        delete m_legend;
        m_legend = nullptr;
    }

    void classRowsBoatRowsAndHeaders()
    {
        TreeViewModel *model = m_legend->model();
        QCOMPARE(model->rowCount(), 3);
        const QStringList names{u"Lasten"_s, u"Regatta"_s, u"Yacht"_s};
        const int children[] = {2, 1, 3};
        for (int row = 0; row < 3; ++row) {
            QCOMPARE(group(row).data().toString(), names.at(row));
            QCOMPARE(model->rowCount(group(row)), children[row]);
            QVERIFY(m_legend->treeView()->isFirstColumnSpanned(row, QModelIndex()));
            QVERIFY(m_legend->treeView()->isExpanded(group(row)));
            QCOMPARE(group(row).data(Qt::FontRole).value<QFont>().weight(), QFont::Bold);
            QCOMPARE(checkState(group(row)), int(Qt::Checked));
            QVERIFY(!group(row).data(Qt::DecorationRole).value<QIcon>().isNull());
            QCOMPARE(int(model->flags(group(row))), 0x30);
            QCOMPARE(item(group(row))->id(), TreeShipItem::classRowId);
        }
        // boats in the given (start number) order
        for (int k = 0; k < 3; ++k)
            QCOMPARE(model->index(k, 0, group(2)).data().toString(), QString::number(21 + k));

        const QModelIndex first = m_indexes[0].at(0);
        QCOMPARE(first, model->index(0, 0, group(0)));
        const QStringList cells{u"11"_s, u"Team 4"_s, u"Boot 4"_s, u"Skipper 4"_s, QString()};
        for (int c = 0; c < 5; ++c)
            QCOMPARE(first.sibling(0, c).data().toString(), cells.at(c));
        QCOMPARE(int(model->flags(first)), 0x31);
        QVERIFY(!(model->flags(first.sibling(0, 2)) & Qt::ItemIsEditable));
        const QPixmap swatch = first.data(Qt::DecorationRole).value<QPixmap>();
        QCOMPARE(swatch.size(), QSize(12, 12));
        QCOMPARE(swatch.toImage().pixelColor(6, 6), QColor(u"#ff008a"_s));
        QCOMPARE(checkState(m_indexes[1].at(0)), int(Qt::Unchecked));
        QCOMPARE(item(m_indexes[2].at(2))->id(), 5);
        QCOMPARE(item(m_indexes[2].at(2))->label(), u"23"_s);

        const QStringList headers{u"Nr."_s, u"Team"_s, u"Boot"_s, u"Skipper"_s,
                                  u"letzte Meldung"_s};
        QCOMPARE(model->columnCount(), 5);
        for (int c = 0; c < 5; ++c) {
            QCOMPARE(model->headerData(c, Qt::Horizontal).toString(), headers.at(c));
            QCOMPARE(model->headerData(c, Qt::Horizontal, Qt::TextAlignmentRole).toInt(), 0x81);
        }

        // cleared for a new race, and filled again from row 0
        m_legend->clearShips();
        QCOMPARE(model->rowCount(), 0);
        QCOMPARE(model->columnCount(), 5);
        m_legend->addGroup(u"Yacht"_s, {boat(1, u"1"_s, u"#ff0000"_s)}, 0);
        QCOMPARE(model->rowCount(), 1);
    }

    void classUncheckHidesBoatsBoatsFirst()
    {
        QSignalSpy spy(m_legend, &IconSelector::shipChecked);
        TreeViewModel *model = m_legend->model();
        QVERIFY(model->setData(group(2), Qt::Unchecked, Qt::CheckStateRole));
        const int expected[] = {7, 8, 5, TreeShipItem::classRowId};
        QCOMPARE(spy.count(), 4);
        for (int i = 0; i < 4; ++i) {
            QCOMPARE(spy.at(i).at(0).value<TreeShipItem *>()->id(), expected[i]);
            QCOMPARE(spy.at(i).at(1).toBool(), false);
        }
        for (const QModelIndex &index : m_indexes[2])
            QCOMPARE(checkState(index), int(Qt::Unchecked));
        QCOMPARE(checkState(group(2)), int(Qt::Unchecked));
        QCOMPARE(checkState(m_indexes[0].at(0)), int(Qt::Checked)); // other classes untouched

        spy.clear();
        QVERIFY(model->setData(group(2), Qt::Checked, Qt::CheckStateRole));
        QCOMPARE(spy.count(), 4);
        QCOMPARE(spy.at(0).at(1).toBool(), true);
        QCOMPARE(checkState(m_indexes[2].at(1)), int(Qt::Checked));
    }

    void boatCheckReportsOnlyThatBoat()
    {
        QSignalSpy spy(m_legend, &IconSelector::shipChecked);
        const QModelIndex hidden = m_indexes[1].at(0);
        m_legend->model()->setData(hidden, Qt::Checked, Qt::CheckStateRole);
        QCOMPARE(spy.count(), 1);
        QCOMPARE(spy.at(0).at(0).value<TreeShipItem *>()->id(), 2);
        QCOMPARE(spy.at(0).at(1).toBool(), true);
        // other roles and columns report nothing
        m_legend->model()->setData(hidden, u"x"_s, Qt::EditRole);
        m_legend->model()->setData(hidden.sibling(0, 2), Qt::Checked, Qt::CheckStateRole);
        QCOMPARE(spy.count(), 1);
    }

    void clickOnAnyCellReportsTheBoatOnlyBoats()
    {
        showLegend();
        QTreeView *tree = m_legend->treeView();
        QSignalSpy spy(m_legend, &IconSelector::shipClicked);
        const QModelIndex nr = m_indexes[0].at(1);
        QTest::mouseClick(tree->viewport(), Qt::LeftButton, {},
                          tree->visualRect(nr.sibling(nr.row(), 3)).center());
        const QRect nrRect = tree->visualRect(nr);
        QTest::mouseClick(tree->viewport(), Qt::LeftButton, {},
                          QPoint(nrRect.right() - 3, nrRect.center().y()));
        QCOMPARE(spy.count(), 2);
        QCOMPARE(spy.at(0).at(0).value<TreeShipItem *>(), spy.at(1).at(0).value<TreeShipItem *>());
        QCOMPARE(spy.at(0).at(0).value<TreeShipItem *>()->id(), 9);

        // a class row or no row reports nothing
        QTest::mouseClick(tree->viewport(), Qt::LeftButton, {},
                          tree->visualRect(group(1)).center());
        m_legend->curItem(QModelIndex());
        QCOMPARE(spy.count(), 2);
    }

    void numberColumnStaysFirst()
    {
        QHeaderView *header = m_legend->treeView()->header();
        header->moveSection(0, 3);
        QCOMPARE(header->visualIndex(0), 0);
        header->moveSection(2, 0); // "Boot" dragged to the front goes back
        QCOMPARE(header->visualIndex(2), 2);
        QCOMPARE(header->visualIndex(0), 0);
        header->moveSection(1, 3); // other columns move freely
        QCOMPARE(header->visualIndex(1), 3);
        QCOMPARE(header->visualIndex(0), 0);
    }

    void spaceTogglesPanelNotCheckBox()
    {
        showLegend();
        QTreeView *tree = m_legend->treeView();
        tree->setCurrentIndex(m_indexes[0].at(0));
        tree->setFocus();
        QSignalSpy toggles(m_legend, &IconSelector::toggleLegende);
        QSignalSpy checks(m_legend, &IconSelector::shipChecked);
        QTest::keyClick(tree, Qt::Key_Space);
        QCOMPARE(toggles.count(), 1);
        QCOMPARE(checks.count(), 0);
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

    void connectsToWindowSlots()
    {
        MessageRecorder boxes;
        Receiver window;
        m_legend->connectToMainWindow(&window);
        QCOMPARE(boxes.count(), 0);
        emit m_legend->toggleLegende();
        m_legend->curItem(m_indexes[2].at(1).sibling(m_indexes[2].at(1).row(), 2));
        m_legend->model()->setData(m_indexes[0].at(0), Qt::Unchecked, Qt::CheckStateRole);
        QCOMPARE(window.toggles, 1);
        QCOMPARE(window.clicked, QList<int>{8});
        QCOMPARE(window.checked, (QList<QPair<int, bool>>{{4, false}}));

        // without a window every connection fails with its own box
        m_legend->connectToMainWindow<Receiver>(nullptr);
        QCOMPARE(boxes.titles(), QStringList(3, u"cono"_s));
        QCOMPARE(boxes.texts(), (QStringList{u"toggleLegende not connected"_s,
                                             u"shipClicked not connected"_s,
                                             u"shipChecked not connected"_s}));
        QCOMPARE(boxes.boxes().at(0).buttons, QMessageBox::StandardButtons(QMessageBox::Cancel));
        QCOMPARE(boxes.boxes().at(0).icon, QMessageBox::Critical);
    }
};

QTEST_MAIN(TestLegend)
#include "tst_legend.moc"
