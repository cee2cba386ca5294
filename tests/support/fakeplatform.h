// SPDX-License-Identifier: LicenseRef-Corvane-Proprietary
// Test stand-ins for the platform hooks and the serial line. Both write to one
// shared log, so a test can check the exact order of everything that happened.
#pragma once

#include "commcontrol.h"
#include "platform.h"
#include "runtimeerror.h"

#include <deque>
#include <functional>
#include <QMap>
#include <QSet>
#include <QStringList>
#include <stdexcept>

// Steps named in failOn ("open#2", "beep#1", ...) raise error 57 when reached.
class FailureScript {
public:
    QSet<QString> failOn;
    QStringList* log = nullptr;

    void step(const QString& name, const QString& detail = {}) {
        const int n = ++m_counts[name];
        if (log)
            log->append(detail.isEmpty() ? name : name + QLatin1Char(' ') + detail);
        if (failOn.contains(name + QStringLiteral("#%1").arg(n)))
            throw RunTimeError(DeviceIoError, QStringLiteral("fallo de prueba en %1").arg(name));
    }

private:
    QMap<QString, int> m_counts;
};

class FakeSerial : public SerialLine {
public:
    explicit FakeSerial(FailureScript& script) : m_script(script) {}

    // What the modem sends back for a command, delivered on the next event pass.
    std::function<QStringList(const QString& sent)> replies = [](const QString&) {
        return QStringList();
    };
    std::deque<QString> deliveries; // one per event pass
    QString buffer;                 // received, not yet taken
    bool lost = false;
    QString failureReason;

    void setPortOpen(bool open) override { m_script.step(open ? "open" : "close"); }
    void setOutput(const QString& text) override {
        m_script.step(QStringLiteral("out"), escaped(text));
        for (const QString& reply : replies(text))
            deliveries.push_back(reply);
    }
    void setCommPort(qint16 port) override { m_script.step("commport", QString::number(port)); }
    void setSettings(const QString& s) override { m_script.step("settings", s); }
    void setInBufferCount(qint16) override {
        m_script.step("clear");
        buffer.clear();
    }
    qint16 inBufferCount() const override {
        m_script.step("count");
        return qint16(buffer.size());
    }
    QString input() override {
        m_script.step("input");
        return std::exchange(buffer, QString());
    }
    bool lineLost() const override { return lost; }
    QString openFailure() const override { return failureReason; }
    void setOpenWatch(std::function<bool()> keepGoing) override {
        openWatch = std::move(keepGoing);
    }
    std::function<bool()> openWatch;

    // Moves the next delivery into the receive buffer; false when none is due.
    bool deliver() {
        if (deliveries.empty())
            return false;
        buffer += deliveries.front();
        deliveries.pop_front();
        return true;
    }

    static QString escaped(QString text) {
        return text.replace(QLatin1Char('\r'), QLatin1String("\\r"))
            .replace(QLatin1Char('\n'), QLatin1String("\\n"));
    }

private:
    FailureScript& m_script;
};

// Installs recording hooks for its lifetime. Time stands still except while
// events are "processed" with nothing arriving: then the full wait passes.
class FakePlatform {
public:
    FailureScript script;
    QStringList log;
    FakeSerial serial{script};
    std::deque<int> answers; // message-box and question answers; vbOK when none left
    // Runs while a box is up, as the operator might act before answering.
    std::function<void(const QString& prompt)> whileBoxIsUp;
    // Runs in each event pass before deliveries, as the event loop would run handlers.
    std::function<void(int pass)> duringEvents;
    Platform::Clock::time_point now{std::chrono::hours(1000)};
    int passes = 0;

    FakePlatform() : m_saved(Platform::hooks()) {
        script.log = &log;
        Platform::Hooks& h = Platform::hooks();
        h.msgBox = [this](const QString& prompt, int style, const QString& title,
                          const QString& details) {
            QString shown = QStringLiteral("%1|%2|%3").arg(prompt).arg(style).arg(title);
            if (!details.isEmpty())
                shown += QLatin1Char('|') + details;
            script.step("msgbox", shown);
            if (whileBoxIsUp)
                whileBoxIsUp(prompt);
            return nextAnswer();
        };
        h.question = [this](const QString& prompt, const QString& acceptText) {
            script.step("question", prompt + QLatin1Char('|') + acceptText);
            if (whileBoxIsUp)
                whileBoxIsUp(prompt);
            return nextAnswer() == Platform::vbOK;
        };
        h.beep = [this] {
            script.step("beep");
        };
        h.processEvents = [this](std::chrono::milliseconds maxWait) {
            processEvents(maxWait);
        };
        h.endProcess = [this](int status) {
            log.append(QStringLiteral("end %1").arg(status));
            throw Platform::ProcessEnded{status};
        };
        h.now = [this] {
            return now;
        };
        h.showProgress = [this](const QString& text, std::optional<Platform::Deadline>,
                                std::function<void()> onCancel) {
            log.append(QStringLiteral("progress ") + text);
            if (onCancel)
                cancelProgress = std::move(onCancel);
        };
        h.closeProgress = [this] {
            log.append(QStringLiteral("progress closed"));
        };
        ModDialer::serialLineProvider() = [this]() -> SerialLine& {
            return serial;
        };
    }
    ~FakePlatform() {
        Platform::hooks() = m_saved;
        ModDialer::serialLineProvider() = nullptr;
    }
    FakePlatform(const FakePlatform&) = delete;
    FakePlatform& operator=(const FakePlatform&) = delete;

    std::function<void()> cancelProgress;

    // Log entries that are not event passes or count reads, for order checks.
    QStringList actions() const {
        QStringList kept;
        for (const QString& entry : log) {
            if (entry != QLatin1String("events") && entry != QLatin1String("count") &&
                entry != QLatin1String("input"))
                kept.append(entry);
        }
        return kept;
    }

private:
    int nextAnswer() {
        if (answers.empty())
            return Platform::vbOK;
        const int answer = answers.front();
        answers.pop_front();
        return answer;
    }
    void processEvents(std::chrono::milliseconds maxWait) {
        if (++passes > 100000)
            throw std::runtime_error("the wait never ended");
        script.step("events");
        if (duringEvents)
            duringEvents(passes);
        if (!serial.deliver())
            now += std::max(maxWait, std::chrono::milliseconds(1));
    }

    Platform::Hooks m_saved;
};
