// SPDX-License-Identifier: LicenseRef-Corvane-Proprietary
// Line noise that a dialer must read through: printable text in lines of 60
// to 80 characters that never holds "OK" and is never a result code line.
#pragma once

#include <cstddef>
#include <random>
#include <string>

namespace fakemodem {

class Noise {
public:
    // The next count bytes; successive calls continue the same lines.
    std::string next(std::size_t count);

private:
    char nextCharacter();
    void startLine();

    std::minstd_rand m_random{20240229};
    std::size_t m_column = 0;
    std::size_t m_lineLength = 0;
    bool m_pendingLf = false;
    char m_previous = '\n';
};

} // namespace fakemodem
