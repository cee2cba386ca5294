// SPDX-License-Identifier: LicenseRef-Corvane-Proprietary
// The profile's schema: every section, key and default the dialer reads from
// CVDIALER.INI, in one place, so a new key has one obvious home. What a value
// means, and what is done when it makes no sense, is for its reader.
#pragma once

#include <chrono>
#include <QString>

namespace Profile {

// The profile's name; IniFile finds it in the user's configuration folder.
inline const QString kFile = QStringLiteral("CVDIALER.INI");

struct Key {
    QString section;
    QString name;
};

// [PARAMETROS]: the settings the settings window edits. Start-up reads them
// with empty defaults, the window with its own.
inline const QString kParameters = QStringLiteral("PARAMETROS");
inline const Key kPrefix{kParameters, QStringLiteral("ANTEPONER")};
inline const Key kPort{kParameters, QStringLiteral("COMM")};
inline const Key kLineSettings{kParameters, QStringLiteral("SETTINGS")};
inline const QString kWindowPort = QStringLiteral("2");
inline const QString kWindowLineSettings = QStringLiteral("9600,N,8,1");

// [MODEM]: how long the dial waits for "OK" (0: for ever), and the access
// code that replaces a tel: link's "+".
inline const Key kTimeLimit{QStringLiteral("MODEM"), QStringLiteral("ESPERA")};
inline constexpr std::chrono::seconds kDefaultTimeLimit{60};
inline const Key kInternationalCode{QStringLiteral("MODEM"), QStringLiteral("INTERNACIONAL")};
inline const QString kDefaultInternationalCode = QStringLiteral("00");

// [PUERTOS] COM<n>: what port n is; without it, /dev/ttyS<n-1>.
inline Key portTargets(qint16 port) {
    return {QStringLiteral("PUERTOS"), QStringLiteral("COM%1").arg(port)};
}

// [RED]: the files for a modem bank over TLS; a relative path is taken from
// the folder of the file the key came from.
inline const Key kAuthority{QStringLiteral("RED"), QStringLiteral("CA")};
inline const Key kCertificate{QStringLiteral("RED"), QStringLiteral("CERTIFICADO")};
inline const Key kPrivateKey{QStringLiteral("RED"), QStringLiteral("CLAVE")};

// [REGISTRO] NUMERO: how the dial's journal record shows the number:
// masked by default, "completo" whole, "nada" not at all.
inline const Key kRecordNumber{QStringLiteral("REGISTRO"), QStringLiteral("NUMERO")};

// Where a value came from: the administrator's fixed values, the user's
// profile, the floor's defaults, or none of them (the reader's own default).
enum class Source { Fixed, User, Defaults, Builtin };
struct Value {
    QString text;
    Source source = Source::Builtin;
    QString file; // the file it came from; empty for Builtin
};

// The key's value as the floor merges it: a fixed value, else the user's
// (present, even empty), else the floor's default, else fallback.
Value lookup(const Key& key, const QString& fallback = QString());
// Its text alone.
QString read(const Key& key, const QString& fallback = QString());
// Saves the value under the key in the user's profile (error on failure, as
// IniFile raises it); the floor's files are never written.
void write(const Key& key, const QString& value);

} // namespace Profile
