// SPDX-License-Identifier: LicenseRef-Corvane-Proprietary
#include "dialledcue.h"

#include "alsaoutput.h"
#include "platform.h"
#include "runtimelibrary.h"

#include <canberra.h>
#include <iterator>
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
    decltype(&ca_context_open) open = nullptr;
    decltype(&ca_context_cache) cache = nullptr;
    decltype(&ca_context_play) play = nullptr;
    decltype(&ca_strerror) strerror = nullptr;
    QString failure; // why it could not be loaded
};

Canberra load() {
    silenceAlsaErrors();
    Canberra api;
    RuntimeLibrary library("canberra", 0);
    library.resolve("ca_context_create", api.create);
    library.resolve("ca_context_destroy", api.destroy);
    library.resolve("ca_context_change_props", api.changeProps);
    library.resolve("ca_context_open", api.open);
    library.resolve("ca_context_cache", api.cache);
    library.resolve("ca_context_play", api.play);
    library.resolve("ca_strerror", api.strerror);
    if (!library.complete())
        api.failure = library.failure();
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

// A context connected to the sound server, with the cue's sound in its cache,
// or why there is none. Destroying a context cuts its sound off, so it is kept
// to the end of the process.
struct Prepared {
    bool done = false;
    Context context;
    QString failure;
};

Prepared& prepared() {
    static Prepared cue;
    return cue;
}

// libcanberra's reasons in Spanish, by its error codes (0 to -18), as the
// operator's other notes read; the library's own words follow in brackets.
const char* const kReasons[] = {
    "correcto",
    "no admitido",
    "argumento no válido",
    "estado no válido",
    "sin memoria",
    "ningún controlador de sonido disponible",
    "error del sistema",
    "archivo de sonido dañado",
    "sonido demasiado grande",
    "sonido no encontrado en el tema",
    "contexto destruido",
    "cancelado",
    "no disponible",
    "acceso denegado",
    "error de entrada o salida",
    "error interno",
    "sonido desactivado",
    "el proceso se bifurcó",
    "desconectado del servidor de sonido",
};

QString failure(int code) {
    const QString words = QString::fromUtf8(canberra().strerror(code));
    const int index = -code;
    if (index < 0 || index >= int(std::size(kReasons)))
        return QStringLiteral("error %1 (%2)").arg(code).arg(words);
    return QStringLiteral("%1 (%2)").arg(QString::fromUtf8(kReasons[index]), words);
}

constexpr const char* kEventId = "phone-outgoing-calling";

} // namespace

void prepare() {
    Prepared& cue = prepared();
    if (std::exchange(cue.done, true))
        return;
    const Canberra& api = canberra();
    if (!api.failure.isEmpty()) {
        cue.failure = api.failure;
        return;
    }
    ca_context* raw = nullptr;
    int result = api.create(&raw);
    if (result != CA_SUCCESS) {
        cue.failure = failure(result);
        return;
    }
    Context context(raw);
    result = api.changeProps(raw, CA_PROP_APPLICATION_NAME, "CVDialer",
                             CA_PROP_APPLICATION_ICON_NAME, "cvdialer", nullptr);
    if (result == CA_SUCCESS)
        result = api.open(raw);
    if (result != CA_SUCCESS) {
        cue.failure = failure(result);
        return;
    }
    // Only a sound server keeps a cache. Without one libcanberra plays through
    // ALSA, and whether ALSA has an output is known now rather than after "OK".
    if (api.cache(raw, CA_PROP_EVENT_ID, kEventId, nullptr) == CA_ERROR_NOTSUPPORTED) {
        cue.failure = alsaOutputFailure();
        if (!cue.failure.isEmpty())
            return;
    }
    cue.context = std::move(context);
}

QString playThemeSound() {
    prepare();
    const Prepared& cue = prepared();
    if (!cue.context)
        return cue.failure;
    // play, not play_full: the dial must not wait for the sound
    const int result = canberra().play(cue.context.get(), 0, CA_PROP_EVENT_ID, kEventId,
                                       CA_PROP_EVENT_DESCRIPTION, "Número marcado", nullptr);
    return result == CA_SUCCESS ? QString() : failure(result);
}

void ring(const Player& play, const Bell& fallback) {
    const QString why = play();
    if (why.isEmpty())
        return;
    Platform::Note(QStringLiteral("sin sonido de aviso (%1); %2").arg(why, fallback()));
}

} // namespace DialledCue
