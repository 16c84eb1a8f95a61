#include "childprogram.h"

#include <QDir>
#include <QFile>

ChildProgram::ChildProgram()
{
    m_env = QProcessEnvironment::systemEnvironment();
    const QDir home(m_dir.path());
    for (const char *sub : {"data", "config", "cache", "runtime", "work", "tmp"})
        home.mkpath(QString::fromLatin1(sub));
    QFile::setPermissions(home.filePath(QStringLiteral("runtime")),
                          QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    m_env.insert(QStringLiteral("HOME"), home.path());
    m_env.insert(QStringLiteral("XDG_DATA_HOME"), home.filePath(QStringLiteral("data")));
    m_env.insert(QStringLiteral("XDG_CONFIG_HOME"), home.filePath(QStringLiteral("config")));
    m_env.insert(QStringLiteral("XDG_CACHE_HOME"), home.filePath(QStringLiteral("cache")));
    m_env.insert(QStringLiteral("XDG_RUNTIME_DIR"), home.filePath(QStringLiteral("runtime")));
    m_env.insert(QStringLiteral("TMPDIR"), home.filePath(QStringLiteral("tmp")));
    m_env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    m_env.insert(QStringLiteral("VELMARO_MESSAGEBOX_LOG"), boxLogPath());
    m_process.setProcessEnvironment(m_env);
    m_process.setWorkingDirectory(workDir());
    m_process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
}

ChildProgram::~ChildProgram()
{
    if (m_process.state() != QProcess::NotRunning) {
        m_process.kill();
        m_process.waitForFinished(10000);
    }
}

QString ChildProgram::workDir() const
{
    return QDir(m_dir.path()).filePath(QStringLiteral("work"));
}

QString ChildProgram::boxLogPath() const
{
    return QDir(m_dir.path()).filePath(QStringLiteral("boxes.log"));
}

QString ChildProgram::dataFolder() const
{
    return QDir(m_env.value(QStringLiteral("XDG_DATA_HOME"))).filePath(QStringLiteral("Velmaro"));
}

QString ChildProgram::databasePath() const
{
    return QDir(dataFolder()).filePath(QStringLiteral("velmaro.db"));
}

QString ChildProgram::settingsPath() const
{
    return QDir(m_env.value(QStringLiteral("XDG_CONFIG_HOME")))
        .filePath(QStringLiteral("velmaro.org/Velmaro.conf"));
}

void ChildProgram::setEnv(const QString &name, const QString &value)
{
    m_env.insert(name, value);
    m_process.setProcessEnvironment(m_env);
}

void ChildProgram::setWorkingDirectory(const QString &path)
{
    m_process.setWorkingDirectory(path);
}

bool ChildProgram::start(const QString &program, const QStringList &arguments)
{
    if (program.isEmpty())
        return false;
    m_process.start(program, arguments);
    return m_process.waitForStarted(10000);
}

bool ChildProgram::stop(int ms)
{
    if (m_process.state() == QProcess::NotRunning)
        return true;
    m_process.terminate();
    if (m_process.waitForFinished(ms))
        return true;
    m_process.kill();
    return m_process.waitForFinished(ms);
}

QStringList ChildProgram::boxLines() const
{
    QFile log(boxLogPath());
    if (!log.open(QIODevice::ReadOnly))
        return {};
    QStringList lines = QString::fromUtf8(log.readAll()).split(QLatin1Char('\n'));
    if (!lines.isEmpty() && lines.last().isEmpty())
        lines.removeLast();
    return lines;
}

QString ChildProgram::buildProgram(const QString &name)
{
    const QString binaryDir = qEnvironmentVariable("VELMARO_BINARY_DIR");
    if (binaryDir.isEmpty())
        return QString();
#ifdef Q_OS_WIN
    const QString suffix = QStringLiteral(".exe");
#else
    const QString suffix;
#endif
    return QDir(binaryDir).filePath(QStringLiteral("bin/") + name + suffix);
}
