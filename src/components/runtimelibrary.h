// SPDX-License-Identifier: LicenseRef-Corvane-Proprietary
// A shared library opened when a dial first needs it instead of linked
// (libcanberra, libasound, OpenSSL: each costs every start its loading), kept
// for the rest of the process, and its entry points looked up by name.
#pragma once

#include <QLibrary>
#include <QString>

class RuntimeLibrary {
public:
    // lib<name>.so.<version>, as the loader finds it; never unloaded.
    RuntimeLibrary(const char* name, int version);

    // Looks name up into function; complete() stays true while each is found.
    template <typename Function> void resolve(const char* name, Function& function) {
        function = entry<Function>(name);
        m_complete = m_complete && function;
    }
    template <typename Function> Function entry(const char* name) const {
        return reinterpret_cast<Function>(symbol(name));
    }
    bool loaded() const { return m_library.isLoaded(); }
    bool complete() const { return loaded() && m_complete; }
    // Why the library, or the last entry point looked up, could not be had.
    QString failure() const { return m_failure; }

private:
    QFunctionPointer symbol(const char* name) const;

    mutable QLibrary m_library;
    bool m_complete = true;
    mutable QString m_failure;
};
