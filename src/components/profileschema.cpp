// SPDX-License-Identifier: LicenseRef-Corvane-Proprietary
#include "profileschema.h"

#include "inifile.h"

namespace Profile {

QString read(const Key& key, const QString& fallback) {
    return IniFile::instance().ReadValue(kFile, key.section, key.name, fallback);
}

void write(const Key& key, const QString& value) {
    IniFile::instance().WriteValue(kFile, key.section, key.name, value);
}

} // namespace Profile
