// SPDX-License-Identifier: LicenseRef-Corvane-Proprietary
#pragma once

#include "harness.h"

namespace e2e {

// A scratch home for one test: the profile folder and a runtime folder.
struct Scratch {
    QTemporaryDir dir;
    QString config = dir.filePath(QStringLiteral("config"));
    QString runtime = dir.filePath(QStringLiteral("run"));

    Scratch() {
        QDir().mkpath(config);
        QDir().mkpath(runtime);
        QFile::setPermissions(runtime, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    }
    QString profilePath() const { return config + QStringLiteral("/CVDIALER.INI"); }
    void writeProfile(const QString& text) const {
        QFile file(profilePath());
        if (file.open(QIODevice::WriteOnly))
            file.write(text.toUtf8());
    }
    QByteArray profile() const {
        QFile file(profilePath());
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<none>");
    }
};

inline bool haveDisplay() {
    return !qEnvironmentVariableIsEmpty("DISPLAY");
}

} // namespace e2e
