// SPDX-License-Identifier: LicenseRef-Corvane-Proprietary
#include "fixedvalues.h"

#include "fieldcheck.h"
#include "floorfiles.h"
#include "profileschema.h"
#include "request.h"
#include "runtimeerror.h"
#include "text.h"

namespace ModDialer {
namespace {

// Whether the dial would refuse key's fixed text, or find it missing.
bool refused(const Profile::Key& key, const QString& text) {
    const QString value = trimSpaces(text);
    if (key.section == Profile::kParameters)
        return (key.name != Profile::kPrefix.name && value.isEmpty()) ||
               whyUnusable(key.name, value).has_value();
    if (key.name == Profile::kInternationalCode.name)
        return !value.isEmpty() && !isInternationalCode(value);
    bool seconds = false;
    value.toUInt(&seconds);
    return !value.isEmpty() && !seconds; // ESPERA
}

} // namespace

void refuseUnusableFixedValues() {
    for (const Profile::Key& key : {Profile::kPrefix, Profile::kPort, Profile::kLineSettings,
                                    Profile::kTimeLimit, Profile::kInternationalCode}) {
        const Profile::Value value = Profile::lookup(key);
        if (value.source == Profile::Source::Fixed && refused(key, value.text))
            throw RunTimeError(InvalidProcedureCall,
                               QStringLiteral("%1 fija [%2] %3=\"%4\", que no sirve para marcar; "
                                              "debe corregirlo el administrador.")
                                   .arg(FloorFiles::kFixedFile, key.section, key.name, value.text));
    }
}

} // namespace ModDialer
