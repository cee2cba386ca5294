// SPDX-License-Identifier: LicenseRef-Corvane-Proprietary
// Running the real dialer as a process, against the simulated modem, on the X
// display the test script provides, with the operator's keys sent by xdotool.
#pragma once

#include <csignal>
#include <memory>
#include <QDeadlineTimer>
#include <QDir>
#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>
#include <sys/resource.h>

namespace e2e {

inline QString buildPath(const QString& name) {
    return QStringLiteral(CV_BUILD_DIR "/") + name;
}

// Runs xdotool with arguments; true when it succeeded within 10 s.
inline bool xdotool(const QStringList& arguments) {
    QProcess tool;
    tool.start(QStringLiteral("xdotool"), arguments);
    return tool.waitForFinished(10000) && tool.exitStatus() == QProcess::NormalExit &&
           tool.exitCode() == 0;
}

// The first visible window xdotool finds by these criteria ("--name", "^CVDialer",
// "--pid", ...), waiting for one to come; empty after ms. A search that fails
// at once (a window went away while it looked, as the last run's windows do)
// is made again.
inline QString waitForVisibleWindow(const QStringList& criteria, int ms = 10000) {
    for (QDeadlineTimer deadline(ms);;) {
        QProcess search;
        search.start(QStringLiteral("xdotool"),
                     QStringList{"search", "--sync", "--onlyvisible"} + criteria);
        if (!search.waitForFinished(int(std::max<qint64>(deadline.remainingTime(), 0))))
            search.kill();
        const QString found =
            QString::fromUtf8(search.readAllStandardOutput()).section(u'\n', 0, 0).trimmed();
        if (!found.isEmpty() || deadline.hasExpired())
            return found;
        QTest::qWait(50);
    }
}

// Saves a picture of the visible window titled title in build/artifacts, so a
// reviewer can see what the operator sees.
inline void screenshot(const QString& title, const QString& file) {
    const QString window = waitForVisibleWindow({"--name", QLatin1Char('^') + title});
    QVERIFY2(!window.isEmpty(), qPrintable(title));
    const QString dir = buildPath(QStringLiteral("artifacts"));
    QDir().mkpath(dir);
    QProcess shot;
    shot.start(QStringLiteral("import"), {"-window", window, dir + QLatin1Char('/') + file});
    QVERIFY(shot.waitForFinished(20000));
    QCOMPARE(shot.exitCode(), 0);
}

// build/fakemodem on a fresh pseudo-terminal.
class Modem {
public:
    explicit Modem(const QStringList& options, const QString& dir) {
        m_capture = dir + QStringLiteral("/received.bin");
        m_log = dir + QStringLiteral("/modem.log");
        m_process.start(buildPath(QStringLiteral("fakemodem")),
                        QStringList{"--capture", m_capture, "--log", m_log} + options);
        if (m_process.waitForReadyRead(10000))
            m_device = QString::fromUtf8(m_process.readLine()).trimmed();
        clearLeftLocks();
    }
    ~Modem() {
        m_process.terminate();
        if (!m_process.waitForFinished(5000))
            m_process.kill();
        m_process.waitForFinished(5000);
    }
    Modem(const Modem&) = delete;
    Modem& operator=(const Modem&) = delete;

    QString device() const { return m_device; }
    QByteArray received() const { return readAll(m_capture); }
    QByteArray log() const { return readAll(m_log); }
    // Waits until the modem has received bytes holding text.
    bool waitReceived(const QByteArray& text, int ms = 15000) const {
        QDeadlineTimer deadline(ms);
        while (!received().contains(text)) {
            if (deadline.hasExpired())
                return false;
            QTest::qWait(20);
        }
        return true;
    }

private:
    // The terminal is new, so a lock under its name (Qt's or FHS's) is one a
    // dialer killed outright left for an earlier terminal of that number.
    void clearLeftLocks() const {
        const QString name = m_device.mid(QStringLiteral("/dev/").size());
        for (const QString& lockName : {QString(name).replace(u'/', u'_'), name.section(u'/', -1)})
            QFile::remove(QStringLiteral("/run/lock/LCK..") + lockName);
    }
    static QByteArray readAll(const QString& path) {
        QFile file(path);
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }
    QProcess m_process;
    QString m_device, m_capture, m_log;
};

// One run of build/cvdialer with its own profile folder.
class Dialer {
public:
    explicit Dialer(const QString& configHome, const QString& runtimeDir) {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("XDG_CONFIG_HOME"), configHome);
        env.insert(QStringLiteral("XDG_RUNTIME_DIR"), runtimeDir);
        env.remove(QStringLiteral("QT_QPA_PLATFORM"));
        m_process.setProcessEnvironment(env);
    }
    ~Dialer() {
        if (m_process.state() != QProcess::NotRunning) {
            m_process.kill();
            m_process.waitForFinished(5000);
        }
    }
    Dialer(const Dialer&) = delete;
    Dialer& operator=(const Dialer&) = delete;

    // The process starts under this limit, as under the shell's ulimit.
    void setLimit(int resource, rlim_t value) {
        m_process.setChildProcessModifier([resource, value] {
            const rlimit limit{value, value};
            ::setrlimit(resource, &limit);
        });
    }
    // Sets name to value for the next start; a null value removes it.
    void setEnvironment(const QString& name, const QString& value) {
        QProcessEnvironment env = m_process.processEnvironment();
        if (value.isNull())
            env.remove(name);
        else
            env.insert(name, value);
        m_process.setProcessEnvironment(env);
    }
    // Starts the dialer, or program (xdg-open, say) that starts it.
    void start(const QStringList& arguments, const QString& program = {}) {
        m_process.start(program.isEmpty() ? buildPath(QStringLiteral("cvdialer")) : program,
                        arguments);
        QVERIFY(m_process.waitForStarted(10000));
    }
    qint64 pid() const { return m_process.processId(); }
    bool running() const { return m_process.state() != QProcess::NotRunning; }
    void terminate() { m_process.terminate(); }
    void signal(int number) { ::kill(pid_t(m_process.processId()), number); }
    QString stdoutText() { return QString::fromUtf8(m_process.readAllStandardOutput()); }
    QString stderrText() {
        m_stderr += m_process.readAllStandardError();
        return QString::fromUtf8(m_stderr);
    }
    // Waits for the line the dialer writes when it shows the operator text.
    bool waitForMessage(const QString& text, int ms = 20000) {
        return !waitForAnyMessage({text}, ms).isEmpty();
    }
    // The first of texts the dialer showed the operator, or none within ms.
    QString waitForAnyMessage(const QStringList& texts, int ms = 20000) {
        QDeadlineTimer deadline(ms);
        for (;;) {
            for (const QString& text : texts) {
                if (stderrText().contains(QStringLiteral("cvdialer: ") + text))
                    return text;
            }
            if (deadline.hasExpired() || m_process.state() == QProcess::NotRunning)
                return {};
            m_process.waitForReadyRead(100);
        }
    }
    // The operator presses key until the box goes and the program ends.
    int dismissAndWait(const QString& key = QStringLiteral("Return")) {
        QDeadlineTimer deadline(20000);
        while (!m_process.waitForFinished(150) && !deadline.hasExpired())
            xdotool({QStringLiteral("key"), key});
        stderrText();
        return finished();
    }
    int waitForExit(int ms = 20000) {
        m_process.waitForFinished(ms);
        stderrText();
        return finished();
    }

private:
    int finished() const {
        if (m_process.state() != QProcess::NotRunning ||
            m_process.exitStatus() != QProcess::NormalExit)
            return -1;
        return m_process.exitCode();
    }
    QProcess m_process;
    QByteArray m_stderr;
};

} // namespace e2e
