// SPDX-License-Identifier: LicenseRef-Corvane-Proprietary
#include "dialersettings.h"

#include "inifile.h"
#include "text.h"

#include <QDir>
#include <QFileInfo>

namespace ModDialer {

DialerSettingsRecord DialerSettings;

namespace {

// Each field is stored before the next key is read, so a failing read leaves
// the earlier fields with their new values.
void readInto(const QString& anteponerDefault, const QString& commDefault,
              const QString& settingsDefault) {
    const IniFile& ini = IniFile::instance();
    DialerSettings.Anteponer =
        ini.ReadValue(kProfileFile, kSection, kKeyAnteponer, anteponerDefault);
    DialerSettings.Comm = ini.ReadValue(kProfileFile, kSection, kKeyComm, commDefault);
    DialerSettings.Settings = ini.ReadValue(kProfileFile, kSection, kKeySettings, settingsDefault);
}

// A file the profile names under [RED]; a relative path is taken from the
// profile's own folder, as an administrator copying both together expects.
QString profileFile(const QString& key) {
    const QString named = trimBlanks(
        IniFile::instance().ReadValue(kProfileFile, QStringLiteral("RED"), key, QString()));
    if (named.isEmpty())
        return named;
    return QFileInfo(IniFile::pathOf(kProfileFile)).dir().absoluteFilePath(named);
}

} // namespace

void readStartUpSettings() {
    readInto(QString(), QString(), QString());
}

void readWindowSettings() {
    readInto(QString(), QStringLiteral("2"), QStringLiteral("9600,N,8,1"));
}

PortProfile portProfile() {
    return {[](qint16 port) {
                return IniFile::instance().ReadValue(kProfileFile, QStringLiteral("PUERTOS"),
                                                     QStringLiteral("COM%1").arg(port), QString());
            },
            [] {
                return TlsFiles{profileFile(QStringLiteral("CA")),
                                profileFile(QStringLiteral("CERTIFICADO")),
                                profileFile(QStringLiteral("CLAVE"))};
            }};
}

} // namespace ModDialer
