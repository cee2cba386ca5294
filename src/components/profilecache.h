// SPDX-License-Identifier: LicenseRef-Corvane-Proprietary
// ProfileCache: the profile files read (the user's and the floor's), each
// parsed once and kept while the file stays the same, so the several reads of
// one run parse each once and, when its time stamps can vouch for it, do not
// even open it again.
#pragma once

#include "profiledocument.h"

#include <chrono>
#include <functional>
#include <optional>
#include <QByteArray>
#include <QString>
#include <sys/stat.h>
#include <utility>
#include <vector>

class ProfileCache {
public:
    // The file's bytes, nothing when it does not exist; throws as a read would.
    using Reader = std::function<std::optional<QByteArray>(const QString& path)>;
    // The wall clock file systems stamp files by; tests move it on.
    using WallClock = std::function<std::chrono::system_clock::time_point()>;

    explicit ProfileCache(WallClock now = std::chrono::system_clock::now) : m_now(std::move(now)) {}

    // The file at path parsed, or nullptr when it does not exist. Reads it
    // through read unless it is surely unchanged; parses only new bytes.
    const ProfileDocument* document(const QString& path, const Reader& read);
    // The bytes a write just put at path, so the next read need not parse them.
    void written(const QString& path, const QByteArray& bytes);

private:
    // What stat says of a file: any write, replacement or chmod changes it.
    struct Stamp {
        dev_t device = 0;
        ino_t inode = 0;
        off_t size = 0;
        timespec modified{};
        timespec changed{};
        bool operator==(const Stamp& other) const;
    };
    struct Entry {
        QString path;
        QByteArray bytes;
        ProfileDocument document;
        std::optional<Stamp> stamp; // none: read again before trusting it
    };

    static std::optional<Stamp> stampOf(const QString& path);
    bool settled(const timespec& stamped) const;
    bool unchanged(const Entry* entry, const std::optional<Stamp>& stamp) const;
    Entry* entryFor(const QString& path);
    void forget(const QString& path);
    Entry& remember(const QString& path, const QByteArray& bytes);

    WallClock m_now;
    // A handful at most (the user's profile and two floor files): a list will do.
    std::vector<Entry> m_entries;
};
