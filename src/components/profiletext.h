// SPDX-License-Identifier: LicenseRef-Corvane-Proprietary
// How profile files are stored on disk: the encodings the old workstations
// wrote (UTF-8, UTF-16 with a byte-order mark, Windows-1252) and their code units.
#pragma once

#include <optional>
#include <QByteArray>
#include <QByteArrayView>
#include <QString>

namespace ProfileText {

enum class Encoding { Utf8, Utf8Bom, Utf16LE, Utf16BE, Windows1252 };

struct Detected {
    Encoding encoding;
    qsizetype bomSize;
};

// The file's encoding: its byte-order mark, else UTF-8 when valid, else Windows-1252.
Detected detect(QByteArrayView bytes);

// Bytes per code unit: 2 for UTF-16, 1 otherwise.
qsizetype unitSize(Encoding encoding);
// The code unit starting at byte offset `at`.
char16_t unitAt(QByteArrayView bytes, qsizetype at, Encoding encoding);

QString decode(QByteArrayView bytes, Encoding encoding);
// Nothing when the encoding has no byte for some character of the text.
std::optional<QByteArray> encode(const QString& text, Encoding encoding);

} // namespace ProfileText
