// SPDX-License-Identifier: LicenseRef-Corvane-Proprietary
#include "txtfield.h"

#include "runtimeerror.h"

#include <limits>

TxtField::TxtField(const QString& key, QWidget* parent) : QLineEdit(parent), m_key(key) {
    setMaxLength(std::numeric_limits<int>::max()); // no length limit
}

QLineEdit& TxtFieldArray::operator()(qint16 index) const {
    if (index < 0 || index >= kCount || !m_fields.at(std::size_t(index)))
        throw RunTimeError(SubscriptOutOfRange,
                           QStringLiteral("txtfields(%1) no existe.").arg(index));
    return *m_fields.at(std::size_t(index));
}

QObjectList TxtFieldArray::members() const {
    QObjectList list;
    for (TxtField* field : m_fields)
        list.append(field);
    return list;
}
