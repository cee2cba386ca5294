// SPDX-License-Identifier: LicenseRef-Corvane-Proprietary
// Whether a dial can use a value the settings window is about to save. The
// window asks the same parsers the dial uses, so a saved value never turns
// every later dial into an error.
#pragma once

#include <optional>
#include <QString>

namespace ModDialer {

// The operator's message when a dial could not use value (trimmed) as the
// setting key: the field, what was typed and the form it needs. Nothing when
// a dial can use it; an empty value always passes, as that clears a setting.
std::optional<QString> whyUnusable(const QString& key, const QString& value);

} // namespace ModDialer
