// SPDX-License-Identifier: LicenseRef-Corvane-Proprietary
#include "alsaoutput.h"

#include "runtimelibrary.h"

namespace DialledCue {
namespace {

// The few libasound entry points used here, as <alsa/asoundlib.h> declares them.
using AlsaErrorHandler = void (*)(const char* file, int line, const char* function, int error,
                                  const char* format, ...);
using SetAlsaErrorHandler = int (*)(AlsaErrorHandler handler);
using PcmOpen = int (*)(void** pcm, const char* name, int stream, int mode);
using PcmClose = int (*)(void* pcm);
using StrError = const char* (*)(int error);
constexpr int kPlayback = 0;    // SND_PCM_STREAM_PLAYBACK
constexpr int kNonBlocking = 1; // SND_PCM_NONBLOCK: a busy device says so, never waits

void ignoreAlsaError(const char*, int, const char*, int, const char*, ...) {}

// Kept open for good: the handler is libasound's global state, which
// libcanberra's ALSA backend shares when it loads the same library.
template <typename Function> Function entry(const char* name) {
    static const RuntimeLibrary libasound("asound", 2);
    return libasound.entry<Function>(name);
}

} // namespace

void silenceAlsaErrors() {
    static const bool done = [] {
        const auto setHandler = entry<SetAlsaErrorHandler>("snd_lib_error_set_handler");
        return setHandler && setHandler(ignoreAlsaError) == 0;
    }();
    (void)done;
}

QString alsaOutputFailure() {
    const auto open = entry<PcmOpen>("snd_pcm_open");
    const auto close = entry<PcmClose>("snd_pcm_close");
    const auto strerror = entry<StrError>("snd_strerror");
    if (!open || !close || !strerror)
        return {};
    void* pcm = nullptr;
    const int result = open(&pcm, "default", kPlayback, kNonBlocking);
    if (result < 0)
        return QStringLiteral("ALSA no tiene salida de sonido: %1")
            .arg(QString::fromUtf8(strerror(result)));
    close(pcm);
    return {};
}

} // namespace DialledCue
