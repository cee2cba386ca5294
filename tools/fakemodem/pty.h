// SPDX-License-Identifier: LicenseRef-Corvane-Proprietary
// A pseudo-terminal whose slave end plays the modem's serial port.
#pragma once

#include <cstddef>
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
    // Queues bytes for the line; flush() sends what the line takes now.
    void queue(const std::string& bytes) { m_outbox += bytes; }
    bool flush();
    std::size_t pending() const { return m_outbox.size() - m_sent; }
    // The speed and HUPCL the dialer left on the line, as "9600 baud, hupcl".
    std::string settings() const;

    int master() const { return m_master; }
    const std::string& slavePath() const { return m_slavePath; }
    const std::string& error() const { return m_error; }

private:
    bool fail(const std::string& what);
    bool makeRaw();

    int m_master = -1;
    int m_slave = -1;
    std::string m_slavePath;
    std::string m_link;
    std::string m_error;
    std::string m_outbox;
    std::size_t m_sent = 0;
};

} // namespace fakemodem
