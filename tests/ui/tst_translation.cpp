#include "app/startup.h"
#include "platform/config.h"
#include "ui/settingspage.h"
#include "uitest.h"

#include <QtTest>

using namespace Qt::StringLiterals;

class TestTranslation : public QObject
{
    Q_OBJECT
private slots:
    // lupdate over the sources into a copy of the committed file: a new text
    // comes in unfinished, a removed one stays as vanished.
    void everyTextTranslated()
    {
        const QTemporaryDir dir;
        const QString ts = dir.filePath(u"velmaro_en.ts"_s);
        const QDir src(qEnvironmentVariable("VELMARO_SOURCE_DIR"));
        QVERIFY(QFile::copy(src.filePath(u"translations/velmaro_en.ts"_s), ts));
        QStringList args{u"-silent"_s, u"-locations"_s, u"none"_s, u"-I"_s, src.path()};
        for (const QString &folder : QStringLiteral(VELMARO_TRANSLATED_DIRS).split(u' '))
            args << src.filePath(folder);
        QCOMPARE(QProcess::execute(QStringLiteral(VELMARO_LUPDATE), args << u"-ts"_s << ts), 0);
        QFile file(ts);
        QVERIFY(file.open(QIODevice::ReadOnly));
        QXmlStreamReader xml(&file);
        QStringList missing; // "source" of each message without a finished translation
        for (QString source; !xml.atEnd(); xml.readNext()) {
            if (xml.isStartElement() && xml.name() == u"source") {
                source = xml.readElementText();
            } else if (xml.isStartElement() && xml.name() == u"translation") {
                const bool typed = xml.attributes().hasAttribute(u"type"_s);
                if (xml.readElementText().isEmpty() || typed)
                    missing << source;
            }
        }
        QCOMPARE(missing, QStringList());
        QVERIFY2(!xml.hasError(), qPrintable(xml.errorString()));
    }
    void menusAndTabsFollowTheTranslator()
    {
        UiTest::initCase();
        QVERIFY(!Startup::installTranslators(u"de"_s)); // the sources are German
        QCOMPARE(QCoreApplication::translate("QPlatformTheme", "Cancel"), u"Abbrechen"_s);
        for (const char *expected : {"&Datei &Wiedergabe &Regatten &Gates Teilnehmer Einstellungen "
                                     "Rangliste Manöver Diagramme Momente",
                                     "&File &Playback &Races &Gates Participants Settings "
                                     "Leaderboard Manoeuvres Graphs Moments"}) {
            UiTest::Window f;
            QVERIFY(f.open({}, QSize(800, 600)));
            QStringList texts;
            for (const QAction *menu : f.window->menuBar()->actions())
                texts << menu->text();
            for (int tab = 0; tab < f.window->sidePanel()->count(); ++tab)
                texts << f.window->sidePanel()->tabText(tab);
            QCOMPARE(texts.join(u' '), QString::fromUtf8(expected));
            QVERIFY(Startup::installTranslators(u"en"_s));
        }
    }
    // VELMARO_LANGUAGE, settings key, system locale: the language.
    void languageChoice()
    {
        const QLocale us(QLocale::English, QLocale::UnitedStates), fr(QLocale::French);
        const QLocale at(QLocale::German, QLocale::Austria);
        const QList<std::tuple<const char *, const char *, QLocale, const char *>> rows{
            {"", "de", us, "de"}, {"", "en", at, "en"},   {"", "", at, "de"},    {"", "", us, "en"},
            {"", "", fr, "en"},   {"xx", "fr", at, "de"}, {"en", "de", at, "en"}};
        QSettings settings(u"language.ini"_s, QSettings::IniFormat);
        for (const auto &[env, setting, system, language] : rows) {
            qputenv("VELMARO_LANGUAGE", env);
            settings.setValue(u"language"_s, QString::fromLatin1(setting));
            QCOMPARE(Startup::uiLanguage(settings, system), QString::fromLatin1(language));
        }
        // "Sprache" stores the key the next start reads, and shows it again.
        qputenv("VELMARO_LANGUAGE", "");
        emit SettingsPage().findChild<QComboBox *>(u"language"_s)->activated(2);
        const std::unique_ptr<QSettings> stored(Config::windowSettings());
        QCOMPARE(Startup::uiLanguage(*stored, at), u"en"_s);
        QCOMPARE(SettingsPage().findChild<QComboBox *>(u"language"_s)->currentText(), u"English"_s);
    }
};

QTEST_MAIN(TestTranslation)
#include "tst_translation.moc"
