// SPDX-License-Identifier: LicenseRef-Corvane-Proprietary
#include "fieldfinder.h"

#include "runtimeerror.h"

#include <memory>
#include <QObject>
#include <QVariant>

namespace {
std::unique_ptr<FieldFinder>& slot() {
    static std::unique_ptr<FieldFinder> instance;
    return instance;
}
} // namespace

FieldFinder& FieldFinder::instance() {
    if (!slot())
        slot().reset(new FieldFinder);
    return *slot();
}

bool FieldFinder::exists() {
    return bool(slot());
}

qint16 FieldFinder::FindIndex(const QString& key, const QObjectList& fields) const {
    for (qsizetype i = 0; i < fields.size() && i <= 32767; ++i) {
        const QObject* field = fields.at(i);
        if (field &&
            field->property(kKeyProperty).toString().compare(key, Qt::CaseInsensitive) == 0)
            return qint16(i);
    }
    throw RunTimeError(InvalidProcedureCall,
                       QStringLiteral("Ningún campo lleva la clave \"%1\".").arg(key));
}
