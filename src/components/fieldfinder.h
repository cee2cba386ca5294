// SPDX-License-Identifier: LicenseRef-Corvane-Proprietary
// FieldFinder: finds a settings field by the profile key it carries, so the
// window and the profile agree on which field holds which value.
#pragma once

#include "processwide.h"

#include <QObjectList>
#include <QString>

class FieldFinder {
public:
    static FieldFinder& instance() { return ProcessWide<FieldFinder>::instance(); }

    // The name of the constant property each field carries its key in.
    static constexpr const char* kKeyProperty = "key";

    // Index of the member of fields whose key equals key (any letter case).
    // Throws RunTimeError 5 when no member carries it.
    qint16 FindIndex(const QString& key, const QObjectList& fields) const;

private:
    Q_DISABLE_COPY(FieldFinder)
    friend class ProcessWide<FieldFinder>;
    FieldFinder() = default;
};
