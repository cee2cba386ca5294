// SPDX-License-Identifier: LicenseRef-Corvane-Proprietary
// A pseudo-terminal whose slave end plays the modem's serial port.
#pragma once

#include <string>

namespace fakemodem {

class PseudoTerminal {
public:
    PseudoTerminal() = default;
    ~PseudoTerminal() { close(); }
    PseudoTerminal(const PseudoTerminal&) = delete;
    PseudoTerminal& operator=(const PseudoTerminal&) = delete;

    // Opens the master and keeps one raw slave descriptor open for good, so
    // the master never sees the line drop between the dialer's opens.
    bool open(const std::string& link);
    // Closing the master is hanging up the line.
    void close();
    bool write(const std::string& bytes);

    int master() const { return m_master; }
    const std::string& slavePath() const { return m_slavePath; }
    const std::string& error() const { return m_error; }

private:
    bool fail(const std::string& what);

    int m_master = -1;
    int m_slave = -1;
    std::string m_slavePath;
    std::string m_link;
    std::string m_error;
};

} // namespace fakemodem
