// SPDX-License-Identifier: LicenseRef-Corvane-Proprietary
#include "platformstart.h"

#include "platform.h"

#include <mutex>
#include <QByteArray>
#include <QString>
#include <sys/mman.h>
#include <sys/resource.h>
#include <utility>
#include <vector>

namespace PlatformStart {
namespace {

struct HeldMessage {
    QtMsgType type;
    QByteArray file, function, category;
    int line;
    QString text;
};

QtMessageHandler& previousHandler() {
    static QtMessageHandler handler = nullptr;
    return handler;
}

// Qt may write from a thread of its own while it starts.
std::mutex& heldLock() {
    static std::mutex lock;
    return lock;
}

std::vector<HeldMessage>& held() {
    static std::vector<HeldMessage> messages;
    return messages;
}

// Qt names the plugin it could not load in a warning before its fatal message.
QString pluginNamed(const QString& text) {
    const QString marker = QStringLiteral("platform plugin \"");
    const qsizetype start = text.indexOf(marker);
    const qsizetype end = start < 0 ? -1 : text.indexOf(QLatin1Char('"'), start + marker.size());
    return end < 0 ? QString() : text.mid(start + marker.size(), end - start - marker.size());
}

void writeOut(const std::vector<HeldMessage>& messages) {
    for (const HeldMessage& message : messages) {
        const QMessageLogContext context(message.file.constData(), message.line,
                                         message.function.constData(),
                                         message.category.constData());
        qt_message_output(message.type, context, message.text);
    }
}

// Loading the display's plugin and its libraries takes some 30 MiB of address
// space; a process that cannot map that much now failed for memory, whatever
// Qt says. The probe reserves nothing and is given back at once.
constexpr size_t kDisplayLibraries = 32u << 20;

bool shortOfMemory() {
    void* probe = ::mmap(nullptr, kDisplayLibraries, PROT_NONE,
                         MAP_PRIVATE | MAP_ANONYMOUS | MAP_NORESERVE, -1, 0);
    if (probe == MAP_FAILED)
        return true;
    ::munmap(probe, kDisplayLibraries);
    return false;
}

QString memoryLimit() {
    rlimit limit{};
    if (::getrlimit(RLIMIT_AS, &limit) != 0 || limit.rlim_cur == RLIM_INFINITY)
        return QStringLiteral("la memoria que queda en el sistema");
    return QStringLiteral("el límite de memoria del proceso (ulimit -v, %1 MiB)")
        .arg(limit.rlim_cur >> 20);
}

[[noreturn]] void reportNoDisplay() {
    QString plugin;
    for (auto message = held().cbegin(); plugin.isEmpty() && message != held().cend(); ++message)
        plugin = pluginNamed(message->text);
    if (shortOfMemory()) {
        Platform::Note(
            QStringLiteral("no queda memoria para abrir la pantalla: Qt no pudo cargar "
                           "su plataforma gráfica%1 con %2; no se ha marcado "
                           "nada.")
                .arg(plugin.isEmpty() ? QString() : QStringLiteral(" \"%1\"").arg(plugin),
                     memoryLimit()));
        Platform::End(Platform::ExitUntrappedError);
    }
    Platform::Note(
        QStringLiteral("no hay pantalla donde mostrar nada: Qt no pudo abrir su plataforma "
                       "gráfica%1 (DISPLAY o WAYLAND_DISPLAY sin servidor, o falta qt6-wayland "
                       "en una sesión Wayland); no se ha marcado nada.")
            .arg(plugin.isEmpty() ? QString() : QStringLiteral(" \"%1\"").arg(plugin)));
    Platform::End(Platform::ExitUntrappedError);
}

void holdOrReport(QtMsgType type, const QMessageLogContext& context, const QString& text) {
    const std::lock_guard<std::mutex> guard(heldLock());
    if (type == QtFatalMsg && text.contains(QLatin1String("platform plugin"), Qt::CaseInsensitive))
        reportNoDisplay();
    if (type == QtFatalMsg) { // any other ends the process as Qt means it to, after the rest
        qInstallMessageHandler(previousHandler());
        writeOut(std::exchange(held(), {}));
        previousHandler()(type, context, text);
        return;
    }
    held().push_back(
        HeldMessage{type, context.file, context.function, context.category, context.line, text});
}

} // namespace

void watch() {
    previousHandler() = qInstallMessageHandler(holdOrReport);
}

void started() {
    qInstallMessageHandler(previousHandler());
    std::vector<HeldMessage> messages;
    {
        const std::lock_guard<std::mutex> guard(heldLock());
        messages.swap(held());
    }
    writeOut(messages);
}

} // namespace PlatformStart
