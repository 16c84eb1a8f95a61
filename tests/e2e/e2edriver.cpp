#include "e2edriver.h"

#include "map/karte.h"
#include "scene/ship.h"
#include "tracking/trackingclient.h"
#include "ui/iconselector.h"
#include "ui/mainwindow.h"
#include "ui/regatta.h"
#include "ui/treeshipitem.h"
#include "ui/treeviewmodel.h"

#include <QAction>
#include <QDateTime>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLocalSocket>
#include <QMenu>
#include <QMenuBar>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QSlider>
#include <QSqlError>
#include <QSqlQuery>
#include <QSqlRecord>
#include <QTest>
#include <QTimer>
#include <QTreeView>

namespace
{

QByteArray reply(bool ok, const QJsonValue &value)
{
    return QJsonDocument(ok ? QJsonObject{{"ok", true}, {"value", value}}
                            : QJsonObject{{"ok", false}, {"error", value}})
        .toJson(QJsonDocument::Compact);
}

QJsonObject geo(const GeoPoint &p)
{
    return {{"lat", p.lat()}, {"lng", p.lng()}};
}

class Driver : public QObject
{
public:
    Driver(MainWindow *window, Regatta *regatta) : QObject(window), w(window), r(regatta) {}

    QByteArray execute(const QString &line);
    void runScript();

    MainWindow *w;
    Regatta *r;
    QStringList script;
    QString report;
    QTimer timer;
    qint64 waitUntil = 0;

private:
    QMenu *menu(const QString &title) const
    {
        for (QAction *a : w->menuBar()->actions())
            if (a->menu() && a->text() == title)
                return a->menu();
        return nullptr;
    }
    QByteArray clickLegend(int boat);
    QJsonObject state() const;
};

QByteArray Driver::execute(const QString &line)
{
    const QStringList f = line.split(QLatin1Char('\t'));
    const QString c = f.value(0);
    if (c == "mark")
        return reply(true, f.value(1));
    if (c == "trigger") {
        QMenu *m = menu(f.value(1));
        for (QAction *a : m ? m->actions() : QList<QAction *>()) {
            if (a->text() != f.value(2))
                continue;
            if (!a->isEnabled())
                return reply(false, "disabled: " + f.value(2));
            a->trigger();
            return reply(true, true);
        }
        return reply(false, "no action " + f.value(2));
    }
    if (c == "clicklegend")
        return clickLegend(f.value(1).toInt());
    if (c == "key") {
        static const QMap<QString, Qt::Key> keys = {
            {"Space", Qt::Key_Space}, {"PageUp", Qt::Key_PageUp}, {"Plus", Qt::Key_Plus},
            {"Minus", Qt::Key_Minus}, {"Left", Qt::Key_Left},     {"Right", Qt::Key_Right}};
        if (!keys.contains(f.value(1)))
            return reply(false, "unknown key " + f.value(1));
        QTest::keyClick(w, keys.value(f.value(1)));
        return reply(true, true);
    }
    QSlider *s = w->timeSlider();
    if (c == "slider")
        return reply(
            true, QJsonObject{{"min", s->minimum()}, {"max", s->maximum()}, {"value", s->value()}});
    if (c == "setslider") {
        QString v = f.value(1);
        if (v.endsWith('%'))
            s->setValue(s->minimum() +
                        int((s->maximum() - s->minimum()) * v.chopped(1).toDouble() / 100));
        else
            s->setValue(v.toInt());
        return reply(true, s->value());
    }
    if (c == "state")
        return reply(true, state());
    if (c == "sql") {
        QSqlQuery q;
        if (!q.exec(f.mid(1).join('\t')))
            return reply(false, q.lastError().text());
        QJsonArray rows;
        while (q.next()) {
            QJsonArray row;
            for (int i = 0; i < q.record().count(); ++i)
                row.append(QJsonValue::fromVariant(q.value(i)));
            rows.append(row);
        }
        return reply(true, rows);
    }
    if (c == "timeouts") {
        // Short transfer timeouts give a hanging service up within a test's patience.
        w->tracking()->setTransferTimeout(f.value(1).toInt());
        w->karte()->setTileTimeout(f.value(1).toInt());
        return reply(true, f.value(1).toInt());
    }
    if (c == "resize" || c == "geometry") {
        if (c == "resize")
            w->resize(f.value(1).toInt(), f.value(2).toInt());
        else
            w->setGeometry(f.value(1).toInt(), f.value(2).toInt(), f.value(3).toInt(),
                           f.value(4).toInt());
        QCoreApplication::processEvents();
        return reply(true, true);
    }
    if (c == "close") {
        // Answer first: closing ends the process.
        QTimer::singleShot(0, w, &QWidget::close);
        return reply(true, true);
    }
    return reply(false, "unknown command " + c);
}

QByteArray Driver::clickLegend(int boat)
{
    QTreeView *tree = w->legend()->treeView();
    const TreeViewModel *model = w->legend()->model();
    for (int g = 0; g < model->rowCount(); ++g) {
        const QStandardItem *group = model->item(g, 0);
        for (int c = 0; c < group->rowCount(); ++c) {
            const auto *item = TreeShipItem::cast(group->child(c, 0));
            if (!item || item->id() != boat)
                continue;
            // The name cell follows the boat without touching the check box.
            const QModelIndex index = model->indexFromItem(group->child(c, 1));
            tree->expand(index.parent());
            tree->scrollTo(index);
            const QRect rect = tree->visualRect(index);
            if (!tree->isVisible() || !tree->viewport()->rect().contains(rect.center()))
                return reply(false, "legend row not on screen");
            QTest::mouseClick(tree->viewport(), Qt::LeftButton, {}, rect.center());
            return reply(true, true);
        }
    }
    return reply(false, "no legend row");
}

QJsonObject Driver::state() const
{
    // Open transfers counted on the client's own manager: the lamp is no transfer count.
    int open = 0;
    for (const QNetworkReply *n : w->tracking()->networkManager()->findChildren<QNetworkReply *>())
        open += !n->isFinished();
    const QRect g = w->geometry();
    QJsonObject o{{"title", w->windowTitle()},
                  {"eventId", r->eventId()},
                  {"taskId", r->taskId()},
                  {"race", r->name()},
                  {"panelOpen", w->isPanelOpen()},
                  {"openTransfers", open},
                  {"ships", int(r->ships().size())},
                  {"centre", geo(w->karte()->projection().centre())},
                  {"mapWidth", w->karte()->width()},
                  {"mapHeight", w->karte()->height()},
                  {"geometry", QJsonArray{g.x(), g.y(), g.width(), g.height()}}};
    for (const Ship *ship : r->ships()) {
        if (!ship->follow())
            continue;
        o.insert("followed", ship->id());
        if (ship->currentPoint())
            o.insert("followedAt", geo(ship->currentPoint()->position));
        o.insert("followedX", ship->screenPos().x());
        o.insert("followedY", ship->screenPos().y());
        break;
    }
    return o;
}

void Driver::runScript()
{
    while (!script.isEmpty()) {
        const QString line = script.first().trimmed();
        const QStringList f = line.split('\t');
        if (f.first() == "sleep") {
            script.removeFirst();
            return timer.start(f.value(1).toInt());
        }
        QByteArray answer;
        if (f.first() == "wait") {
            const qint64 now = QDateTime::currentMSecsSinceEpoch();
            if (waitUntil == 0)
                waitUntil = now + f.value(3, "60000").toInt();
            QSqlQuery q;
            const QString value =
                q.exec(f.value(1)) && q.next() ? q.value(0).toString() : QString();
            if (value != f.value(2) && now < waitUntil)
                return timer.start(200);
            waitUntil = 0;
            answer = reply(value == f.value(2),
                           value == f.value(2) ? value : "waited in vain: " + value);
        } else if (!line.isEmpty() && !line.startsWith('#')) {
            answer = execute(line);
        }
        script.removeFirst();
        QFile out(report);
        if (!answer.isEmpty() && !report.isEmpty() &&
            out.open(QIODevice::WriteOnly | QIODevice::Append))
            out.write(answer + '\n');
        if (f.first() == "close")
            return;
    }
}

} // namespace

void E2eDriver::attach(MainWindow *window, Regatta *regatta)
{
    const QString socketName = qEnvironmentVariable("VELMARO_E2E_SOCKET");
    const QString scriptPath = qEnvironmentVariable("VELMARO_E2E_SCRIPT");
    if (socketName.isEmpty() && scriptPath.isEmpty())
        return;
    auto *d = new Driver(window, regatta);
    if (!socketName.isEmpty()) {
        auto *socket = new QLocalSocket(d);
        QObject::connect(
            socket, &QLocalSocket::readyRead, d, [d, socket, buffer = QByteArray()]() mutable {
                buffer += socket->readAll();
                for (qsizetype end; (end = buffer.indexOf('\n')) >= 0;) {
                    const QByteArray answer = d->execute(QString::fromUtf8(buffer.left(end)));
                    buffer.remove(0, end + 1);
                    socket->write(answer + '\n');
                    socket->flush();
                }
            });
        socket->connectToServer(socketName);
        if (!socket->waitForConnected(10000))
            qWarning("e2e driver: cannot reach %s", qPrintable(socketName));
    }
    if (!scriptPath.isEmpty()) {
        QFile file(scriptPath);
        if (file.open(QIODevice::ReadOnly | QIODevice::Text))
            d->script = QString::fromUtf8(file.readAll()).split('\n');
        d->report = qEnvironmentVariable("VELMARO_E2E_REPORT");
        d->timer.setSingleShot(true);
        QObject::connect(&d->timer, &QTimer::timeout, d, &Driver::runScript);
        d->timer.start(0);
    }
}
