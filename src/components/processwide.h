// SPDX-License-Identifier: LicenseRef-Corvane-Proprietary
// ProcessWide<T>: the one instance of T a process has, made on first use and
// kept to the end. The one way the dialer makes such an instance (the profile
// file, the helpers, the settings window); a class keeps its constructor
// private and befriends ProcessWide<T>, so nothing else can make a second one.
// Tests discard it, so each starts from a process where it was never made.
#pragma once

#include <memory>

template <typename T> class ProcessWide {
public:
    // The instance; the call that makes it also runs onMade on it, once.
    static T& instance(void (*onMade)(T&) = nullptr) {
        if (!slot()) {
            slot().reset(new T);
            if (onMade)
                onMade(*slot());
        }
        return *slot();
    }
    static bool exists() { return bool(slot()); }
    // For tests; the program never discards one.
    static void discard() { slot().reset(); }

private:
    static std::unique_ptr<T>& slot() {
        static std::unique_ptr<T> instance;
        return instance;
    }
};
