// SPDX-License-Identifier: LicenseRef-Corvane-Proprietary
#include "profilecache.h"

#include <algorithm>
#include <QFile>

namespace {

// A file system stamps writes with a coarse clock (a jiffy, two seconds on
// FAT), so a write that follows a read closely enough may leave every field of
// stat as it was: a file modified this recently is read again each time.
constexpr std::chrono::seconds kStampGranularity{2};

std::chrono::nanoseconds sinceEpoch(const timespec& time) {
    return std::chrono::seconds(time.tv_sec) + std::chrono::nanoseconds(time.tv_nsec);
}

bool sameTime(const timespec& a, const timespec& b) {
    return a.tv_sec == b.tv_sec && a.tv_nsec == b.tv_nsec;
}

} // namespace

bool ProfileCache::Stamp::operator==(const Stamp& other) const {
    return device == other.device && inode == other.inode && size == other.size &&
           sameTime(modified, other.modified) && sameTime(changed, other.changed);
}

std::optional<ProfileCache::Stamp> ProfileCache::stampOf(const QString& path) {
    struct stat info {};
    if (::stat(QFile::encodeName(path).constData(), &info) != 0 || !S_ISREG(info.st_mode))
        return std::nullopt;
    return Stamp{info.st_dev, info.st_ino, info.st_size, info.st_mtim, info.st_ctim};
}

bool ProfileCache::settled(const timespec& stamped) const {
    return sinceEpoch(stamped) + kStampGranularity < m_now().time_since_epoch();
}

bool ProfileCache::unchanged(const Entry* entry, const std::optional<Stamp>& stamp) const {
    return entry && stamp && entry->stamp == stamp && settled(stamp->modified) &&
           settled(stamp->changed);
}

ProfileCache::Entry* ProfileCache::entryFor(const QString& path) {
    for (Entry& entry : m_entries) {
        if (entry.path == path)
            return &entry;
    }
    return nullptr;
}

void ProfileCache::forget(const QString& path) {
    m_entries.erase(std::remove_if(m_entries.begin(), m_entries.end(),
                                   [&path](const Entry& entry) { return entry.path == path; }),
                    m_entries.end());
}

ProfileCache::Entry& ProfileCache::remember(const QString& path, const QByteArray& bytes) {
    forget(path);
    return m_entries.emplace_back(Entry{path, bytes, ProfileDocument(bytes), std::nullopt});
}

const ProfileDocument* ProfileCache::document(const QString& path, const Reader& read) {
    // Taken before the read: a change during it then shows at the next look.
    const std::optional<Stamp> stamp = stampOf(path);
    Entry* entry = entryFor(path);
    if (unchanged(entry, stamp))
        return &entry->document;
    const std::optional<QByteArray> bytes = read(path);
    if (!bytes) {
        forget(path);
        return nullptr;
    }
    if (!entry || entry->bytes != *bytes)
        entry = &remember(path, *bytes);
    entry->stamp = stamp;
    return &entry->document;
}

void ProfileCache::written(const QString& path, const QByteArray& bytes) {
    remember(path, bytes);
}
