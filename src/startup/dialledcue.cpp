// SPDX-License-Identifier: LicenseRef-Corvane-Proprietary
#include "dialledcue.h"

#include "alsaquiet.h"
#include "platform.h"

#include <canberra.h>
#include <dlfcn.h>
#include <memory>

namespace DialledCue {
namespace {

// libcanberra is opened at the first cue instead of linked: loading it and the
// codec libraries it brings cost every start about a millisecond before the
// number went out, for a sound that plays only after it.
struct Canberra {
    decltype(&ca_context_create) create = nullptr;
    decltype(&ca_context_destroy) destroy = nullptr;
    decltype(&ca_context_change_props) changeProps = nullptr;
    decltype(&ca_context_play) play = nullptr;
    decltype(&ca_strerror) strerror = nullptr;
    QString failure; // why it could not be loaded
};

template <typename Function> void resolve(void* library, const char* name, Function& function) {
    function = reinterpret_cast<Function>(::dlsym(library, name));
}

Canberra load() {
    silenceAlsaErrors();
    Canberra api;
    void* library = ::dlopen("libcanberra.so.0", RTLD_NOW | RTLD_LOCAL);
    if (library) {
        resolve(library, "ca_context_create", api.create);
        resolve(library, "ca_context_destroy", api.destroy);
        resolve(library, "ca_context_change_props", api.changeProps);
        resolve(library, "ca_context_play", api.play);
        resolve(library, "ca_strerror", api.strerror);
    }
    if (!api.create || !api.destroy || !api.changeProps || !api.play || !api.strerror) {
        const char* why = ::dlerror();
        api.failure = why ? QString::fromLocal8Bit(why) : QStringLiteral("libcanberra incompleta");
    }
    return api;
}

const Canberra& canberra() {
    static const Canberra api = load();
    return api;
}

struct ContextDeleter {
    void operator()(ca_context* context) const { canberra().destroy(context); }
};
using Context = std::unique_ptr<ca_context, ContextDeleter>;

// Destroying a context cuts its sound off, so the last one is kept until the
// next cue or the end of the process.
Context& playingContext() {
    static Context context;
    return context;
}

QString failure(int code) {
    return QString::fromUtf8(canberra().strerror(code));
}

} // namespace

QString playThemeSound() {
    const Canberra& api = canberra();
    if (!api.failure.isEmpty())
        return api.failure;
    ca_context* raw = nullptr;
    int result = api.create(&raw);
    if (result != CA_SUCCESS)
        return failure(result);
    Context context(raw);
    result = api.changeProps(raw, CA_PROP_APPLICATION_NAME, "CVDialer",
                             CA_PROP_APPLICATION_ICON_NAME, "cvdialer", nullptr);
    if (result == CA_SUCCESS) // play, not play_full: the dial must not wait for the sound
        result = api.play(raw, 0, CA_PROP_EVENT_ID, "phone-outgoing-calling",
                          CA_PROP_EVENT_DESCRIPTION, "Número marcado", nullptr);
    if (result != CA_SUCCESS)
        return failure(result);
    playingContext() = std::move(context);
    return {};
}

void ring(const Player& play, const Bell& fallback) {
    const QString why = play();
    if (why.isEmpty())
        return;
    Platform::Diagnostic(QStringLiteral("sin sonido de aviso (%1); %2").arg(why, fallback()));
}

} // namespace DialledCue
