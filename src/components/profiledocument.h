// SPDX-License-Identifier: LicenseRef-Corvane-Proprietary
// A profile file parsed into lines, read as the Windows profile functions read
// it. Every line keeps its byte range in the raw file, so an edit replaces one
// value and leaves every other byte as it was.
#pragma once

#include "profiletext.h"

#include <optional>
#include <QByteArray>
#include <QList>
#include <QPair>
#include <QString>
#include <vector>

class ProfileDocument {
public:
    explicit ProfileDocument(QByteArray bytes);

    // The key's value as read, or nothing when the section or key is missing.
    std::optional<QString> value(const QString& section, const QString& key) const;
    struct Update {
        QByteArray bytes;
        bool converted = false; // the whole file became UTF-8 with a BOM
    };
    // The file's bytes with the key set to value; nothing when it already has it.
    // Every other key reads as before and the value reads back exactly; where
    // keeping a Windows-1252 file's encoding cannot promise that, the file is
    // converted. Throws RunTimeError when no way of storing it can.
    std::optional<Update> withValue(const QString& section, const QString& key,
                                    const QString& value) const;
    // Every (section, key) name pair as written, in file order; keys before any
    // section have an empty section.
    QList<QPair<QString, QString>> keyNames() const;

    // Throws RunTimeError when the names or value could not be written and read back.
    static void checkWritable(const QString& section, const QString& key, const QString& value);

private:
    struct Line {
        qsizetype begin = 0;   // first byte of the text
        qsizetype textEnd = 0; // first byte of the terminator
        qsizetype end = 0;     // first byte after the terminator
        enum Kind { Other, Section, Key } kind = Other;
        QString name;                // section or key name
        QString value;               // a key's value as read
        qsizetype valueBegin = 0;    // first byte after the '='
        qsizetype blanksAfterEq = 0; // bytes of blanks right after the '='
    };
    struct Place {
        qsizetype section = -1;
        qsizetype key = -1;
        qsizetype insertAfter = -1; // the section's last key line, or its header
    };

    void splitLines();
    void classify(Line& line) const;
    void locateValue(Line& line) const;
    Place locate(const QString& section, const QString& key) const;
    std::optional<QByteArray> edited(const QString& section, const QString& key,
                                     const QString& value) const;
    bool keepsMeaning(const QByteArray& bytes, const QString& section, const QString& key,
                      const QString& value) const;
    QByteArray asUtf8WithBom() const;
    std::optional<QByteArray> encoded(const QString& text) const;
    std::optional<QByteArray> replaced(const Line& line, const QString& value,
                                       const QString& stored) const;
    std::optional<QByteArray> inserted(const Line& after, const QString& entry) const;
    std::optional<QByteArray> appended(const QString& section, const QString& entry) const;

    QByteArray m_bytes;
    ProfileText::Encoding m_encoding = ProfileText::Encoding::Utf8;
    qsizetype m_bomSize = 0;
    qsizetype m_contentEnd = 0; // where the text ends: a UTF-16 half unit may follow
    QByteArray m_eol;
    std::vector<Line> m_lines;
};
