// SPDX-License-Identifier: LicenseRef-Corvane-Proprietary
// IniFile: reads and writes values of a Windows-style profile (INI) file the way
// the Windows profile functions do, so files copied from the old workstations
// keep working. A bare file name lives in $XDG_CONFIG_HOME (or ~/.config).
// Writes change only the value they write and replace the file atomically.
// The file is parsed once per run and read again only when it may have changed.
#pragma once

#include "processwide.h"
#include "profilecache.h"

#include <chrono>
#include <optional>
#include <QString>

class IniFile {
public:
    static IniFile& instance() { return ProcessWide<IniFile>::instance(); }

    // The key's stored text, or defaultValue when the file, section or key is missing.
    QString ReadValue(const QString& fileName, const QString& section, const QString& key,
                      const QString& defaultValue) const;
    // The key's stored text; nothing when the file, section or key is missing.
    std::optional<QString> find(const QString& fileName, const QString& section,
                                const QString& key) const;
    // Stores value under the key; a later ReadValue returns it. Throws RunTimeError.
    void WriteValue(const QString& fileName, const QString& section, const QString& key,
                    const QString& value) const;

    // Where a file name given to ReadValue/WriteValue lives.
    static QString pathOf(const QString& fileName);

    // How long a write waits for another program's lock on the file before
    // it gives up; tests shorten it.
    void setLockTimeout(std::chrono::milliseconds timeout) { m_lockTimeout = timeout; }

private:
    Q_DISABLE_COPY(IniFile)
    friend class ProcessWide<IniFile>;
    IniFile() = default;

    mutable ProfileCache m_cache;
    std::chrono::milliseconds m_lockTimeout = std::chrono::seconds(10);
};
