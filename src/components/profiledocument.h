// SPDX-License-Identifier: LicenseRef-Corvane-Proprietary
// A profile file parsed into lines, read as the Windows profile functions read
// it. Every line keeps its byte range in the raw file, so an edit replaces one
// value and leaves every other byte as it was.
#pragma once

#include "profiletext.h"

#include <optional>
#include <QByteArray>
#include <QString>
#include <vector>

class ProfileDocument {
public:
    explicit ProfileDocument(QByteArray bytes);

    // The key's value as read, or nothing when the section or key is missing.
    std::optional<QString> value(const QString& section, const QString& key) const;
    // The file's bytes with the key set to value; nothing when it already has it.
    // Throws RunTimeError when the text cannot be stored so that it reads back.
    std::optional<QByteArray> withValue(const QString& section, const QString& key,
                                        const QString& value) const;

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

    void splitLines(qsizetype from);
    void classify(Line& line) const;
    void locateValue(Line& line) const;
    Place locate(const QString& section, const QString& key) const;
    QByteArray encoded(const QString& text) const;
    std::optional<QByteArray> replaced(const Line& line, const QString& value,
                                       const QString& stored) const;
    QByteArray inserted(const Line& after, const QString& entry) const;
    QByteArray appended(const QString& section, const QString& entry) const;

    QByteArray m_bytes;
    ProfileText::Encoding m_encoding = ProfileText::Encoding::Utf8;
    QByteArray m_eol;
    std::vector<Line> m_lines;
};
