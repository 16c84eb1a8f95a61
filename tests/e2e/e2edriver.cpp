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
#include <QCoreApplication>
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

QByteArray answer(const QJsonValue &value)
{
    QJsonObject object{{QStringLiteral("ok"), true}, {QStringLiteral("value"), value}};
    return QJsonDocument(object).toJson(QJsonDocument::Compact);
}

QByteArray failure(const QString &error)
{
    QJsonObject object{{QStringLiteral("ok"), false}, {QStringLiteral("error"), error}};
    return QJsonDocument(object).toJson(QJsonDocument::Compact);
}

QJsonObject geo(const GeoPoint &p)
{
    return QJsonObject{{QStringLiteral("lat"), p.lat()}, {QStringLiteral("lng"), p.lng()}};
}

QMenu *menuByTitle(QMenuBar *bar, const QString &title)
{
    for (QAction *action : bar->actions()) {
        if (action->menu() && action->text() == title)
            return action->menu();
    }
    return nullptr;
}

const QMap<QString, Qt::Key> keys = {
    {QStringLiteral("Space"), Qt::Key_Space}, {QStringLiteral("PageUp"), Qt::Key_PageUp},
    {QStringLiteral("Plus"), Qt::Key_Plus},   {QStringLiteral("Minus"), Qt::Key_Minus},
    {QStringLiteral("Left"), Qt::Key_Left},   {QStringLiteral("Right"), Qt::Key_Right},
};

} // namespace

E2eDriver::E2eDriver(MainWindow *window, Regatta *regatta)
    : QObject(window), m_window(window), m_regatta(regatta)
{
    const QString socketName = qEnvironmentVariable("VELMARO_E2E_SOCKET");
    if (!socketName.isEmpty()) {
        m_socket = new QLocalSocket(this);
        connect(m_socket, &QLocalSocket::readyRead, this, &E2eDriver::readSocket);
        m_socket->connectToServer(socketName);
        if (!m_socket->waitForConnected(10000))
            qWarning("e2e driver: cannot reach %s", qPrintable(socketName));
    }
    const QString scriptPath = qEnvironmentVariable("VELMARO_E2E_SCRIPT");
    if (!scriptPath.isEmpty()) {
        QFile script(scriptPath);
        if (script.open(QIODevice::ReadOnly | QIODevice::Text))
            m_script = QString::fromUtf8(script.readAll()).split(QLatin1Char('\n'));
        m_reportPath = qEnvironmentVariable("VELMARO_E2E_REPORT");
        m_scriptTimer = new QTimer(this);
        m_scriptTimer->setSingleShot(true);
        connect(m_scriptTimer, &QTimer::timeout, this, &E2eDriver::runScript);
        m_scriptTimer->start(0);
    }
}

void E2eDriver::attach(MainWindow *window, Regatta *regatta)
{
    if (qEnvironmentVariableIsEmpty("VELMARO_E2E_SOCKET") &&
        qEnvironmentVariableIsEmpty("VELMARO_E2E_SCRIPT"))
        return;
    new E2eDriver(window, regatta);
}

void E2eDriver::readSocket()
{
    m_buffer += m_socket->readAll();
    qsizetype end;
    while ((end = m_buffer.indexOf('\n')) >= 0) {
        const QString line = QString::fromUtf8(m_buffer.left(end));
        m_buffer.remove(0, end + 1);
        const QByteArray reply = execute(line);
        m_socket->write(reply + '\n');
        m_socket->flush();
    }
}

void E2eDriver::writeReport(const QByteArray &line)
{
    if (m_reportPath.isEmpty())
        return;
    QFile report(m_reportPath);
    if (report.open(QIODevice::WriteOnly | QIODevice::Append))
        report.write(line + '\n');
}

void E2eDriver::runScript()
{
    while (!m_script.isEmpty()) {
        const QString line = m_script.first().trimmed();
        if (line.isEmpty() || line.startsWith(QLatin1Char('#'))) {
            m_script.removeFirst();
            continue;
        }
        const QStringList fields = line.split(QLatin1Char('\t'));
        if (fields.first() == QLatin1String("sleep")) {
            m_script.removeFirst();
            m_scriptTimer->start(fields.value(1).toInt());
            return;
        }
        if (fields.first() == QLatin1String("wait")) {
            const qint64 now = QDateTime::currentMSecsSinceEpoch();
            if (m_waitDeadline == 0)
                m_waitDeadline = now + fields.value(3, QStringLiteral("60000")).toInt();
            const QString value = scalar(fields.value(1));
            if (value != fields.value(2) && now < m_waitDeadline) {
                m_scriptTimer->start(200);
                return;
            }
            writeReport(value == fields.value(2)
                            ? answer(value)
                            : failure(QStringLiteral("waited in vain: %1 gives %2")
                                          .arg(fields.value(1), value)));
            m_waitDeadline = 0;
            m_script.removeFirst();
            continue;
        }
        m_script.removeFirst();
        writeReport(execute(line));
        if (fields.first() == QLatin1String("close"))
            return;
    }
}

QByteArray E2eDriver::execute(const QString &line)
{
    const QStringList f = line.split(QLatin1Char('\t'));
    const QString command = f.value(0);
    QString error;
    if (command == QLatin1String("ping"))
        return answer(QStringLiteral("pong"));
    if (command == QLatin1String("actions"))
        return answer(actions(f.value(1)));
    if (command == QLatin1String("trigger"))
        return trigger(f.value(1), f.value(2), &error) ? answer(true) : failure(error);
    if (command == QLatin1String("clicklegend"))
        return clickLegend(f.value(1).toInt(), &error) ? answer(true) : failure(error);
    if (command == QLatin1String("key")) {
        if (!keys.contains(f.value(1)))
            return failure(QStringLiteral("unknown key ") + f.value(1));
        QTest::keyClick(m_window, keys.value(f.value(1)));
        return answer(true);
    }
    if (command == QLatin1String("slider")) {
        const QSlider *s = m_window->timeSlider();
        return answer(QJsonObject{{QStringLiteral("min"), s->minimum()},
                                  {QStringLiteral("max"), s->maximum()},
                                  {QStringLiteral("value"), s->value()}});
    }
    if (command == QLatin1String("setslider")) {
        // A moment, or "60%" of the way through the slider's range.
        QSlider *s = m_window->timeSlider();
        QString value = f.value(1);
        if (value.endsWith(QLatin1Char('%'))) {
            value.chop(1);
            s->setValue(s->minimum() + int((s->maximum() - s->minimum()) * value.toDouble() / 100));
        } else {
            s->setValue(value.toInt());
        }
        return answer(s->value());
    }
    if (command == QLatin1String("state"))
        return answer(state());
    if (command == QLatin1String("ships"))
        return answer(ships());
    if (command == QLatin1String("sql")) {
        const QJsonValue rows = sql(f.mid(1).join(QLatin1Char('\t')), &error);
        return error.isEmpty() ? answer(rows) : failure(error);
    }
    if (command == QLatin1String("timeouts")) {
        // Short transfer timeouts, so that a hanging service is given up
        // within a test's patience.
        const int ms = f.value(1).toInt();
        m_window->tracking()->setTransferTimeout(ms);
        m_window->karte()->setTileTimeout(ms);
        return answer(ms);
    }
    if (command == QLatin1String("resize")) {
        m_window->resize(f.value(1).toInt(), f.value(2).toInt());
        QCoreApplication::processEvents();
        return answer(true);
    }
    if (command == QLatin1String("geometry")) {
        m_window->setGeometry(f.value(1).toInt(), f.value(2).toInt(), f.value(3).toInt(),
                              f.value(4).toInt());
        QCoreApplication::processEvents();
        return answer(true);
    }
    if (command == QLatin1String("mark"))
        return answer(f.value(1));
    if (command == QLatin1String("close")) {
        // Answer first: closing ends the event loop and the process.
        QTimer::singleShot(0, m_window, &QWidget::close);
        return answer(true);
    }
    return failure(QStringLiteral("unknown command ") + command);
}

QJsonValue E2eDriver::actions(const QString &title) const
{
    QJsonArray texts;
    if (QMenu *menu = menuByTitle(m_window->menuBar(), title)) {
        for (QAction *action : menu->actions()) {
            if (!action->isSeparator())
                texts.append(action->text());
        }
    }
    return texts;
}

bool E2eDriver::trigger(const QString &title, const QString &text, QString *error)
{
    QMenu *menu = menuByTitle(m_window->menuBar(), title);
    if (!menu) {
        *error = QStringLiteral("no menu ") + title;
        return false;
    }
    for (QAction *action : menu->actions()) {
        if (action->text() == text) {
            if (!action->isEnabled()) {
                *error = QStringLiteral("disabled: ") + text;
                return false;
            }
            action->trigger();
            return true;
        }
    }
    *error = QStringLiteral("no action %1 in %2").arg(text, title);
    return false;
}

bool E2eDriver::clickLegend(int boatId, QString *error)
{
    QTreeView *tree = m_window->legend()->treeView();
    const TreeViewModel *model = m_window->legend()->model();
    for (int r = 0; r < model->rowCount(); ++r) {
        const QStandardItem *group = model->item(r, 0);
        for (int c = 0; c < group->rowCount(); ++c) {
            const auto *item = TreeShipItem::cast(group->child(c, 0));
            if (!item || item->id() != boatId)
                continue;
            // The name cell: a click there follows the boat without
            // touching the check box of the number cell.
            const QModelIndex index = model->indexFromItem(group->child(c, 1));
            tree->expand(index.parent());
            tree->scrollTo(index);
            const QRect rect = tree->visualRect(index);
            if (!tree->isVisible() || rect.isEmpty() ||
                !tree->viewport()->rect().contains(rect.center())) {
                *error = QStringLiteral("legend row of boat %1 is not on screen").arg(boatId);
                return false;
            }
            QTest::mouseClick(tree->viewport(), Qt::LeftButton, {}, rect.center());
            return true;
        }
    }
    *error = QStringLiteral("no legend row for boat %1").arg(boatId);
    return false;
}

QJsonValue E2eDriver::state() const
{
    QJsonObject o;
    o.insert(QStringLiteral("title"), m_window->windowTitle());
    o.insert(QStringLiteral("eventId"), m_regatta->eventId());
    o.insert(QStringLiteral("taskId"), m_regatta->taskId());
    o.insert(QStringLiteral("race"), m_regatta->name());
    o.insert(QStringLiteral("panelOpen"), m_window->isPanelOpen());
    // Tracking transfers not yet handled, counted on the client's own
    // manager: the window's lamp count is not a transfer count.
    int open = 0;
    const auto replies = m_window->tracking()->networkManager()->findChildren<QNetworkReply *>();
    for (const QNetworkReply *reply : replies)
        open += !reply->isFinished();
    o.insert(QStringLiteral("openTransfers"), open);
    o.insert(QStringLiteral("ships"), int(m_regatta->ships().size()));
    const MapProjection &projection = m_window->karte()->projection();
    o.insert(QStringLiteral("centre"), geo(projection.centre()));
    o.insert(QStringLiteral("mapWidth"), m_window->karte()->width());
    o.insert(QStringLiteral("mapHeight"), m_window->karte()->height());
    const QRect g = m_window->geometry();
    o.insert(QStringLiteral("geometry"), QJsonArray{g.x(), g.y(), g.width(), g.height()});
    for (const Ship *ship : m_regatta->ships()) {
        if (!ship->follow())
            continue;
        o.insert(QStringLiteral("followed"), ship->id());
        if (ship->currentPoint())
            o.insert(QStringLiteral("followedAt"), geo(ship->currentPoint()->position));
        o.insert(QStringLiteral("followedX"), ship->screenPos().x());
        o.insert(QStringLiteral("followedY"), ship->screenPos().y());
        break;
    }
    return o;
}

QJsonValue E2eDriver::ships() const
{
    QJsonArray list;
    for (const Ship *ship : m_regatta->ships()) {
        list.append(QJsonObject{
            {QStringLiteral("id"), ship->id()},
            {QStringLiteral("points"), ship->rawTrack()->count()},
        });
    }
    return list;
}

QJsonValue E2eDriver::sql(const QString &statement, QString *error) const
{
    QSqlQuery query;
    if (!query.exec(statement)) {
        *error = query.lastError().text();
        return QJsonValue();
    }
    QJsonArray rows;
    while (query.next()) {
        QJsonArray row;
        for (int i = 0; i < query.record().count(); ++i)
            row.append(QJsonValue::fromVariant(query.value(i)));
        rows.append(row);
    }
    return rows;
}

QString E2eDriver::scalar(const QString &statement) const
{
    QSqlQuery query;
    if (!query.exec(statement) || !query.next())
        return QString();
    return query.value(0).toString();
}
