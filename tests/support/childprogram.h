#ifndef VELMARO_TESTS_SUPPORT_CHILDPROGRAM_H
#define VELMARO_TESTS_SUPPORT_CHILDPROGRAM_H

#include <QDir>
#include <QProcess>
#include <QTemporaryDir>

// A program of the build run as a child process in a home of its own: a
// temporary HOME with data, config, cache, runtime and work folders behind
// the XDG variables, offscreen, every message box written to a log. The
// home outlives the runs, so a second start finds what the first one left.
class ChildProgram
{
public:
    ChildProgram() : m_env(QProcessEnvironment::systemEnvironment())
    {
        const char *const folders[][2] = {{"XDG_DATA_HOME", "data"},
                                          {"XDG_CONFIG_HOME", "config"},
                                          {"XDG_CACHE_HOME", "cache"},
                                          {"XDG_RUNTIME_DIR", "runtime"},
                                          {"TMPDIR", "tmp"}};
        for (const auto &[name, sub] : folders) {
            QDir(home()).mkpath(sub);
            m_env.insert(name, path(sub));
        }
        QDir(home()).mkpath("work");
        m_env.insert("HOME", home());
        QFile::setPermissions(path("runtime"),
                              QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        m_env.insert("QT_QPA_PLATFORM", "offscreen");
        m_env.insert("VELMARO_MESSAGEBOX_LOG", path("boxes.log"));
        m_process.setProcessEnvironment(m_env);
        m_process.setWorkingDirectory(path("work"));
        m_process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    }
    ~ChildProgram() { stop(0); } // kills a run still going
    Q_DISABLE_COPY(ChildProgram)

    QString home() const { return m_dir.path(); }
    // velmaro.db in the data folder, $XDG_DATA_HOME/Velmaro
    QString databasePath() const { return envPath("XDG_DATA_HOME", "Velmaro/velmaro.db"); }
    QString settingsPath() const { return envPath("XDG_CONFIG_HOME", "velmaro.org/Velmaro.conf"); }
    void setEnv(const QString &name, const QString &value)
    {
        m_env.insert(name, value);
        m_process.setProcessEnvironment(m_env);
    }
    // Starts the program (forwarding its error output); false when it cannot be started.
    bool start(const QString &program, const QStringList &arguments = {})
    {
        return !program.isEmpty() &&
               (m_process.start(program, arguments), m_process.waitForStarted(10000));
    }
    // Asks the program to end, then kills it after ms; true when it ended.
    bool stop(int ms = 10000)
    {
        if (m_process.state() == QProcess::NotRunning)
            return true;
        m_process.terminate();
        return m_process.waitForFinished(ms) ||
               (m_process.kill(), m_process.waitForFinished(10000));
    }
    QProcess &process() { return m_process; }

    // The logged boxes, one line each (see Seams::showMessage).
    QStringList boxLines() const
    {
        QFile log(path("boxes.log"));
        return log.open(QIODevice::ReadOnly)
                   ? QString::fromUtf8(log.readAll()).split('\n', Qt::SkipEmptyParts)
                   : QStringList();
    }

    // VELMARO_BINARY_DIR/bin/<name>; empty without VELMARO_BINARY_DIR.
    static QString buildProgram(QString name)
    {
        const QString binaryDir = qEnvironmentVariable("VELMARO_BINARY_DIR");
#ifdef Q_OS_WIN
        name += ".exe";
#endif
        return binaryDir.isEmpty() ? QString() : QDir(binaryDir).filePath("bin/" + name);
    }

private:
    QString path(const QString &sub) const
    {
        return QDir(home()).filePath(sub);
    }
    QString envPath(const char *name, const QString &sub) const
    {
        return QDir(m_env.value(name)).filePath(sub);
    }

    QTemporaryDir m_dir;
    QProcessEnvironment m_env;
    QProcess m_process;
};

#endif
