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
SettingSources readInto(const QString& anteponerDefault, const QString& commDefault,
                        const QString& settingsDefault) {
    SettingSources sources{};
    const auto take = [&sources](QString& field, std::size_t index, const Profile::Key& key,
                                 const QString& fallback) {
        const Profile::Value value = Profile::lookup(key, fallback);
        field = value.text;
        sources.at(index) = value.source;
    };
    take(DialerSettings.Anteponer, 0, Profile::kPrefix, anteponerDefault);
    take(DialerSettings.Comm, 1, Profile::kPort, commDefault);
    take(DialerSettings.Settings, 2, Profile::kLineSettings, settingsDefault);
    return sources;
}

// A file the profile names under [RED]; a relative path is taken from the
// folder of the file that names it, as an administrator copying both
// together expects.
QString profileFile(const Profile::Key& key) {
    const Profile::Value value = Profile::lookup(key);
    const QString named = trimBlanks(value.text);
    if (named.isEmpty())
        return named;
    return QFileInfo(value.file).dir().absoluteFilePath(named);
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

SettingSources readWindowSettings() {
    return readInto(QString(), Profile::kWindowPort, Profile::kWindowLineSettings);
}

bool settingsMissing() {
    return trimSpaces(DialerSettings.Comm).isEmpty() || DialerSettings.Settings.isEmpty();
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
