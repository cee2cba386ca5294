// SPDX-License-Identifier: LicenseRef-Corvane-Proprietary
#include "application.h"

#include "commcontrol.h"
#include "frmdialer.h"
#include "platform.h"
#include "platformstart.h"
#include "qtplatform.h"
#include "startup.h"
#include "usage.h"

#include <cstdio>
#include <QApplication>
#include <QLibraryInfo>
#include <QStringList>
#include <QTranslator>

namespace Application {
namespace {

QString requestText(int argc, char** argv) {
    QStringList words;
    for (int i = 1; i < argc; ++i)
        words.append(QString::fromUtf8(argv[i]));
    return words.join(QLatin1Char(' '));
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
    const QString request = requestText(argc, argv);
    if (const std::optional<QString> information = Usage::informationFor(request)) {
        std::fputs(information->toUtf8().constData(), stdout);
        return Platform::ExitDone;
    }
    Platform::setCommand(request);
    int qtArgc = 1; // Qt must never take "-style" or "-platform" from a request
    PlatformStart::watch();
    QApplication app(qtArgc, argv);
    PlatformStart::started();
    QApplication::setApplicationName(QStringLiteral("cvdialer"));
    if (!installQtTranslation(app))
        Platform::Diagnostic(QStringLiteral("no se pudo cargar la traducción de Qt al español "
                                            "(qtbase_es); sus textos propios saldrán en inglés"));
    QtPlatform::install();
    ModDialer::serialLineProvider() = []() -> SerialLine& {
        return FrmDIALER::hiddenInstance().MSComm1;
    };

    Platform::RunUntrapped(ModDialer::Main);
    if (FrmDIALER::exists() && FrmDIALER::hiddenInstance().isVisible()) {
        QApplication::exec(); // returns once the close command has closed the window
        Platform::End(FrmDIALER::hiddenInstance().leavingStatus());
    }
    Platform::End(Platform::ExitDone);
}

} // namespace Application
