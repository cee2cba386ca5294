// SPDX-License-Identifier: LicenseRef-Corvane-Proprietary
#include "alsaquiet.h"

#include <dlfcn.h>

namespace DialledCue {
namespace {

// snd_lib_error_handler_t, as <alsa/error.h> declares it.
using AlsaErrorHandler = void (*)(const char* file, int line, const char* function, int error,
                                  const char* format, ...);
using SetAlsaErrorHandler = int (*)(AlsaErrorHandler handler);

void ignoreAlsaError(const char*, int, const char*, int, const char*, ...) {}

} // namespace

void silenceAlsaErrors() {
    static const bool done = [] {
        // Kept open for good: the handler is libasound's global state, which
        // libcanberra's ALSA backend shares when it loads the same library.
        void* alsa = ::dlopen("libasound.so.2", RTLD_NOW | RTLD_LOCAL);
        if (!alsa)
            return false;
        const auto setHandler =
            reinterpret_cast<SetAlsaErrorHandler>(::dlsym(alsa, "snd_lib_error_set_handler"));
        return setHandler && setHandler(ignoreAlsaError) == 0;
    }();
    (void)done;
}

} // namespace DialledCue
