// SPDX-License-Identifier: LicenseRef-Corvane-Proprietary
#pragma once

#include "harness.h"
#include "support/profilehome.h"

#include <initializer_list>
#include <optional>
#include <QStandardPaths>

namespace e2e {

// What the operator is shown once the modem said "OK", and when COM2 cannot be had.
inline const QString kDialled =
    QStringLiteral("Escriba el número y presione Intro o haga clic en Aceptar");
inline const QString kUnavailable =
    QStringLiteral("COM2 no está disponible. Cambie la propiedad CommPort a otro puerto.");

// A scratch home for one test: the profile folder and a runtime folder.
struct Scratch : ProfileHome {
    QString config = folder();
    QString runtime = scratch(QStringLiteral("run"));

    Scratch() {
        QDir().mkpath(config);
        QDir().mkpath(runtime);
        QFile::setPermissions(runtime, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    }
    QString profilePath() const { return path(); }
    // The simulated modem's profile, COM2 being target, with extra lines after it.
    void writeModemProfile(const QString& target, const QString& settings = {},
                           const QString& extra = {}) const {
        QFile file(QStringLiteral(CV_SOURCE_DIR "/tools/fakemodem/profile.ini"));
        QString text =
            file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll()) : QString();
        text.replace(QLatin1String("@TARGET@"), target);
        if (!settings.isEmpty())
            text.replace(QLatin1String("SETTINGS=9600,N,8,1"),
                         QLatin1String("SETTINGS=") + settings);
        writeProfile(text + extra);
    }
    void writeProfile(const QString& text) const { write(text.toUtf8()); }
    QByteArray profile() const { return read(); }
};

// Why an end-to-end test cannot run on this machine (no X display, one of
// the programs it drives missing), or nothing: every test case's preamble.
inline std::optional<QByteArray>
missingForEndToEnd(std::initializer_list<const char*> programs = {}) {
    if (qEnvironmentVariableIsEmpty("DISPLAY"))
        return QByteArray("needs an X display (scripts/test runs these under Xvfb)");
    for (const char* program : programs) {
        if (QStandardPaths::findExecutable(QLatin1String(program)).isEmpty())
            return QByteArray("needs ") + program + " (scripts/setup installs it)";
    }
    return std::nullopt;
}

} // namespace e2e
