#include "ProgramRun.h"

#include "EventLoopWait.h"

#include <QDir>
#include <QFile>

ProgramRun::ProgramRun(const QString &display, const QString &platform)
{
    QDir().mkpath(m_dir.filePath(QStringLiteral("home")));
    m_environment.insert(QStringLiteral("HOME"), m_dir.filePath(QStringLiteral("home")));
    // Kept out of HOME, so that HOME holds only what a test puts there.
    m_environment.insert(QStringLiteral("XDG_CONFIG_HOME"), m_dir.filePath(QStringLiteral("config")));
    m_environment.insert(QStringLiteral("XDG_DATA_HOME"), m_dir.filePath(QStringLiteral("data")));
    m_environment.insert(QStringLiteral("XDG_RUNTIME_DIR"), m_dir.path());
    m_environment.insert(QStringLiteral("TMPDIR"), m_dir.path());
    if (!display.isEmpty())
        m_environment.insert(QStringLiteral("DISPLAY"), display);
    m_environment.insert(QStringLiteral("QT_QPA_PLATFORM"), platform);
    // The web engine refuses to run as root (as tests do) with its sandbox.
    m_environment.insert(QStringLiteral("QTWEBENGINE_DISABLE_SANDBOX"), QStringLiteral("1"));
}

void ProgramRun::enterWaylandSession(const QString &desktop)
{
    m_environment.remove(QStringLiteral("DISPLAY"));
    m_environment.remove(QStringLiteral("WAYLAND_DISPLAY"));
    m_environment.remove(QStringLiteral("VANTOREL_HOTKEYS"));
    m_environment.remove(QStringLiteral("SWAYSOCK")); // a developer's own sway would answer
    m_environment.insert(QStringLiteral("XDG_SESSION_TYPE"), QStringLiteral("wayland"));
    m_environment.insert(QStringLiteral("XDG_CURRENT_DESKTOP"), desktop);
}

void ProgramRun::enterSession(const QProcessEnvironment &session)
{
    for (const QString &name : session.keys())
        m_environment.insert(name, session.value(name));
}

ProgramRun::~ProgramRun()
{
    if (m_program.state() != QProcess::NotRunning && terminate() == -1)
        m_program.kill();
    m_program.waitForFinished(timeoutMs);
}

bool ProgramRun::start(const QStringList &command)
{
    m_program.setProcessEnvironment(m_environment);
    m_program.start(command.first(), command.mid(1));
    return m_program.waitForStarted(timeoutMs);
}

bool ProgramRun::waitForOutput(const QByteArray &text, int timeout)
{
    runEventLoopUntil([&] { return output().contains(text) || m_program.state() == QProcess::NotRunning; }, timeout);
    return output().contains(text);
}

int ProgramRun::waitForExit()
{
    const bool ended = m_program.waitForFinished(timeoutMs);
    return ended && m_program.exitStatus() == QProcess::NormalExit ? m_program.exitCode() : -1;
}

int ProgramRun::terminate()
{
    m_program.terminate();
    return waitForExit();
}

QString ProgramRun::buttonFileText() const
{
    QFile file(buttonFile());
    return file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll()) : QString();
}

ProgramRun::Finished ProgramRun::runBeside(const QStringList &command) const
{
    QProcess process;
    process.setProcessEnvironment(m_environment);
    process.start(command.first(), command.mid(1));
    const bool ended = process.waitForFinished(timeoutMs) && process.exitStatus() == QProcess::NormalExit;
    return {ended ? process.exitCode() : -1, process.readAllStandardOutput(), process.readAllStandardError()};
}

std::optional<QByteArray> ProgramRun::runTool(const QString &tool, const QStringList &arguments) const
{
    Finished finished = runBeside(QStringList{tool} + arguments);
    return finished.exitCode == 0 ? std::optional(std::move(finished.output)) : std::nullopt;
}

const QByteArray &ProgramRun::output()
{
    m_output += m_program.readAllStandardOutput();
    m_errors += m_program.readAllStandardError();
    return m_output;
}

const QByteArray &ProgramRun::errors()
{
    output();
    return m_errors;
}

std::string ProgramRun::transcript()
{
    return (output() + "--- stderr:\n" + m_errors).toStdString();
}
