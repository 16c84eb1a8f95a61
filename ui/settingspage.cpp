#include "ui/settingspage.h"

#include <QCheckBox>
#include <QFormLayout>
#include <QGroupBox>
#include <QLabel>
#include <QSqlQuery>

#include <optional>

namespace
{
constexpr int defaultPollInterval = 5;

void storePreference(const char *column, bool on)
{
    QSqlQuery query;
    const QString sql =
        QStringLiteral("UPDATE prefs SET %1=:%1 WHERE id=1").arg(QString::fromLatin1(column));
    if (query.prepare(sql)) {
        query.bindValue(QLatin1Char(':') + QString::fromLatin1(column), on ? 1 : 0);
        query.exec();
    }
}

// The preference column's value; nothing when the query fails or has no row.
std::optional<int> readPreference(const char *column)
{
    QSqlQuery query;
    if (!query.exec(
            QStringLiteral("SELECT %1 FROM prefs WHERE id=1").arg(QString::fromLatin1(column))) ||
        !query.next())
        return std::nullopt;
    return query.value(0).toInt();
}
} // namespace

SettingsPage::SettingsPage(QWidget *parent)
    : QWidget(parent), m_tileBox(new QCheckBox), m_autoloadBox(new QCheckBox),
      m_updateBox(new QCheckBox), m_completeTracksBox(new QCheckBox),
      m_lastFetchLabel(new QLabel(QStringLiteral("--.--.---- --:--")))
{
    setObjectName(QStringLiteral("einstellungen"));
    m_lastFetchLabel->setObjectName(QStringLiteral("lastFetch"));
    QFont fetchFont(QStringLiteral("Arial"), 9);
    fetchFont.setBold(true);
    m_lastFetchLabel->setFont(fetchFont);

    connect(m_tileBox, &QCheckBox::clicked, this, [this] {
        m_loadMaps = m_tileBox->isChecked();
        storePreference("loadmaps", m_loadMaps);
        emit loadMapsToggled(m_loadMaps);
    });
    connect(m_autoloadBox, &QCheckBox::clicked, this, &SettingsPage::applyAutoloadBox);
    connect(m_updateBox, &QCheckBox::clicked, this, [this] {
        m_lookForUpdate = m_updateBox->isChecked();
        storePreference("lookforupdate", m_lookForUpdate);
        emit lookForUpdateToggled(m_lookForUpdate);
    });
    connect(m_completeTracksBox, &QCheckBox::clicked, this, [this] {
        m_showCompleteTracks = m_completeTracksBox->isChecked();
        emit completeTracksToggled(m_showCompleteTracks);
    });
    m_tileBox->setChecked(m_loadMaps);
    m_autoloadBox->setChecked(m_autoload);
    m_updateBox->setChecked(m_lookForUpdate);
    m_completeTracksBox->setChecked(m_showCompleteTracks);

    auto *network = new QGroupBox(tr("Netzwerk"));
    auto *networkForm = new QFormLayout;
    networkForm->addRow(QStringLiteral("Letzte Abfrage der Postionsdaten"), m_lastFetchLabel);
    networkForm->addRow(QStringLiteral("Positionsdaten automatisch herunterladen"), m_autoloadBox);
    networkForm->addRow(QStringLiteral("Fehlende Karten automatisch herunterladen"), m_tileBox);
    networkForm->addRow(QStringLiteral("Beim Start nach Programmupdates suchen"), m_updateBox);
    network->setLayout(networkForm);

    auto *boats = new QGroupBox(tr("Boote"));
    auto *boatsForm = new QFormLayout;
    boatsForm->addRow(QStringLiteral("komplette Tracks anzeigen"), m_completeTracksBox);
    boats->setLayout(boatsForm);

    auto *settingsForm = new QFormLayout;
    settingsForm->addRow(network);
    settingsForm->addRow(boats);
    setLayout(settingsForm);
}

void SettingsPage::load()
{
    if (const auto value = readPreference("loadmaps")) {
        m_loadMaps = *value == 1;
        m_tileBox->setChecked(m_loadMaps);
    }
    // Read before the poll timer starts, so that the first cycle already waits
    // the stored interval. A non-positive one would make it fire continuously.
    m_pollInterval = readPreference("loadinterval").value_or(defaultPollInterval);
    if (m_pollInterval <= 0)
        m_pollInterval = defaultPollInterval;
    if (const auto value = readPreference("autoload")) {
        m_autoload = *value == 1;
        m_autoloadBox->setChecked(m_autoload);
    }
    if (const auto value = readPreference("lookforupdate")) {
        m_lookForUpdate = *value == 1;
        m_updateBox->setChecked(m_lookForUpdate);
    }
}

void SettingsPage::applyAutoloadBox()
{
    m_autoload = m_autoloadBox->isChecked();
    storePreference("autoload", m_autoload);
    emit autoloadToggled(m_autoload);
}

void SettingsPage::setCompleteTracksState(bool on)
{
    m_showCompleteTracks = on;
    m_completeTracksBox->setChecked(on);
}
