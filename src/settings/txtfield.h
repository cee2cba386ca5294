// SPDX-License-Identifier: LicenseRef-Corvane-Proprietary
// The settings window's text fields: each carries the profile key it edits, as
// a constant property, and the three together form the txtfields array.
#pragma once

#include <array>
#include <QLineEdit>
#include <QObjectList>

class TxtField : public QLineEdit {
    Q_OBJECT
    Q_PROPERTY(QString key READ key CONSTANT)
public:
    TxtField(const QString& key, QWidget* parent);
    QString key() const { return m_key; }

private:
    const QString m_key;
};

class TxtFieldArray {
public:
    static constexpr qint16 kCount = 3;

    void set(qint16 index, TxtField* field) { m_fields.at(std::size_t(index)) = field; }
    // Member index, as txtfields(index); error 9 when there is no such member.
    QLineEdit& operator()(qint16 index) const;
    // The members in index order, for looking one up by its key.
    QObjectList members() const;

private:
    std::array<TxtField*, kCount> m_fields{};
};
