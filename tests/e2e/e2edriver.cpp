// velmaro-e2e: the program with a driver that steers it through its own widgets.
// One command a line, tab-separated fields, each answered by one JSON line
// {"ok":true,"value":...} or {"ok":false,"error":"..."}. The commands come from
// the local socket VELMARO_E2E_SOCKET, or from the file VELMARO_E2E_SCRIPT with
// the answers appended to VELMARO_E2E_REPORT; a script may also
// "wait <sql> <value> <ms>" and "sleep <ms>". Commands: trigger <menu> <action>,
// clicklegend <boat>, key <name>, slider, setslider <moment|N%>, state,
// sql <statement>, resize <w> <h>, geometry <x> <y> <w> <h>, mark <text>, close.
#include "app/startup.h"
#include "map/karte.h"
#include "scene/ship.h"
#include "tracking/trackingclient.h"
#include "ui/iconselector.h"
#include "ui/mainwindow.h"
#include "ui/regatta.h"

#include <QtNetwork>
#include <QtSql>
#include <QtTest>
#include <QtWidgets>

namespace
{
QByteArray reply(bool ok, const QJsonValue &value)
{
    return QJsonDocument(QJsonObject{{"ok", ok}, {ok ? "value" : "error", value}})
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

    MainWindow *w;
    Regatta *r;
    QStringList script;
    QString report;
    QTimer timer;
    qint64 waitUntil = 0;

    QByteArray execute(const QString &line)
    {
        const QStringList f = line.split('\t');
        const QString c = f.value(0);
        QSlider *s = w->timeSlider();
        if (c == "mark")
            return reply(true, f.value(1));
        if (c == "trigger")
            return trigger(f.value(1), f.value(2));
        if (c == "clicklegend")
            return clickLegend(f.value(1).toInt());
        if (c == "key") {
            const QKeySequence key = QKeySequence::fromString(f.value(1));
            if (key.isEmpty())
                return reply(false, "unknown key " + f.value(1));
            QTest::keyClick(w, key[0].key());
            return reply(true, true);
        }
        if (c == "slider")
            return reply(
                true,
                QJsonObject{{"min", s->minimum()}, {"max", s->maximum()}, {"value", s->value()}});
        if (c == "setslider") {
            const QString v = f.value(1);
            s->setValue(v.endsWith('%') ? s->minimum() + int((s->maximum() - s->minimum()) *
                                                             v.chopped(1).toDouble() / 100)
                                        : v.toInt());
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
        if (c == "resize" || c == "geometry") {
            const auto n = [&f](int i) { return f.value(i).toInt(); };
            c == "resize" ? w->resize(n(1), n(2)) : w->setGeometry(n(1), n(2), n(3), n(4));
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

    QByteArray trigger(const QString &menu, const QString &action)
    {
        for (QAction *m : w->menuBar()->actions()) {
            for (QAction *a :
                 m->menu() && m->text() == menu ? m->menu()->actions() : QList<QAction *>()) {
                // Race entries carry their start date after the name.
                if (a->text() != action && !a->text().startsWith(action + " ("))
                    continue;
                if (!a->isEnabled())
                    return reply(false, "disabled: " + action);
                a->trigger();
                return reply(true, true);
            }
        }
        return reply(false, "no action " + action);
    }

    QByteArray clickLegend(int boat)
    {
        const Ship *ship = r->shipById(boat);
        if (!ship || !ship->legendIndex().isValid())
            return reply(false, "no legend row");
        // The name cell follows the boat without touching the check box.
        const QModelIndex index = QModelIndex(ship->legendIndex()).siblingAtColumn(1);
        QTreeView *tree = w->legend()->treeView();
        tree->expand(index.parent());
        tree->scrollTo(index);
        const QRect rect = tree->visualRect(index);
        if (!tree->isVisible() || !tree->viewport()->rect().contains(rect.center()))
            return reply(false, "legend row not on screen");
        QTest::mouseClick(tree->viewport(), Qt::LeftButton, {}, rect.center());
        return reply(true, true);
    }

    QJsonObject state() const
    {
        // Open transfers counted on the client's own manager: the lamp is no transfer count.
        int open = 0;
        for (const QNetworkReply *n :
             w->tracking()->networkManager()->findChildren<QNetworkReply *>())
            open += !n->isFinished();
        open += w->tracking()->waitingReplies();
        const QRect g = w->geometry();
        QJsonObject o{{"title", w->windowTitle()},
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

    void runScript()
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
};

// Starts the driver the environment names, if any; owned by the window.
void attach(MainWindow *window, Regatta *regatta)
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
    QFile file(scriptPath);
    if (!scriptPath.isEmpty() && file.open(QIODevice::ReadOnly | QIODevice::Text)) {
        d->script = QString::fromUtf8(file.readAll()).split('\n');
        d->report = qEnvironmentVariable("VELMARO_E2E_REPORT");
        d->timer.setSingleShot(true);
        QObject::connect(&d->timer, &QTimer::timeout, d, &Driver::runScript);
        d->timer.start(0);
    }
}
} // namespace

int main(int argc, char *argv[])
{
    return Startup::run(argc, argv, &attach);
}
