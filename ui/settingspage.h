#ifndef VELMARO_UI_SETTINGSPAGE_H
#define VELMARO_UI_SETTINGSPAGE_H

#include <QWidget>

class QCheckBox;
class QComboBox;
class QGroupBox;
class QLabel;
class QPushButton;
class QSpinBox;

// The "Einstellungen" tab: the stored preferences (table prefs) as check
// boxes, the time of the last positions fetch and the complete-tracks box of
// the current race. A click stores the preference, then the signal tells
// the window.
class SettingsPage : public QWidget
{
    Q_OBJECT
public:
    explicit SettingsPage(QWidget *parent = nullptr);

    QCheckBox *tileBox() const { return m_tileBox; }
    QCheckBox *autoloadBox() const { return m_autoloadBox; }
    QCheckBox *updateBox() const { return m_updateBox; }
    QCheckBox *completeTracksBox() const { return m_completeTracksBox; }
    QCheckBox *sailNumberBox() const { return m_sailNumberBox; }
    // Sail numbers beside the speeds on the map; kept with the window settings.
    bool sailNumberLabels() const;
    QCheckBox *laylineBox() const { return m_laylineBox; }
    // Laylines to the next mark for the followed boat; kept likewise.
    bool laylines() const { return m_laylines; }
    // A running race polled every second rather than every pollInterval()
    // minutes, to follow a 1 Hz fleet live; kept likewise ("liveEverySecond").
    QCheckBox *liveEverySecondBox() const { return m_liveEverySecondBox; }
    bool liveEverySecond() const { return m_liveEverySecond; }
    QLabel *lastFetchLabel() const { return m_lastFetchLabel; }

    // Reads the stored preferences into the flags and boxes; a value that
    // cannot be read keeps the current one. Only the value 1 counts as on.
    void load();

    bool loadMaps() const { return m_loadMaps; }
    bool autoload() const { return m_autoload; }
    void setAutoload(bool on) { m_autoload = on; }
    bool lookForUpdate() const { return m_lookForUpdate; }
    bool showCompleteTracks() const { return m_showCompleteTracks; }
    // Box and flag of a newly selected race (not stored).
    void setCompleteTracksState(bool on);
    // Minutes between position fetches; a stored value below 1 gives 5.
    int pollInterval() const { return m_pollInterval; }
    void setPollInterval(int minutes) { m_pollInterval = minutes; }

    // The map's tile cache and overlay, kept with the window settings
    // ("tileCacheMB", "seamarks").
    QSpinBox *tileCacheBox() const { return m_tileCacheBox; }
    QCheckBox *seamarkBox() const { return m_seamarkBox; }
    QPushButton *clearTileCacheButton() const { return m_clearTileCacheButton; }
    // The stored limit in MB: 500 when unset or unreadable, else clamped to the box's range.
    static int tileCacheMB();
    static bool seamarksShown();

public slots:
    // As a click on the autoload box: reads, stores and tells its state.
    void applyAutoloadBox();

signals:
    void loadMapsToggled(bool on);
    void autoloadToggled(bool on);
    void lookForUpdateToggled(bool on);
    void completeTracksToggled(bool on);
    void sailNumberLabelsToggled(bool on);
    void laylinesToggled(bool on);
    void liveEverySecondToggled(bool on);
    void tileCacheLimitChanged(int megabytes);
    void seamarksToggled(bool on);
    void clearTileCacheRequested();

private:
    // "Sprache": stored as the window-state key `language` ("", "de", "en").
    QComboBox *languageBox();

    QCheckBox *m_tileBox;
    QCheckBox *m_autoloadBox;
    QCheckBox *m_liveEverySecondBox;
    QCheckBox *m_updateBox;
    QCheckBox *m_completeTracksBox;
    QCheckBox *m_sailNumberBox;
    QCheckBox *m_laylineBox;
    bool m_laylines = false;
    QLabel *m_lastFetchLabel;
    int m_pollInterval = 5;
    bool m_liveEverySecond = false;
    bool m_loadMaps = false;
    bool m_autoload = false;
    bool m_lookForUpdate = true;
    bool m_showCompleteTracks = false;

    QGroupBox *mapSettings();
    QSpinBox *m_tileCacheBox = nullptr;
    QCheckBox *m_seamarkBox = nullptr;
    QPushButton *m_clearTileCacheButton = nullptr;
};

#endif
