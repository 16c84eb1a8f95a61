#include "iconselector.h"
#include "messagerecorder.h"
#include "treeshipitem.h"
#include "treeviewmodel.h"

#include <QHeaderView>
#include <QSignalSpy>
#include <QTest>
#include <QTreeView>

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
    b.name = QStringLiteral("Boot %1").arg(id);
    b.skipper = QStringLiteral("Skipper %1").arg(id);
    b.team = QStringLiteral("Team %1").arg(id);
    b.colour = QColor(colour);
    b.show = show;
    return b;
}
} // namespace

class TestLegend : public QObject
{
    Q_OBJECT
private slots:
    void init();
    void cleanup();

    void threeClassesGiveBoldSpanningGroups();
    void boatRowsCarryColourCheckAndColumns();
    void headersAreLeftAlignedAndLastColumnEmpty();
    void classUncheckHidesBoatsBoatsFirst();
    void boatCheckReportsOnlyThatBoat();
    void clickOnAnyCellReportsColumnZero();
    void clickOnClassRowReportsNothing();
    void numberColumnStaysFirst();
    void spaceTogglesPanelNotCheckBox();
    void escapeDoesNotHideLegendPage();
    void connectsToWindowSlots();
    void failedConnectionsShowConoBoxes();
    void clearShipsRemovesAllRows();

private:
    IconSelector *m_legend = nullptr;
    QList<QModelIndex> m_indexes[3];
    void fillThreeClasses();
    QModelIndex groupIndex(int row) const { return m_legend->model()->index(row, 0); }
};

void TestLegend::init()
{
    m_legend = new IconSelector;
    m_legend->resize(600, 400);
}

void TestLegend::cleanup()
{
    delete m_legend;
    m_legend = nullptr;
}

void TestLegend::fillThreeClasses()
{
    m_indexes[0] = m_legend->addGroup(QStringLiteral("Lasten"),
                                      {boat(4, QStringLiteral("11"), QStringLiteral("#ff008a")),
                                       boat(9, QStringLiteral("12"), QStringLiteral("#00ffcc"))},
                                      0);
    m_indexes[1] =
        m_legend->addGroup(QStringLiteral("Regatta"),
                           {boat(2, QStringLiteral("3"), QStringLiteral("#9000ff"), false)}, 1);
    m_indexes[2] = m_legend->addGroup(QStringLiteral("Yacht"),
                                      {boat(7, QStringLiteral("21"), QStringLiteral("#00ff00")),
                                       boat(8, QStringLiteral("22"), QStringLiteral("#ffff00")),
                                       boat(5, QStringLiteral("23"), QStringLiteral("#0000ff"))},
                                      2);
    m_legend->treeView()->expandAll();
}

void TestLegend::threeClassesGiveBoldSpanningGroups()
{
    fillThreeClasses();
    TreeViewModel *model = m_legend->model();
    QCOMPARE(model->rowCount(), 3);
    const QStringList names{QStringLiteral("Lasten"), QStringLiteral("Regatta"),
                            QStringLiteral("Yacht")};
    const int children[] = {2, 1, 3};
    for (int row = 0; row < 3; ++row) {
        const QModelIndex group = groupIndex(row);
        QCOMPARE(group.data().toString(), names.at(row));
        QCOMPARE(model->rowCount(group), children[row]);
        QVERIFY(m_legend->treeView()->isFirstColumnSpanned(row, QModelIndex()));
        QVERIFY(m_legend->treeView()->isExpanded(group));
        QCOMPARE(group.data(Qt::FontRole).value<QFont>().weight(), QFont::Bold);
        QCOMPARE(group.data(Qt::CheckStateRole).toInt(), int(Qt::Checked));
        QVERIFY(!group.data(Qt::DecorationRole).value<QIcon>().isNull());
        QCOMPARE(int(model->flags(group)), 0x30);
        auto *item = TreeShipItem::cast(model->itemFromIndex(group));
        QVERIFY(item);
        QCOMPARE(item->id(), TreeShipItem::classRowId);
        QCOMPARE(item->label(), names.at(row));
    }
    // boats in the given (start number) order
    const QModelIndex yacht = groupIndex(2);
    QCOMPARE(model->index(0, 0, yacht).data().toString(), QStringLiteral("21"));
    QCOMPARE(model->index(1, 0, yacht).data().toString(), QStringLiteral("22"));
    QCOMPARE(model->index(2, 0, yacht).data().toString(), QStringLiteral("23"));
}

void TestLegend::boatRowsCarryColourCheckAndColumns()
{
    fillThreeClasses();
    TreeViewModel *model = m_legend->model();
    const QModelIndex first = m_indexes[0].at(0);
    QCOMPARE(first, model->index(0, 0, groupIndex(0)));
    QCOMPARE(first.data().toString(), QStringLiteral("11"));
    QCOMPARE(first.sibling(0, 1).data().toString(), QStringLiteral("Team 4"));
    QCOMPARE(first.sibling(0, 2).data().toString(), QStringLiteral("Boot 4"));
    QCOMPARE(first.sibling(0, 3).data().toString(), QStringLiteral("Skipper 4"));
    QCOMPARE(int(model->flags(first)), 0x31);
    QVERIFY(!(model->flags(first.sibling(0, 2)) & Qt::ItemIsEditable));

    const QPixmap swatch = first.data(Qt::DecorationRole).value<QPixmap>();
    QCOMPARE(swatch.size(), QSize(12, 12));
    QCOMPARE(swatch.toImage().pixelColor(6, 6), QColor(QStringLiteral("#ff008a")));

    QCOMPARE(m_indexes[1].at(0).data(Qt::CheckStateRole).toInt(), int(Qt::Unchecked));
    QCOMPARE(m_indexes[2].at(2).data(Qt::CheckStateRole).toInt(), int(Qt::Checked));
    auto *item = TreeShipItem::cast(model->itemFromIndex(m_indexes[2].at(2)));
    QVERIFY(item);
    QCOMPARE(item->id(), 5);
    QCOMPARE(item->label(), QStringLiteral("23"));
}

void TestLegend::headersAreLeftAlignedAndLastColumnEmpty()
{
    fillThreeClasses();
    TreeViewModel *model = m_legend->model();
    QCOMPARE(model->columnCount(), 5);
    const QStringList headers{QStringLiteral("Nr."), QStringLiteral("Team"), QStringLiteral("Boot"),
                              QStringLiteral("Skipper"), QStringLiteral("letzte Meldung")};
    for (int c = 0; c < 5; ++c) {
        QCOMPARE(model->headerData(c, Qt::Horizontal).toString(), headers.at(c));
        QCOMPARE(model->headerData(c, Qt::Horizontal, Qt::TextAlignmentRole).toInt(), 0x81);
    }
    QVERIFY(model->index(0, 4, groupIndex(0)).data().toString().isEmpty());
}

void TestLegend::classUncheckHidesBoatsBoatsFirst()
{
    fillThreeClasses();
    QSignalSpy spy(m_legend, &IconSelector::shipChecked);
    TreeViewModel *model = m_legend->model();
    QVERIFY(model->setData(groupIndex(2), Qt::Unchecked, Qt::CheckStateRole));

    QCOMPARE(spy.count(), 4);
    const int expected[] = {7, 8, 5, TreeShipItem::classRowId};
    for (int i = 0; i < 4; ++i) {
        QCOMPARE(spy.at(i).at(0).value<TreeShipItem *>()->id(), expected[i]);
        QCOMPARE(spy.at(i).at(1).toBool(), false);
    }
    for (const QModelIndex &index : m_indexes[2])
        QCOMPARE(index.data(Qt::CheckStateRole).toInt(), int(Qt::Unchecked));
    QCOMPARE(groupIndex(2).data(Qt::CheckStateRole).toInt(), int(Qt::Unchecked));
    // the other classes are untouched
    QCOMPARE(m_indexes[0].at(0).data(Qt::CheckStateRole).toInt(), int(Qt::Checked));

    spy.clear();
    QVERIFY(model->setData(groupIndex(2), Qt::Checked, Qt::CheckStateRole));
    QCOMPARE(spy.count(), 4);
    QCOMPARE(spy.at(0).at(1).toBool(), true);
    QCOMPARE(m_indexes[2].at(1).data(Qt::CheckStateRole).toInt(), int(Qt::Checked));
}

void TestLegend::boatCheckReportsOnlyThatBoat()
{
    fillThreeClasses();
    QSignalSpy spy(m_legend, &IconSelector::shipChecked);
    m_legend->model()->setData(m_indexes[1].at(0), Qt::Checked, Qt::CheckStateRole);
    QCOMPARE(spy.count(), 1);
    QCOMPARE(spy.at(0).at(0).value<TreeShipItem *>()->id(), 2);
    QCOMPARE(spy.at(0).at(1).toBool(), true);
    // other roles and columns report nothing
    m_legend->model()->setData(m_indexes[1].at(0), QStringLiteral("x"), Qt::EditRole);
    m_legend->model()->setData(m_indexes[1].at(0).sibling(0, 2), Qt::Checked, Qt::CheckStateRole);
    QCOMPARE(spy.count(), 1);
}

void TestLegend::clickOnAnyCellReportsColumnZero()
{
    fillThreeClasses();
    m_legend->show();
    QVERIFY(QTest::qWaitForWindowExposed(m_legend));
    QTreeView *tree = m_legend->treeView();
    QSignalSpy spy(m_legend, &IconSelector::shipClicked);

    const QModelIndex nr = m_indexes[0].at(1);
    const QModelIndex skipper = nr.sibling(nr.row(), 3);
    QTest::mouseClick(tree->viewport(), Qt::LeftButton, {}, tree->visualRect(skipper).center());
    QCOMPARE(spy.count(), 1);
    const QRect nrRect = tree->visualRect(nr);
    QTest::mouseClick(tree->viewport(), Qt::LeftButton, {},
                      QPoint(nrRect.right() - 3, nrRect.center().y()));
    QCOMPARE(spy.count(), 2);
    auto *a = spy.at(0).at(0).value<TreeShipItem *>();
    auto *b = spy.at(1).at(0).value<TreeShipItem *>();
    QCOMPARE(a, b);
    QCOMPARE(a->id(), 9);
}

void TestLegend::clickOnClassRowReportsNothing()
{
    fillThreeClasses();
    m_legend->show();
    QVERIFY(QTest::qWaitForWindowExposed(m_legend));
    QSignalSpy spy(m_legend, &IconSelector::shipClicked);
    QTreeView *tree = m_legend->treeView();
    QTest::mouseClick(tree->viewport(), Qt::LeftButton, {},
                      tree->visualRect(groupIndex(1)).center());
    m_legend->curItem(QModelIndex());
    QCOMPARE(spy.count(), 0);
}

void TestLegend::numberColumnStaysFirst()
{
    fillThreeClasses();
    QHeaderView *header = m_legend->treeView()->header();
    header->moveSection(0, 3);
    QCOMPARE(header->visualIndex(0), 0);
    // "Boot" dragged to the front goes back where it came from
    header->moveSection(2, 0);
    QCOMPARE(header->visualIndex(2), 2);
    QCOMPARE(header->visualIndex(0), 0);
    // other columns move freely
    header->moveSection(1, 3);
    QCOMPARE(header->visualIndex(1), 3);
    QCOMPARE(header->visualIndex(0), 0);
}

void TestLegend::spaceTogglesPanelNotCheckBox()
{
    fillThreeClasses();
    m_legend->show();
    QVERIFY(QTest::qWaitForWindowExposed(m_legend));
    QTreeView *tree = m_legend->treeView();
    const QModelIndex nr = m_indexes[0].at(0);
    tree->setCurrentIndex(nr);
    tree->setFocus();
    QSignalSpy toggles(m_legend, &IconSelector::toggleLegende);
    QSignalSpy checks(m_legend, &IconSelector::shipChecked);
    QTest::keyClick(tree, Qt::Key_Space);
    QCOMPARE(toggles.count(), 1);
    QCOMPARE(checks.count(), 0);
    QCOMPARE(nr.data(Qt::CheckStateRole).toInt(), int(Qt::Checked));
}

void TestLegend::escapeDoesNotHideLegendPage()
{
    QWidget page;
    auto *legend = new IconSelector(&page);
    legend->setParent(&page, Qt::Widget);
    page.show();
    QVERIFY(QTest::qWaitForWindowExposed(&page));
    QVERIFY(legend->isVisible());
    legend->treeView()->setFocus();
    QTest::keyClick(legend->treeView(), Qt::Key_Escape);
    QVERIFY(legend->isVisible());
}

void TestLegend::connectsToWindowSlots()
{
    fillThreeClasses();
    MessageRecorder boxes;
    Receiver window;
    m_legend->connectToMainWindow(&window);
    QCOMPARE(boxes.count(), 0);

    emit m_legend->toggleLegende();
    m_legend->curItem(m_indexes[2].at(1).sibling(m_indexes[2].at(1).row(), 2));
    m_legend->model()->setData(m_indexes[0].at(0), Qt::Unchecked, Qt::CheckStateRole);
    QCOMPARE(window.toggles, 1);
    QCOMPARE(window.clicked, QList<int>{8});
    QCOMPARE(window.checked.size(), 1);
    QCOMPARE(window.checked.at(0), qMakePair(4, false));
}

void TestLegend::failedConnectionsShowConoBoxes()
{
    MessageRecorder boxes;
    m_legend->connectToMainWindow<Receiver>(nullptr);
    QCOMPARE(boxes.count(), 3);
    QCOMPARE(boxes.titles(), QStringList(3, QStringLiteral("cono")));
    QCOMPARE(boxes.texts(), (QStringList{QStringLiteral("toggleLegende not connected"),
                                         QStringLiteral("shipClicked not connected"),
                                         QStringLiteral("shipChecked not connected")}));
    QCOMPARE(boxes.boxes().at(0).buttons, QMessageBox::StandardButtons(QMessageBox::Cancel));
    QCOMPARE(boxes.boxes().at(0).icon, QMessageBox::Critical);
}

void TestLegend::clearShipsRemovesAllRows()
{
    fillThreeClasses();
    m_legend->clearShips();
    QCOMPARE(m_legend->model()->rowCount(), 0);
    QCOMPARE(m_legend->model()->columnCount(), 5);
    // a new race fills it again from row 0
    m_legend->addGroup(QStringLiteral("Yacht"),
                       {boat(1, QStringLiteral("1"), QStringLiteral("#ff0000"))}, 0);
    QCOMPARE(m_legend->model()->rowCount(), 1);
}

QTEST_MAIN(TestLegend)
#include "tst_legend.moc"
