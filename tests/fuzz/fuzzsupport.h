// SPDX-License-Identifier: LicenseRef-Corvane-Proprietary
// What every fuzz target shares: splitting the input into texts, and failing
// a property so that libFuzzer records the input.
#pragma once

#include <cstdio>
#include <cstdlib>
#include <fuzzer/FuzzedDataProvider.h>
#include <QString>

// A property the code under test broke. abort() is what libFuzzer catches as
// a crash; the message says which property, so a find needs no debugger.
inline void require(bool holds, const char* property) {
    if (holds)
        return;
    std::fprintf(stderr, "property violated: %s\n", property);
    std::abort();
}

// The next text of the input, as UTF-8. A backslash and any other character
// end it (a doubled backslash is one), so seed files stay readable: one text
// per line, each line ending in a backslash.
inline QString nextUtf8(FuzzedDataProvider& input) {
    return QString::fromStdString(input.ConsumeRandomLengthString());
}

inline QString restUtf8(FuzzedDataProvider& input) {
    return QString::fromStdString(input.ConsumeRemainingBytesAsString());
}

// The next text of the input, as Latin-1: every byte is one character.
inline QString nextLatin1(FuzzedDataProvider& input) {
    const std::string bytes = input.ConsumeRandomLengthString();
    return QString::fromLatin1(bytes.data(), qsizetype(bytes.size()));
}
