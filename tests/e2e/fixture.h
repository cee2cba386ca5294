// SPDX-License-Identifier: LicenseRef-Corvane-Proprietary
#pragma once

#include "harness.h"
#include "support/profilehome.h"

namespace e2e {

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
    void writeProfile(const QString& text) const { write(text.toUtf8()); }
    QByteArray profile() const { return read(); }
};

inline bool haveDisplay() {
    return !qEnvironmentVariableIsEmpty("DISPLAY");
}

} // namespace e2e
