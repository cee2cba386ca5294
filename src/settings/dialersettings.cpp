// SPDX-License-Identifier: LicenseRef-Corvane-Proprietary
#include "dialersettings.h"

#include "inifile.h"

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

} // namespace

void readStartUpSettings() {
    readInto(QString(), QString(), QString());
}

void readWindowSettings() {
    readInto(QString(), QStringLiteral("2"), QStringLiteral("9600,N,8,1"));
}

} // namespace ModDialer
