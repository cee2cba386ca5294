// SPDX-License-Identifier: LicenseRef-Corvane-Proprietary
#include "dialledcue.h"

#include "platform.h"

#include <canberra.h>
#include <memory>

namespace DialledCue {
namespace {

struct ContextDeleter {
    void operator()(ca_context* context) const { ca_context_destroy(context); }
};
using Context = std::unique_ptr<ca_context, ContextDeleter>;

// Destroying a context cuts its sound off, so the last one is kept until the
// next cue or the end of the process.
Context& playingContext() {
    static Context context;
    return context;
}

QString failure(int code) {
    return QString::fromUtf8(ca_strerror(code));
}

} // namespace

QString playThemeSound() {
    ca_context* raw = nullptr;
    int result = ca_context_create(&raw);
    if (result != CA_SUCCESS)
        return failure(result);
    Context context(raw);
    result = ca_context_change_props(raw, CA_PROP_APPLICATION_NAME, "CVDialer",
                                     CA_PROP_APPLICATION_ICON_NAME, "cvdialer", nullptr);
    if (result == CA_SUCCESS) // play, not play_full: the dial must not wait for the sound
        result = ca_context_play(raw, 0, CA_PROP_EVENT_ID, "phone-outgoing-calling",
                                 CA_PROP_EVENT_DESCRIPTION, "Número marcado", nullptr);
    if (result != CA_SUCCESS)
        return failure(result);
    playingContext() = std::move(context);
    return {};
}

void ring(const Player& play, const std::function<void()>& fallback) {
    const QString why = play();
    if (why.isEmpty())
        return;
    Platform::Diagnostic(QStringLiteral("sin sonido de aviso (%1); suena el timbre").arg(why));
    fallback();
}

} // namespace DialledCue
