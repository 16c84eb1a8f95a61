#include "ui/settingspage.h"

#include "platform/config.h"
#include "store/preferences.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFormLayout>
#include <QGroupBox>
#include <QLabel>
#include <QPushButton>
#include <QSettings>
#include <QSpinBox>

#include <algorithm>
#include <memory>

namespace
{
const QString sailNumberKey = QStringLiteral("sailNumberLabels");
const QString languageKey = QStringLiteral("language");
const QString laylinesKey = QStringLiteral("laylines");
const QString liveEverySecondKey = QStringLiteral("liveEverySecond");
} // namespace

SettingsPage::SettingsPage(QWidget *parent)
    : QWidget(parent), m_tileBox(new QCheckBox), m_autoloadBox(new QCheckBox),
      m_liveEverySecondBox(new QCheckBox), m_updateBox(new QCheckBox),
      m_completeTracksBox(new QCheckBox), m_sailNumberBox(new QCheckBox),
      m_laylineBox(new QCheckBox), m_lastFetchLabel(new QLabel(QStringLiteral("--.--.---- --:--")))
{
    setObjectName(QStringLiteral("einstellungen"));
    m_lastFetchLabel->setObjectName(QStringLiteral("lastFetch"));
    QFont fetchFont(QStringLiteral("Arial"), 9);
    fetchFont.setBold(true);
    m_lastFetchLabel->setFont(fetchFont);

    connect(m_tileBox, &QCheckBox::clicked, this, [this] {
        m_loadMaps = m_tileBox->isChecked();
        Preferences::set(Pref::LoadMaps, m_loadMaps);
        emit loadMapsToggled(m_loadMaps);
    });
    connect(m_autoloadBox, &QCheckBox::clicked, this, &SettingsPage::applyAutoloadBox);
    connect(m_updateBox, &QCheckBox::clicked, this, [this] {
        m_lookForUpdate = m_updateBox->isChecked();
        Preferences::set(Pref::LookForUpdate, m_lookForUpdate);
        emit lookForUpdateToggled(m_lookForUpdate);
    });
    connect(m_completeTracksBox, &QCheckBox::clicked, this, [this] {
        m_showCompleteTracks = m_completeTracksBox->isChecked();
        emit completeTracksToggled(m_showCompleteTracks);
    });
    connect(m_sailNumberBox, &QCheckBox::clicked, this, [this](bool on) {
        std::unique_ptr<QSettings>(Config::windowSettings())->setValue(sailNumberKey, on);
        emit sailNumberLabelsToggled(on);
    });
    m_sailNumberBox->setChecked(sailNumberLabels());
    m_laylines =
        std::unique_ptr<QSettings>(Config::windowSettings())->value(laylinesKey, false).toBool();
    m_laylineBox->setChecked(m_laylines);
    connect(m_laylineBox, &QCheckBox::clicked, this, [this](bool on) {
        m_laylines = on;
        std::unique_ptr<QSettings>(Config::windowSettings())->setValue(laylinesKey, on);
        emit laylinesToggled(on);
    });
    m_liveEverySecond = std::unique_ptr<QSettings>(Config::windowSettings())
                            ->value(liveEverySecondKey, false)
                            .toBool();
    m_liveEverySecondBox->setChecked(m_liveEverySecond);
    connect(m_liveEverySecondBox, &QCheckBox::clicked, this, [this](bool on) {
        m_liveEverySecond = on;
        std::unique_ptr<QSettings>(Config::windowSettings())->setValue(liveEverySecondKey, on);
        emit liveEverySecondToggled(on);
    });
    m_tileBox->setChecked(m_loadMaps);
    m_autoloadBox->setChecked(m_autoload);
    m_updateBox->setChecked(m_lookForUpdate);
    m_completeTracksBox->setChecked(m_showCompleteTracks);

    auto *network = new QGroupBox(tr("Netzwerk"));
    auto *networkForm = new QFormLayout;
    networkForm->addRow(tr("Letzte Abfrage der Postionsdaten"), m_lastFetchLabel);
    networkForm->addRow(tr("Positionsdaten automatisch herunterladen"), m_autoloadBox);
    networkForm->addRow(tr("Laufende Regatta jede Sekunde abfragen"), m_liveEverySecondBox);
    networkForm->addRow(tr("Fehlende Karten automatisch herunterladen"), m_tileBox);
    networkForm->addRow(tr("Beim Start nach Programmupdates suchen"), m_updateBox);
    network->setLayout(networkForm);

    auto *boats = new QGroupBox(tr("Boote"));
    auto *boatsForm = new QFormLayout;
    boatsForm->addRow(tr("komplette Tracks anzeigen"), m_completeTracksBox);
    boatsForm->addRow(tr("Segelnummer neben der Geschwindigkeit"), m_sailNumberBox);
    boatsForm->addRow(tr("Laylines zur nächsten Marke (verfolgtes Boot)"), m_laylineBox);
    boats->setLayout(boatsForm);

    auto *settingsForm = new QFormLayout;
    settingsForm->addRow(network);
    settingsForm->addRow(boats);
    settingsForm->addRow(mapSettings());
    settingsForm->addRow(tr("Sprache"), languageBox());
    settingsForm->addRow(new QLabel(tr("(gilt ab dem nächsten Start)")));
    setLayout(settingsForm);
}

void SettingsPage::load()
{
    // Read before the poll timer starts, so that the first cycle already waits
    // the stored interval.
    const Preferences prefs = Preferences::load();
    m_pollInterval = prefs.pollInterval;
    if (prefs.has(Pref::LoadMaps)) {
        m_loadMaps = prefs.loadMaps;
        m_tileBox->setChecked(m_loadMaps);
    }
    if (prefs.has(Pref::Autoload)) {
        m_autoload = prefs.autoload;
        m_autoloadBox->setChecked(m_autoload);
    }
    if (prefs.has(Pref::LookForUpdate)) {
        m_lookForUpdate = prefs.lookForUpdate;
        m_updateBox->setChecked(m_lookForUpdate);
    }
}

bool SettingsPage::sailNumberLabels() const
{
    return std::unique_ptr<QSettings>(Config::windowSettings())
        ->value(sailNumberKey, false)
        .toBool();
}

void SettingsPage::applyAutoloadBox()
{
    m_autoload = m_autoloadBox->isChecked();
    Preferences::set(Pref::Autoload, m_autoload);
    emit autoloadToggled(m_autoload);
}

void SettingsPage::setCompleteTracksState(bool on)
{
    m_showCompleteTracks = on;
    m_completeTracksBox->setChecked(on);
}

QComboBox *SettingsPage::languageBox()
{
    // Read by Startup::uiLanguage; the translators are installed only at start.
    auto *box = new QComboBox;
    box->setObjectName(languageKey);
    box->addItem(tr("Systemsprache"), QString());
    box->addItem(QStringLiteral("Deutsch"), QStringLiteral("de"));
    box->addItem(QStringLiteral("English"), QStringLiteral("en"));
    const QString stored =
        std::unique_ptr<QSettings>(Config::windowSettings())->value(languageKey).toString();
    box->setCurrentIndex(qMax(0, box->findData(stored)));
    connect(box, &QComboBox::activated, this, [box](int index) {
        std::unique_ptr<QSettings>(Config::windowSettings())
            ->setValue(languageKey, box->itemData(index));
    });
    return box;
}

namespace
{
const QString tileCacheKey = QStringLiteral("tileCacheMB");
const QString seamarksKey = QStringLiteral("seamarks");
constexpr int minCacheMB = 10;
constexpr int maxCacheMB = 100000;
} // namespace

int SettingsPage::tileCacheMB()
{
    bool ok = false;
    const int mb =
        std::unique_ptr<QSettings>(Config::windowSettings())->value(tileCacheKey).toInt(&ok);
    return ok ? std::clamp(mb, minCacheMB, maxCacheMB) : 500;
}

bool SettingsPage::seamarksShown()
{
    return std::unique_ptr<QSettings>(Config::windowSettings())->value(seamarksKey, false).toBool();
}

QGroupBox *SettingsPage::mapSettings()
{
    m_tileCacheBox = new QSpinBox;
    m_tileCacheBox->setRange(minCacheMB, maxCacheMB);
    // Typing 500 must not trim the cache to 5 and then 50 MB on the way.
    m_tileCacheBox->setKeyboardTracking(false);
    m_tileCacheBox->setValue(tileCacheMB());
    connect(m_tileCacheBox, &QSpinBox::valueChanged, this, [this](int mb) {
        std::unique_ptr<QSettings>(Config::windowSettings())->setValue(tileCacheKey, mb);
        emit tileCacheLimitChanged(mb);
    });
    m_seamarkBox = new QCheckBox;
    m_seamarkBox->setChecked(seamarksShown());
    connect(m_seamarkBox, &QCheckBox::clicked, this, [this](bool on) {
        std::unique_ptr<QSettings>(Config::windowSettings())->setValue(seamarksKey, on);
        emit seamarksToggled(on);
    });
    m_clearTileCacheButton = new QPushButton(tr("Kartencache leeren"));
    connect(m_clearTileCacheButton, &QPushButton::clicked, this,
            &SettingsPage::clearTileCacheRequested);

    auto *map = new QGroupBox(tr("Karte"));
    auto *form = new QFormLayout;
    form->addRow(tr("Seezeichen (OpenSeaMap) anzeigen"), m_seamarkBox);
    form->addRow(tr("Kartencache (MB)"), m_tileCacheBox);
    form->addRow(QString(), m_clearTileCacheButton);
    map->setLayout(form);
    return map;
}
