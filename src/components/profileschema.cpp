// SPDX-License-Identifier: LicenseRef-Corvane-Proprietary
#include "profileschema.h"

#include "floorfiles.h"
#include "inifile.h"

namespace Profile {
namespace {

std::optional<QString> floorValue(const QString& path, const Key& key) {
    if (!FloorFiles::usable(path))
        return std::nullopt;
    return IniFile::instance().find(path, key.section, key.name);
}

} // namespace

Value lookup(const Key& key, const QString& fallback) {
    if (auto fixed = floorValue(FloorFiles::kFixedFile, key))
        return {*fixed, Source::Fixed, FloorFiles::kFixedFile};
    if (auto own = IniFile::instance().find(kFile, key.section, key.name))
        return {*own, Source::User, IniFile::pathOf(kFile)};
    const QString defaults = FloorFiles::defaultsFile();
    if (auto floor = floorValue(defaults, key))
        return {*floor, Source::Defaults, defaults};
    return {fallback, Source::Builtin, QString()};
}

QString read(const Key& key, const QString& fallback) {
    return lookup(key, fallback).text;
}

void write(const Key& key, const QString& value) {
    IniFile::instance().WriteValue(kFile, key.section, key.name, value);
}

} // namespace Profile
