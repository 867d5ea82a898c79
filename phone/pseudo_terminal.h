#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <string>

namespace hideaway::phone {

/// The stand-in phone's end of a serial line: a pseudo-terminal in raw mode, reached by the
/// library through a symbolic link to its other end. Closing it hangs up the line.
class PseudoTerminal {
public:
    PseudoTerminal() = default;
    ~PseudoTerminal() { close(); }
    PseudoTerminal(const PseudoTerminal&) = delete;
    PseudoTerminal& operator=(const PseudoTerminal&) = delete;

    /// Makes the pseudo-terminal and puts the link to it at link (replacing what is there).
    bool open(const std::string& link, std::string& reason);
    /// Hangs up and removes the link, unless another phone has put its own there meanwhile.
    void close();
    /// Waits up to timeout for bytes from the library: the count, 0 for none, -1 on failure.
    long read(std::uint8_t* data, std::size_t capacity, std::chrono::milliseconds timeout);
    /// Sends the bytes; bytes that nobody takes within a while are lost, as on a real line.
    void write(const std::uint8_t* data, std::size_t size);

private:
    int m_master = -1;
    // Held open so that the line stays up between two links of the library.
    int m_slave = -1;
    std::string m_slaveName;
    std::string m_link;
};

/// Makes SIGTERM, SIGINT and SIGHUP ask the stand-in to stop; waits then end early. On Linux the
/// end of the program that started the stand-in asks it to stop too.
void installStopSignals();
bool stopRequested();

}  // namespace hideaway::phone
