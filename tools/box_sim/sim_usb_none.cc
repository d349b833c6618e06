// Systems without the simulated USB device (Windows): the pair never opens and a sim given a USB
// end does not start. sim_usb_pair.h tells why.
#include "tools/box_sim/sim_usb.h"
#include "tools/box_sim/sim_usb_pair.h"

bool CSimUsbPort::Start(int) {
    return false;
}

void CSimUsbPort::Stop() {}

bool SimUsbAvailable() {
    return false;
}

CSimUsbPair::CSimUsbPair() = default;
CSimUsbPair::~CSimUsbPair() = default;

platform::HidHandle CSimUsbPair::OpenHostHandle() const {
    return platform::kInvalidHidHandle;
}

bool CSimUsbPair::Send(SimUsbEnd, const std::string&) {
    return false;
}

std::string CSimUsbPair::Receive(SimUsbEnd, unsigned) {
    return "";
}

void CSimUsbPair::Close(SimUsbEnd) {}
