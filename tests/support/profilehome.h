// SPDX-License-Identifier: LicenseRef-Corvane-Proprietary
// A profile folder of a test's own: XDG_CONFIG_HOME points into a temporary
// directory that goes with the object, so no test sees another's profile.
#pragma once

#include "profileschema.h"

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>

class ProfileHome {
public:
    // The folder is made by the first write, as the dialer makes it.
    explicit ProfileHome(const QString& folder = QStringLiteral("config"))
        : m_folder(m_dir.filePath(folder)) {
        qputenv("XDG_CONFIG_HOME", m_folder.toUtf8());
    }

    QString folder() const { return m_folder; }
    QString path() const { return m_folder + QLatin1Char('/') + Profile::kFile; }
    // A path beside the folder, for what a test puts in the dialer's way; the
    // temporary directory itself without a name.
    QString scratch(const QString& name = {}) const {
        return name.isEmpty() ? m_dir.path() : m_dir.filePath(name);
    }

    bool write(const QByteArray& bytes) const {
        QDir().mkpath(m_folder);
        QFile file(path());
        return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
    }
    // The profile's bytes; "<none>" when there is no file.
    QByteArray read() const {
        QFile file(path());
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<none>");
    }

private:
    QTemporaryDir m_dir;
    QString m_folder;
};
