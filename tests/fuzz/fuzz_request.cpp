// SPDX-License-Identifier: LicenseRef-Corvane-Proprietary
// The request parser: number cutting, tel: links, prefix and the dialable
// check, which together keep anything but a number off the modem's line. Input: prefix,
// international code, then the request text.
#include "dialstring.h"
#include "fuzzsupport.h"
#include "request.h"
#include "runtimeerror.h"

#include <algorithm>

using namespace ModDialer;

namespace {

bool isAsciiDigit(QChar ch) {
    return ch >= u'0' && ch <= u'9';
}

// Whatever passes the dialable check reaches the modem: printable ASCII only,
// or a CR or LF would start a second command.
void checkDialled(const QString& number, const QString& prefix) {
    const QString dialled = withPrefix(number, prefix);
    try {
        checkDialable(dialled);
    } catch (const RunTimeError&) {
        return;
    }
    require(std::all_of(dialled.begin(), dialled.end(),
                        [](QChar ch) { return ch >= u' ' && ch <= u'~' && ch != u';'; }),
            "a number that passes checkDialable holds only U+0020..U+007E, no ';'");
    require(dialled.size() + 3 <= kDialBodyLimit, "a dialled DT<number>; fits the modem's line");
}

// The cut never guesses: it needs a closing "#" and a number that is not blank.
void checkHashRequest(const QString& request, const QString& prefix) {
    QString number;
    try {
        number = numberText(request);
    } catch (const RunTimeError&) {
        return;
    }
    const qsizetype first = request.indexOf(u'#');
    require(request.indexOf(u'#', first + 1) > first, "a cut number had a closing '#'");
    require(std::any_of(number.begin(), number.end(), [](QChar ch) { return ch != u' '; }),
            "a cut number is not blank");
    checkDialled(number, prefix);
}

// A link is judged whole, whatever follows its "tel:": what it dials is the
// profile's prefix and digits, nothing a page could add ("*", "#", "!", ",").
void checkTel(const QString& request, const QString& code, const QString& prefix) {
    QString number;
    try {
        number = dialledNumber(request, prefix, code);
    } catch (const RunTimeError&) {
        return;
    }
    require(!request.contains(u'#'), "a link with a '#' is never dialled");
    const QString uri =
        request.mid(request.indexOf(QLatin1String("tel:"), 0, Qt::CaseInsensitive) + 4);
    require(std::any_of(uri.begin(), uri.end(), isAsciiDigit),
            "a link dials only when its URI holds an ASCII digit of its own");
    require(number.startsWith(prefix), "a link dials behind the profile's prefix");
    if (std::all_of(code.begin(), code.end(), isAsciiDigit))
        require(std::all_of(number.begin() + prefix.size(), number.end(), isAsciiDigit),
                "with a digits-only international code a link dials the prefix and digits only");
    checkDialled(number, QString());
}

// A link, as the desktop hands it over: the trimmed text starts with "tel:".
bool looksLikeALink(const QString& request) {
    qsizetype first = 0;
    while (first < request.size() && request.at(first) == u' ')
        ++first;
    return request.mid(first, 4).compare(QLatin1String("tel:"), Qt::CaseInsensitive) == 0;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    FuzzedDataProvider input(data, size);
    const QString prefix = nextUtf8(input);
    const QString code = nextUtf8(input);
    const QString request = restUtf8(input);
    if (looksLikeALink(request)) {
        checkTel(request, code, prefix);
        return 0;
    }
    checkHashRequest(request, prefix);
    return 0;
}
