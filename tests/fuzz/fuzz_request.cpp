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

void checkTel(const QString& request, const QString& code, const QString& prefix) {
    QString number;
    try {
        number = telNumber(request, code);
    } catch (const RunTimeError&) {
        return;
    }
    const QString uri =
        request.mid(request.indexOf(QLatin1String("tel:"), 0, Qt::CaseInsensitive) + 4);
    require(std::any_of(uri.begin(), uri.end(), isAsciiDigit),
            "telNumber returns only for a URI holding an ASCII digit of its own");
    if (std::all_of(code.begin(), code.end(), isAsciiDigit))
        require(std::all_of(number.begin(), number.end(), isAsciiDigit),
                "with a digits-only international code a link dials digits only");
    checkDialled(number, prefix);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    FuzzedDataProvider input(data, size);
    const QString prefix = nextUtf8(input);
    const QString code = nextUtf8(input);
    const QString request = restUtf8(input);
    if (isTelRequest(request)) {
        checkTel(request, code, prefix);
        return 0;
    }
    checkHashRequest(request, prefix);
    return 0;
}
