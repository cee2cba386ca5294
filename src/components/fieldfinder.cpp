// SPDX-License-Identifier: LicenseRef-Corvane-Proprietary
#include "fieldfinder.h"

#include "runtimeerror.h"

#include <QObject>
#include <QVariant>

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
