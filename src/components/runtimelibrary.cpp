// SPDX-License-Identifier: LicenseRef-Corvane-Proprietary
#include "runtimelibrary.h"

RuntimeLibrary::RuntimeLibrary(const char* name, int version)
    : m_library(QString::fromLatin1(name), version) {
    // Every entry point bound now: a library missing one fails here, not mid-dial.
    m_library.setLoadHints(QLibrary::ResolveAllSymbolsHint);
    if (!m_library.load())
        m_failure = m_library.errorString();
}

QFunctionPointer RuntimeLibrary::symbol(const char* name) const {
    if (!loaded())
        return nullptr;
    const QFunctionPointer found = m_library.resolve(name);
    if (!found)
        m_failure = m_library.errorString();
    return found;
}
