// SPDX-License-Identifier: LicenseRef-Corvane-Proprietary
#include "dialersettings.h"

#include "inifile.h"
#include "profiletrust.h"
#include "runtimeerror.h"
#include "text.h"

#include <QDir>
#include <QFileInfo>
#include <unistd.h>

namespace ModDialer {

DialerSettingsRecord DialerSettings;

namespace {

// Each field is stored before the next key is read, so a failing read leaves
// the earlier fields with their new values.
void readInto(const QString& anteponerDefault, const QString& commDefault,
              const QString& settingsDefault) {
    DialerSettings.Anteponer = Profile::read(Profile::kPrefix, anteponerDefault);
    DialerSettings.Comm = Profile::read(Profile::kPort, commDefault);
    DialerSettings.Settings = Profile::read(Profile::kLineSettings, settingsDefault);
}

// A file the profile names under [RED]; a relative path is taken from the
// profile's own folder, as an administrator copying both together expects.
QString profileFile(const Profile::Key& key) {
    const QString named = trimBlanks(Profile::read(key));
    if (named.isEmpty())
        return named;
    return QFileInfo(IniFile::pathOf(Profile::kFile)).dir().absoluteFilePath(named);
}

} // namespace

void readStartUpSettings() {
    const QString untrusted =
        ProfileTrust::whoMayChange(IniFile::pathOf(Profile::kFile), ::getuid());
    if (!untrusted.isEmpty())
        throw RunTimeError(PermissionDenied,
                           QStringLiteral("No se marca con este perfil: %1.").arg(untrusted));
    readInto(QString(), QString(), QString());
}

void readWindowSettings() {
    readInto(QString(), Profile::kWindowPort, Profile::kWindowLineSettings);
}

PortProfile portProfile() {
    return {[](qint16 port) { return Profile::read(Profile::portTargets(port)); },
            [] {
                return TlsFiles{profileFile(Profile::kAuthority),
                                profileFile(Profile::kCertificate),
                                profileFile(Profile::kPrivateKey)};
            }};
}

} // namespace ModDialer
