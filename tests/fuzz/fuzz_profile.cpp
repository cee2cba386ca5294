// SPDX-License-Identifier: LicenseRef-Corvane-Proprietary
// The profile reader and writer. Input: section, key and value to write, then
// the file's bytes. A write must keep what the file means: the value reads
// back, writing it again changes nothing, no other key reads differently, and
// unless the whole file was converted no line outside the edit is touched.
#include "fuzzsupport.h"
#include "profiledocument.h"
#include "runtimeerror.h"
#include "text.h"

#include <QByteArray>
#include <string>
#include <string_view>
#include <vector>

namespace {

bool sameName(const QString& a, const QString& b) {
    return trimBlanks(a).compare(trimBlanks(b), Qt::CaseInsensitive) == 0;
}

// The file's code units, laid out as the old file's encoding lays them out:
// two bytes each in UTF-16 (byte-order mark first), else one. In the other
// encodings read here, CR and LF bytes are never part of a longer character.
// A half unit at the end of a UTF-16 file is no line end, so it is left out.
std::u16string codeUnits(const QByteArray& bytes, const QByteArray& layout) {
    std::u16string units;
    if (!layout.startsWith("\xFF\xFE") && !layout.startsWith("\xFE\xFF")) {
        for (const char byte : bytes)
            units += char16_t(uchar(byte));
        return units;
    }
    const bool littleEndian = layout.startsWith("\xFF\xFE");
    for (qsizetype at = 0; at + 1 < bytes.size(); at += 2) {
        const auto first = uchar(bytes.at(at));
        const auto second = uchar(bytes.at(at + 1));
        units += littleEndian ? char16_t(first | second << 8) : char16_t(first << 8 | second);
    }
    return units;
}

// Whether the old units the edit replaced (between the longest common prefix
// and suffix of before and after, in code units so that a shared byte never
// splits a unit) held a line end: then a line other than the written one changed.
bool editRemovesLineEnd(const QByteArray& beforeBytes, const QByteArray& afterBytes) {
    const std::u16string before = codeUnits(beforeBytes, beforeBytes);
    const std::u16string after = codeUnits(afterBytes, beforeBytes);
    const size_t shorter = std::min(before.size(), after.size());
    size_t prefix = 0;
    while (prefix < shorter && before[prefix] == after[prefix])
        ++prefix;
    size_t suffix = 0;
    while (suffix < shorter - prefix &&
           before[before.size() - 1 - suffix] == after[after.size() - 1 - suffix])
        ++suffix;
    const auto removed =
        std::u16string_view(before).substr(prefix, before.size() - suffix - prefix);
    return removed.find_first_of(u"\r\n") != std::u16string_view::npos;
}

struct KeyValue {
    QString section;
    QString key;
    std::optional<QString> value;
};

// Every key of the file with what it reads; reading must survive any bytes.
std::vector<KeyValue> readAll(const ProfileDocument& document) {
    std::vector<KeyValue> keys;
    for (const auto& [section, key] : document.keyNames())
        keys.push_back({section, key, document.value(section, key)});
    return keys;
}

void checkOtherKeys(const std::vector<KeyValue>& before, const ProfileDocument& after,
                    const QString& section, const QString& key) {
    for (const KeyValue& other : before) {
        if (sameName(other.section, section) && sameName(other.key, key))
            continue;
        require(after.value(other.section, other.key) == other.value,
                "a write leaves every other key's value as it was");
    }
}

void checkUpdate(const std::vector<KeyValue>& before, const QByteArray& bytes,
                 const ProfileDocument::Update& update, const QString& section, const QString& key,
                 const QString& value) {
    const ProfileDocument after(update.bytes);
    require(after.value(section, key) == value, "the written value reads back exactly");
    try {
        require(!after.withValue(section, key, value),
                "writing the same value again changes nothing");
    } catch (const RunTimeError&) {
        require(false, "a value that was written can be written again");
    }
    checkOtherKeys(before, after, section, key);
    if (update.converted)
        require(update.bytes.startsWith("\xEF\xBB\xBF"), "a converted file is UTF-8 with a BOM");
    else
        require(!editRemovesLineEnd(bytes, update.bytes),
                "without a conversion, no line end outside the edit changes");
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    FuzzedDataProvider input(data, size);
    const QString section = nextUtf8(input);
    const QString key = nextUtf8(input);
    const QString value = nextUtf8(input);
    const std::string rest = input.ConsumeRemainingBytesAsString();
    const QByteArray bytes(rest.data(), qsizetype(rest.size()));
    const ProfileDocument document(bytes);
    const std::vector<KeyValue> before = readAll(document);
    std::optional<ProfileDocument::Update> update;
    try {
        update = document.withValue(section, key, value);
    } catch (const RunTimeError&) {
        return 0; // a value that cannot be stored so that it reads back is refused
    }
    if (update)
        checkUpdate(before, bytes, *update, section, key, value);
    else
        require(document.value(section, key) == value,
                "a write is skipped only when the value is there");
    return 0;
}
