// SPDX-License-Identifier: LicenseRef-Corvane-Proprietary
#include "application.h"

#include "cancelsignals.h"
#include "check.h"
#include "commcontrol.h"
#include "descriptor.h"
#include "dialrecord.h"
#include "frmdialer.h"
#include "platform.h"
#include "platformstart.h"
#include "qtplatform.h"
#include "request.h"
#include "startup.h"
#include "testwaits.h"
#include "usage.h"

#include <cstdio>
#include <QApplication>
#include <QLibraryInfo>
#include <QStringList>
#include <QTimer>
#include <QTranslator>

namespace Application {
namespace {

QString requestText(int argc, char** argv) {
    QStringList words;
    for (int i = 1; i < argc; ++i)
        words.append(QString::fromUtf8(argv[i]));
    return words.join(QLatin1Char(' '));
}

// A dial holds about fourteen descriptors with its message up (the cancel
// pipe, the display, the port and its lock, the cue, the window's shared
// memory, the screen reader's bus). Short of them, Qt and GLib block or abort
// halfway, after the number went out and with the line off-hook; so a dial
// that cannot have twice that does not start.
constexpr int kDescriptorsForADial = 32;

// Before anything is opened: a process too short of descriptors to finish a
// dial says so and starts none.
void checkDescriptors() {
    // The cancel pipe, already open, is the dial's own.
    const int left = freeDescriptors(ModDialer::isCancelPipe);
    if (left >= 0 && left < kDescriptorsForADial) {
        std::fprintf(
            stderr,
            "cvdialer: aviso: no se puede marcar: quedan %d descriptores de archivo libres y un "
            "marcado necesita %d (ulimit -n)\n",
            left, kDescriptorsForADial);
        Platform::End(Platform::ExitUntrappedError);
    }
}

// A polite kill ends the window as its close command does: nothing saved, a
// box that is up answered as Esc, and the window's own status.
void closeWindowOnSignals() {
    ModDialer::closeOnSignals([] {
        Platform::Interrupt();
        QTimer::singleShot(0, &FrmDIALER::hiddenInstance(),
                           [] { FrmDIALER::hiddenInstance().close(); });
    });
}

} // namespace

bool installQtTranslation(QCoreApplication& app) {
    auto* translator = new QTranslator(&app);
    if (translator->load(QStringLiteral("qtbase_es"),
                         QLibraryInfo::path(QLibraryInfo::TranslationsPath)) &&
        QCoreApplication::installTranslator(translator))
        return true;
    delete translator;
    return false;
}

int run(int argc, char** argv) {
    Platform::setLaunchTime(Platform::Now());
    const QString request = requestText(argc, argv);
    int qtArgc = 1; // Qt must never take "-style" or "-platform" from a request
    if (request == QLatin1String("--check")) { // no display, no window: Qt Core's loop alone
        ModDialer::restoreDefaultSignals();
        const QCoreApplication core(qtArgc, argv);
        return ModDialer::Check();
    }
    const std::optional<QString> information = Usage::informationFor(request);
    // The cancel signals were taken first thing (main.cpp); outside a dial
    // they end the process as usual.
    const bool dial = !information && ModDialer::isDialRequest(request);
    if (!dial)
        ModDialer::restoreDefaultSignals();
    if (information) {
        std::fputs(information->toUtf8().constData(), stdout);
        return Platform::ExitDone;
    }
    Platform::setCommand(request);
    if (dial) {
        DialRecord::begin(ModDialer::isTelRequest(request) ? DialRecord::Origin::Link
                                                           : DialRecord::Origin::Request);
        DialRecord::maskArguments(argc, argv); // the request is read: ps need not show it
        checkDescriptors();
    }
    PlatformStart::watch();
    QApplication app(qtArgc, argv);
    PlatformStart::started();
    QApplication::setApplicationName(QStringLiteral("cvdialer"));
    if (!installQtTranslation(app))
        Platform::Note(QStringLiteral("no se pudo cargar la traducción de Qt al español "
                                      "(qtbase_es); sus textos propios saldrán en inglés"));
    QtPlatform::install();
    TestWaits::apply();
    ModDialer::serialLineProvider() = []() -> SerialLine& {
        return FrmDIALER::hiddenInstance().MSComm1;
    };

    // A polite kill closes any box of a dial request, a refused profile's
    // included, rather than wait for the watchdog.
    if (dial)
        Platform::RunUntrapped(ModDialer::watchCancelSignals);
    Platform::RunUntrapped(ModDialer::Main);
    if (FrmDIALER::exists() && FrmDIALER::hiddenInstance().isVisible()) {
        closeWindowOnSignals();
        QApplication::exec(); // returns once the close command has closed the window
        Platform::End(FrmDIALER::hiddenInstance().leavingStatus());
    }
    Platform::End(Platform::ExitDone);
}

} // namespace Application
