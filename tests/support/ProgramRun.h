#pragma once

#include <QByteArray>
#include <QProcess>
#include <QProcessEnvironment>
#include <QStringList>
#include <QTemporaryDir>

#include <optional>
#include <string>

// One run of the real program in a private temporary folder: HOME, the
// config home, the runtime folder and TMPDIR all point inside it, so that
// runs touch neither the user's files nor each other's instance socket.
// Output is collected as it comes; whatever still runs at the end is ended.
class ProgramRun {
public:
    static constexpr int timeoutMs = 20000;

    explicit ProgramRun(const QString &display = QString(), const QString &platform = QStringLiteral("offscreen"));
    ~ProgramRun();

    QString dir() const { return m_dir.path(); }
    QString home() const { return m_environment.value(QStringLiteral("HOME")); }
    QString buttonFile() const { return home() + QStringLiteral("/.vantorel"); }
    QString buttonFileText() const;
    QProcessEnvironment &environment() { return m_environment; } // for the next start
    QProcess &process() { return m_program; }
    // As in a Wayland session of this desktop, with no display it could reach.
    void enterWaylandSession(const QString &desktop);
    // Into a session the test started (its HOME, buses, display): its variables win.
    void enterSession(const QProcessEnvironment &session);

    // The command's first word is the program or a wrapper that execs the rest.
    bool start(const QStringList &command);
    // Runs the event loop (in-process servers answer meanwhile) until the
    // output holds text, the program ends or the time is up.
    bool waitForOutput(const QByteArray &text, int timeout = timeoutMs);
    // The exit code if the program ended on its own in time, else -1.
    int waitForExit();
    int terminate(); // SIGTERM, then as waitForExit
    struct Finished {
        int exitCode = -1; // -1: it crashed or hung
        QByteArray output;
        QByteArray errors;
    };
    // Runs a command beside the program, in its environment (display, bus, home): a tool, or a
    // later start of the program in the same session.
    Finished runBeside(const QStringList &command) const;
    // A tool's standard output, or nothing when it failed or hung.
    std::optional<QByteArray> runTool(const QString &tool, const QStringList &arguments) const;

    const QByteArray &output();
    const QByteArray &errors();
    std::string transcript(); // both channels, for failure messages

private:
    QTemporaryDir m_dir;
    QProcessEnvironment m_environment = QProcessEnvironment::systemEnvironment();
    QProcess m_program;
    QByteArray m_output;
    QByteArray m_errors;
};
