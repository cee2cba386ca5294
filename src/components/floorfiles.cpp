// SPDX-License-Identifier: LicenseRef-Corvane-Proprietary
#include "floorfiles.h"

#include "platform.h"
#include "profileschema.h"
#include "profiletrust.h"

#include <QDir>
#include <QFile>
#include <QSet>
#include <QStringList>
#include <sys/stat.h>

namespace FloorFiles {
namespace {

bool exists(const QString& path) {
    struct stat info {};
    return ::stat(QFile::encodeName(path).constData(), &info) == 0;
}

// Said once per file: every key read would otherwise repeat it.
void noteIgnored(const QString& path, const QString& why) {
    static QSet<QString> noted;
    if (noted.contains(path))
        return;
    noted.insert(path);
    Platform::Note(QStringLiteral("se ignora %1: %2; un archivo de la planta debe ser de root y "
                                  "solo root puede poder escribirlo (chown root: y chmod 644)")
                       .arg(path, why));
}

} // namespace

QString defaultsFile() {
    QStringList folders;
    for (const QString& folder :
         qEnvironmentVariable("XDG_CONFIG_DIRS").split(QLatin1Char(':'), Qt::SkipEmptyParts)) {
        if (QDir::isAbsolutePath(folder)) // relative ones are invalid by the convention
            folders.append(folder);
    }
    if (folders.isEmpty())
        folders.append(QStringLiteral("/etc/xdg"));
    for (const QString& folder : folders) {
        const QString path = QDir(folder).filePath(Profile::kFile);
        if (exists(path))
            return path;
    }
    return {};
}

bool usable(const QString& path) {
    struct stat info {};
    if (path.isEmpty() || ::stat(QFile::encodeName(path).constData(), &info) != 0)
        return false;
    if (info.st_uid != 0) {
        noteIgnored(path, QStringLiteral("es del usuario %1, no de root").arg(info.st_uid));
        return false;
    }
    if ((info.st_mode & (S_IWGRP | S_IWOTH)) != 0) {
        noteIgnored(path, QStringLiteral("otros pueden escribirlo (modo %1)")
                              .arg(ProfileTrust::modeText(info.st_mode)));
        return false;
    }
    return true;
}

} // namespace FloorFiles
