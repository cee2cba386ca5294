// SPDX-License-Identifier: LicenseRef-Corvane-Proprietary
#include "application.h"

#include "frmdialer.h"
#include "platform.h"
#include "qtplatform.h"
#include "serialline.h"
#include "startup.h"

#include <QApplication>
#include <QStringList>

namespace Application {
namespace {

QString requestText(int argc, char** argv) {
    QStringList words;
    for (int i = 1; i < argc; ++i)
        words.append(QString::fromUtf8(argv[i]));
    return words.join(QLatin1Char(' '));
}

} // namespace

int run(int argc, char** argv) {
    Platform::setCommand(requestText(argc, argv));
    int qtArgc = 1; // Qt must never take "-style" or "-platform" from a request
    QApplication app(qtArgc, argv);
    QApplication::setApplicationName(QStringLiteral("cvdialer"));
    QtPlatform::install();
    ModDialer::serialLineProvider() = []() -> SerialLine& {
        return FrmDIALER::instance().MSComm1;
    };

    Platform::RunUntrapped(ModDialer::Main);
    if (FrmDIALER::exists() && FrmDIALER::instance().isVisible())
        QApplication::exec();
    Platform::End(Platform::ExitDone);
}

} // namespace Application
