// SPDX-License-Identifier: LicenseRef-Corvane-Proprietary
#include "profiledocument.h"

#include "runtimeerror.h"
#include "text.h"

using ProfileText::Encoding;

namespace {

bool isBlankUnit(char16_t unit) {
    return isBlank(QChar(unit));
}

bool isQuote(QChar ch) {
    return ch == u'"' || ch == u'\'';
}

bool isWhollyQuoted(const QString& text) {
    return text.size() >= 2 && isQuote(text.front()) && text.back() == text.front();
}

QString unquoted(const QString& text) {
    return isWhollyQuoted(text) ? text.sliced(1, text.size() - 2) : text;
}

// Values a read would change (trimmed or unquoted) go inside double quotes.
QString storedForm(const QString& value) {
    const bool quote = !value.isEmpty() &&
                       (isBlank(value.front()) || isBlank(value.back()) || isWhollyQuoted(value));
    return quote ? QLatin1Char('"') + value + QLatin1Char('"') : value;
}

bool sameName(const QString& a, const QString& b) {
    return a.compare(b, Qt::CaseInsensitive) == 0;
}

bool hasLineBreakOrNull(const QString& text) {
    return text.contains(u'\r') || text.contains(u'\n') || text.contains(QChar(u'\0'));
}

} // namespace

ProfileDocument::ProfileDocument(QByteArray bytes) : m_bytes(std::move(bytes)) {
    const ProfileText::Detected detected = ProfileText::detect(m_bytes);
    m_encoding = detected.encoding;
    m_bomSize = detected.bomSize;
    // Half a code unit at the end of a UTF-16 file is no text: it stays last.
    const qsizetype unit = ProfileText::unitSize(m_encoding);
    m_contentEnd = m_bytes.size() - (m_bytes.size() - m_bomSize) % unit;
    m_eol = encoded(QStringLiteral("\n")).value_or(QByteArray("\n"));
    splitLines();
    for (Line& line : m_lines)
        classify(line);
}

void ProfileDocument::splitLines() {
    const auto add = [this](qsizetype begin, qsizetype textEnd, qsizetype end) {
        Line line;
        line.begin = begin;
        line.textEnd = textEnd;
        line.end = end;
        m_lines.push_back(line);
    };
    const qsizetype unit = ProfileText::unitSize(m_encoding);
    const qsizetype size = m_contentEnd;
    bool eolKnown = false;
    qsizetype lineBegin = m_bomSize;
    for (qsizetype at = m_bomSize; at + unit <= size;) {
        const char16_t ch = ProfileText::unitAt(m_bytes, at, m_encoding);
        if (ch != u'\r' && ch != u'\n') {
            at += unit;
            continue;
        }
        const bool crlf = ch == u'\r' && at + 2 * unit <= size &&
                          ProfileText::unitAt(m_bytes, at + unit, m_encoding) == u'\n';
        const qsizetype terminator = crlf ? 2 * unit : unit;
        if (!eolKnown) {
            m_eol = m_bytes.mid(at, terminator);
            eolKnown = true;
        }
        add(lineBegin, at, at + terminator);
        at += terminator;
        lineBegin = at;
    }
    if (lineBegin < size)
        add(lineBegin, size, size);
}

void ProfileDocument::classify(Line& line) const {
    const QString text = ProfileText::decode(
        QByteArrayView(m_bytes).sliced(line.begin, line.textEnd - line.begin), m_encoding);
    qsizetype lead = 0;
    while (lead < text.size() && isBlank(text.at(lead)))
        ++lead;
    if (lead < text.size() && text.at(lead) == u';')
        return;
    if (lead < text.size() && text.at(lead) == u'[') {
        const qsizetype close = text.indexOf(u']', lead + 1);
        if (close >= 0) {
            line.kind = Line::Section;
            line.name = trimBlanks(QStringView(text).sliced(lead + 1, close - lead - 1));
            return;
        }
    }
    const qsizetype equals = text.indexOf(u'=');
    if (equals < 0)
        return;
    line.kind = Line::Key;
    line.name = trimBlanks(QStringView(text).first(equals));
    line.value = unquoted(trimBlanks(QStringView(text).sliced(equals + 1)));
    locateValue(line);
}

// '=' is one code unit in every encoding read here, so the first '=' unit in
// the raw bytes is the first '=' of the decoded text.
void ProfileDocument::locateValue(Line& line) const {
    const qsizetype unit = ProfileText::unitSize(m_encoding);
    qsizetype at = line.begin;
    while (at + unit <= line.textEnd && ProfileText::unitAt(m_bytes, at, m_encoding) != u'=')
        at += unit;
    line.valueBegin = at + unit;
    at = line.valueBegin;
    while (at + unit <= line.textEnd && isBlankUnit(ProfileText::unitAt(m_bytes, at, m_encoding)))
        at += unit;
    line.blanksAfterEq = at - line.valueBegin;
}

ProfileDocument::Place ProfileDocument::locate(const QString& section, const QString& key) const {
    Place place;
    const QString sectionName = trimBlanks(section);
    const QString keyName = trimBlanks(key);
    if (sectionName.isEmpty() || keyName.isEmpty())
        return place;
    const auto count = qsizetype(m_lines.size());
    for (qsizetype i = 0; i < count && place.section < 0; ++i) {
        if (m_lines[i].kind == Line::Section && sameName(m_lines[i].name, sectionName))
            place.section = i;
    }
    if (place.section < 0)
        return place;
    place.insertAfter = place.section;
    for (qsizetype i = place.section + 1; i < count && m_lines[i].kind != Line::Section; ++i) {
        if (m_lines[i].kind != Line::Key)
            continue;
        place.insertAfter = i;
        if (place.key < 0 && sameName(m_lines[i].name, keyName))
            place.key = i;
    }
    return place;
}

std::optional<QString> ProfileDocument::value(const QString& section, const QString& key) const {
    const Place place = locate(section, key);
    if (place.key < 0)
        return std::nullopt;
    return m_lines[place.key].value;
}

QList<QPair<QString, QString>> ProfileDocument::keyNames() const {
    QList<QPair<QString, QString>> names;
    QString section;
    for (const Line& line : m_lines) {
        if (line.kind == Line::Section)
            section = line.name;
        else if (line.kind == Line::Key)
            names.append({section, line.name});
    }
    return names;
}

std::optional<ProfileDocument::Update>
ProfileDocument::withValue(const QString& section, const QString& key, const QString& value) const {
    checkWritable(section, key, value);
    if (this->value(section, key) == value)
        return std::nullopt;
    const auto bytes = edited(section, key, value);
    if (!bytes) // only Windows-1252 lacks characters
        throw RunTimeError(
            InvalidProcedureCall,
            QStringLiteral("El archivo está en Windows-1252 y no puede guardar «%1».").arg(value));
    if (keepsMeaning(*bytes, section, key, value))
        return Update{*bytes, false};
    // A Windows-1252 file that the edit would turn into valid UTF-8 would be
    // read as UTF-8 from then on: it becomes UTF-8 whole, meaning kept.
    if (m_encoding == Encoding::Windows1252) {
        const ProfileDocument converted(asUtf8WithBom());
        const auto convertedBytes = converted.edited(section, key, value);
        if (convertedBytes && keepsMeaning(*convertedBytes, section, key, value))
            return Update{*convertedBytes, true};
    }
    throw RunTimeError(InvalidProcedureCall,
                       QStringLiteral("«%1» no se puede guardar en este archivo sin cambiar lo "
                                      "que leen las demás claves.")
                           .arg(value));
}

// The file's bytes with the key set to value; nothing when the encoding has
// no bytes for some character of it.
std::optional<QByteArray> ProfileDocument::edited(const QString& section, const QString& key,
                                                  const QString& value) const {
    const Place place = locate(section, key);
    const QString stored = storedForm(value);
    if (place.key >= 0)
        return replaced(m_lines[place.key], value, stored);
    const QString entry = trimBlanks(key) + QLatin1Char('=') + stored;
    if (place.section >= 0)
        return inserted(m_lines[place.insertAfter], entry);
    return appended(trimBlanks(section), entry);
}

// A write must read back exactly and leave every other key reading as before.
bool ProfileDocument::keepsMeaning(const QByteArray& bytes, const QString& section,
                                   const QString& key, const QString& value) const {
    const ProfileDocument after(bytes);
    if (after.value(section, key) != value)
        return false;
    for (const auto& [otherSection, otherKey] : keyNames()) {
        const bool written =
            sameName(otherSection, trimBlanks(section)) && sameName(otherKey, trimBlanks(key));
        if (!written && after.value(otherSection, otherKey) != this->value(otherSection, otherKey))
            return false;
    }
    return true;
}

QByteArray ProfileDocument::asUtf8WithBom() const {
    const QString text = ProfileText::decode(
        QByteArrayView(m_bytes).sliced(m_bomSize, m_contentEnd - m_bomSize), m_encoding);
    return QByteArray("\xEF\xBB\xBF") + text.toUtf8();
}

std::optional<QByteArray> ProfileDocument::encoded(const QString& text) const {
    return ProfileText::encode(text, m_encoding);
}

std::optional<QByteArray> ProfileDocument::replaced(const Line& line, const QString& value,
                                                    const QString& stored) const {
    const auto bytes = encoded(stored);
    if (!bytes)
        return std::nullopt;
    const qsizetype keep = line.valueBegin + (value.isEmpty() ? 0 : line.blanksAfterEq);
    return m_bytes.first(keep) + *bytes + m_bytes.sliced(line.textEnd);
}

std::optional<QByteArray> ProfileDocument::inserted(const Line& after, const QString& entry) const {
    const auto bytes = encoded(entry);
    if (!bytes)
        return std::nullopt;
    QByteArray insertion;
    if (after.textEnd == after.end)
        insertion += m_eol;
    insertion += *bytes + m_eol;
    QByteArray result = m_bytes;
    return result.insert(after.end, insertion);
}

std::optional<QByteArray> ProfileDocument::appended(const QString& section,
                                                    const QString& entry) const {
    const auto header = encoded(QLatin1Char('[') + section + QLatin1Char(']'));
    const auto line = encoded(entry);
    if (!header || !line)
        return std::nullopt;
    QByteArray bytes = m_bytes.first(m_contentEnd);
    if (!m_lines.empty() && m_lines.back().textEnd == m_lines.back().end)
        bytes += m_eol;
    return bytes + *header + m_eol + *line + m_eol + m_bytes.sliced(m_contentEnd);
}

void ProfileDocument::checkWritable(const QString& section, const QString& key,
                                    const QString& value) {
    if (hasLineBreakOrNull(section) || hasLineBreakOrNull(key) || hasLineBreakOrNull(value))
        throw RunTimeError(InvalidProcedureCall,
                           QStringLiteral("La sección, la clave y el valor no pueden contener "
                                          "saltos de línea ni caracteres nulos."));
    const QString sectionName = trimBlanks(section);
    const QString keyName = trimBlanks(key);
    const bool readable = !sectionName.isEmpty() && !sectionName.contains(u']') &&
                          !keyName.isEmpty() && !keyName.contains(u'=') &&
                          !keyName.startsWith(u';') && !keyName.startsWith(u'[');
    if (!readable)
        throw RunTimeError(InvalidProcedureCall,
                           QStringLiteral("La sección «%1» con la clave «%2» no se podría volver a "
                                          "leer del archivo.")
                               .arg(section, key));
}
