#ifndef VELMARO_TESTS_SUPPORT_CHILDPROGRAM_H
#define VELMARO_TESTS_SUPPORT_CHILDPROGRAM_H

#include <QProcess>
#include <QProcessEnvironment>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>

// A program of the build run as a child process in a home of its own: a
// temporary HOME with data, config, cache, runtime and work folders behind
// the XDG variables, offscreen, every message box written to a log. The
// home outlives the runs, so a second start finds what the first one left.
class ChildProgram
{
public:
    ChildProgram();
    ~ChildProgram(); // kills a run still going
    ChildProgram(const ChildProgram &) = delete;
    ChildProgram &operator=(const ChildProgram &) = delete;

    bool isValid() const { return m_dir.isValid(); }
    QString home() const { return m_dir.path(); }
    QString workDir() const;
    QString boxLogPath() const;
    QString dataFolder() const;   // $XDG_DATA_HOME/Velmaro
    QString databasePath() const; // velmaro.db in the data folder
    QString settingsPath() const; // the window-state settings file

    void setEnv(const QString &name, const QString &value);
    QProcessEnvironment environment() const { return m_env; }
    void setWorkingDirectory(const QString &path);

    // Starts the program (forwarding its error output); false when it
    // cannot be started.
    bool start(const QString &program, const QStringList &arguments = {});
    // Asks the program to end, then kills it after ms; true when it ended.
    bool stop(int ms = 10000);
    QProcess &process() { return m_process; }

    // The logged boxes, one line each (see Seams::showMessage).
    QStringList boxLines() const;

    // VELMARO_BINARY_DIR/bin/<name> (with the platform's suffix); empty
    // without VELMARO_BINARY_DIR.
    static QString buildProgram(const QString &name);

private:
    QTemporaryDir m_dir;
    QProcessEnvironment m_env;
    QProcess m_process;
};

#endif
