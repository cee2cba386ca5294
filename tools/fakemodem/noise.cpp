// SPDX-License-Identifier: LicenseRef-Corvane-Proprietary
#include "noise.h"

#include <cctype>

namespace fakemodem {
namespace {

bool isO(char c) {
    return c == 'O' || c == 'o';
}

bool isK(char c) {
    return c == 'K' || c == 'k';
}

} // namespace

std::string Noise::next(std::size_t count) {
    std::string text;
    text.reserve(count);
    while (text.size() < count) {
        if (m_pendingLf) {
            m_pendingLf = false;
            text += '\n';
        } else if (m_column > 0 && m_column == m_lineLength) {
            m_pendingLf = true;
            m_column = 0;
            text += '\r';
        } else {
            text += nextCharacter();
        }
    }
    return text;
}

char Noise::nextCharacter() {
    if (m_column == 0)
        startLine();
    std::uniform_int_distribution<int> printable('!', '~');
    char c = char(printable(m_random));
    // Every result code starts with a letter: a line that does not cannot be one.
    while ((m_column == 0 && std::isalpha(static_cast<unsigned char>(c))) ||
           (isO(m_previous) && isK(c)))
        c = char(printable(m_random));
    ++m_column;
    m_previous = c;
    return c;
}

void Noise::startLine() {
    m_lineLength = std::uniform_int_distribution<std::size_t>(60, 80)(m_random);
}

} // namespace fakemodem
