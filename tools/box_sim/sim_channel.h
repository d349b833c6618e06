// One way into the box (a TCP connection or the USB report stream), as the command handling
// sees it: command lines and transfer bytes in, reply messages out.
#pragma once

#include <cstddef>
#include <string>

class CSimChannel {
  public:
    virtual ~CSimChannel() = default;
    // The next command line with its line end ("\r" or "\r\n"); false when the link ended or the
    // sim stops.
    virtual bool ReadCommand(std::string* line) = 0;
    // Exactly n transfer bytes; false when the link ended, the sim stops, or nothing came for
    // nIdleMs (IsOpen tells which).
    virtual bool ReadData(size_t n, std::string* data, unsigned nIdleMs) = 0;
    // One reply message; over USB it starts a report of its own. False when the link is gone.
    virtual bool SendMessage(const std::string& message) = 0;
    // Ends the link as a box that goes away would.
    virtual void Disconnect() = 0;
    virtual bool IsOpen() const = 0;
};
