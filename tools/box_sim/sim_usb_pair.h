// The simulated box's USB device, for tests. On Linux the HID layer reads and writes hidraw
// nodes, so one end of a SOCK_SEQPACKET socket pair can stand in for the box's node (each report
// keeps its boundary), and a fake sysfs tree (tests/fakes/fake_hid_tree.h) for the device list.
// Windows' HID layer lists devices through SetupAPI and reads device handles with ReadFile: it
// has no such stand-in, and there the pair never opens.
#pragma once

#include <string>

#include "platform/hid_device.h"

// What tests of the USB side say when they skip because SimUsbAvailable() is false.
inline constexpr const char* kSimUsbMissing =
    "no simulated USB device on this system: the HID layer here lists devices through SetupAPI "
    "and reads device handles with ReadFile, so neither a packet socket pair nor a fake sysfs "
    "tree can stand in for the box";

// True where the pair opens and a fake sysfs tree stands for the HID device list (Linux).
bool SimUsbAvailable();

enum class SimUsbEnd { kHost, kBox };

// A report link between the program's HID layer (the host end) and the sim (the box end).
class CSimUsbPair {
  public:
    CSimUsbPair();   // opens both ends where SimUsbAvailable()
    ~CSimUsbPair();  // closes the ends still open
    CSimUsbPair(const CSimUsbPair&) = delete;
    CSimUsbPair& operator=(const CSimUsbPair&) = delete;

    bool IsOpen() const { return m_nEnds[0] >= 0; }
    // The box end, for CSimBoxConfig::nUsbFd. It stays the pair's: a sim serving it stops before
    // the pair goes.
    int BoxEnd() const { return m_nEnds[1]; }
    // A new handle on the host end, as opening the box's HID node gives one; the caller closes it
    // (platform::CloseHidDevice). kInvalidHidHandle when the pair is not open.
    platform::HidHandle OpenHostHandle() const;
    // Writes one report from that end; false when it did not go out whole.
    bool Send(SimUsbEnd end, const std::string& report);
    // The next report that reaches that end within nWaitMs (0: only one waiting already); ""
    // when none comes.
    std::string Receive(SimUsbEnd end, unsigned nWaitMs);
    // Closes that end: the other one sees the device go away.
    void Close(SimUsbEnd end);

  private:
    int m_nEnds[2] = {-1, -1};  // host, box
};
