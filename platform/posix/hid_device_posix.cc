// HID devices through Linux hidraw. The scan reads sysfs: each hidrawN entry of the class folder
// links (through "device") to its HID device folder, whose uevent names vendor and product and
// whose ancestors include the USB device it hangs from. Reports move with poll-bounded waits.
#include <errno.h>
#include <fcntl.h>
#include <limits.h>
#include <poll.h>
#include <stdlib.h>
#include <unistd.h>

#include <algorithm>
#include <charconv>
#include <mutex>
#include <string_view>

#include "platform/file_system.h"
#include "platform/hid_device.h"
#include "platform/hid_device_local.h"
#include "platform/thread_util.h"

namespace platform {

namespace {

const char kDefaultSysfsRoot[] = "/sys/class/hidraw";
const char kDefaultDeviceRoot[] = "/dev";
const std::string_view kNodePrefix = "hidraw";

// Where to scan; set by tests, read by the worker thread.
struct CHidSettings {
    std::mutex mutex;
    std::string strSysfsRoot = kDefaultSysfsRoot;
    std::string strDeviceRoot = kDefaultDeviceRoot;
};

CHidSettings& Settings() {
    static CHidSettings settings;
    return settings;
}

// A whole text of decimal digits (nBase 10) or hex digits (nBase 16) that fits *pnValue.
template <typename T>
bool ParseNumber(std::string_view text, int nBase, T* pnValue) {
    const char* pEnd = text.data() + text.size();
    const auto [pStop, ec] = std::from_chars(text.data(), pEnd, *pnValue, nBase);
    return !text.empty() && ec == std::errc() && pStop == pEnd;
}

// Node number of "hidrawN"; false for any other name.
bool ParseNodeNumber(std::string_view name, unsigned* pnNumber) {
    if (name.substr(0, kNodePrefix.size()) != kNodePrefix) return false;
    return ParseNumber(name.substr(kNodePrefix.size()), 10, pnNumber);
}

// The value of the "<key>=" line of a uevent file; empty when there is none.
std::string_view UeventValue(std::string_view uevent, std::string_view key) {
    while (!uevent.empty()) {
        const size_t nEnd = std::min(uevent.find('\n'), uevent.size());
        const std::string_view line = uevent.substr(0, nEnd);
        if (line.size() > key.size() && line.substr(0, key.size()) == key &&
            line[key.size()] == '=') {
            return line.substr(key.size() + 1);
        }
        uevent.remove_prefix(std::min(nEnd + 1, uevent.size()));
    }
    return std::string_view();
}

// "<bus>:<vendor>:<product>" in hex, as the HID_ID line gives it.
bool ParseHidId(std::string_view id, uint16_t* pnVendor, uint16_t* pnProduct) {
    const size_t nFirst = id.find(':');
    const size_t nSecond = nFirst == std::string_view::npos ? nFirst : id.find(':', nFirst + 1);
    uint32_t nVendor = 0, nProduct = 0;
    if (nSecond == std::string_view::npos ||
        !ParseNumber(id.substr(nFirst + 1, nSecond - nFirst - 1), 16, &nVendor) ||
        !ParseNumber(id.substr(nSecond + 1), 16, &nProduct) || nVendor > 0xFFFF ||
        nProduct > 0xFFFF) {
        return false;
    }
    *pnVendor = static_cast<uint16_t>(nVendor);
    *pnProduct = static_cast<uint16_t>(nProduct);
    return true;
}

// Digits, then groups of a separator and digits; separators must come from szSeparators.
bool IsDigitGroups(std::string_view text, const char* szSeparators) {
    bool bDigitSeen = false;
    for (char c : text) {
        if (c >= '0' && c <= '9') {
            bDigitSeen = true;
        } else if (bDigitSeen && std::string_view(szSeparators).find(c) != std::string_view::npos) {
            bDigitSeen = false;
        } else {
            return false;
        }
    }
    return bDigitSeen;
}

// "<bus>-<port>[.<port>...]": the sysfs name of a USB device. Root hubs ("usb1") and
// interfaces ("1-4.2:1.0") do not have this form.
bool IsUsbDeviceName(std::string_view name) {
    const size_t nDash = name.find('-');
    return nDash != std::string_view::npos && IsDigitGroups(name.substr(0, nDash), "") &&
           IsDigitGroups(name.substr(nDash + 1), ".");
}

// The nearest folder above (or at) the HID device folder that is a USB device. The walk stops
// at "devices", the top of the system's device tree.
std::string UsbParentName(std::string_view path) {
    while (!path.empty()) {
        const size_t nSlash = path.find_last_of('/');
        const std::string_view name =
            nSlash == std::string_view::npos ? path : path.substr(nSlash + 1);
        if (name == "devices") break;
        if (IsUsbDeviceName(name)) return std::string(name);
        if (nSlash == std::string_view::npos) break;
        path = path.substr(0, nSlash);
    }
    return std::string();
}

std::string ResolvePath(const std::string& path) {
    char szResolved[PATH_MAX];
    return realpath(path.c_str(), szResolved) != nullptr ? std::string(szResolved) : std::string();
}

// Fills *pInfo for one hidrawN entry; false when its device or its ids cannot be read.
bool ReadNode(const std::string& strSysfsRoot, const std::string& strDeviceRoot,
              const std::string& strNode, CHidDeviceInfo* pInfo) {
    const std::string strHidFolder =
        ResolvePath(JoinPath(JoinPath(strSysfsRoot, strNode), "device"));
    std::string strUevent;
    if (strHidFolder.empty() || !ReadFileBytes(JoinPath(strHidFolder, "uevent"), &strUevent) ||
        !ParseHidId(UeventValue(strUevent, "HID_ID"), &pInfo->nVendor, &pInfo->nProduct)) {
        return false;
    }
    pInfo->strDevicePath = JoinPath(strDeviceRoot, strNode);
    pInfo->strUsbParentName = UsbParentName(strHidFolder);
    return true;
}

// hidrawN names of the folder, ordered by N.
std::vector<std::string> SortedNodeNames(const std::vector<std::string>& names) {
    std::vector<std::pair<unsigned, std::string>> nodes;
    for (const std::string& name : names) {
        unsigned nNumber = 0;
        if (ParseNodeNumber(name, &nNumber)) nodes.emplace_back(nNumber, name);
    }
    std::sort(nodes.begin(), nodes.end());
    std::vector<std::string> sorted;
    for (auto& node : nodes) sorted.push_back(std::move(node.second));
    return sorted;
}

// Waits for nEvents until nDeadlineMs: 1 ready (or failed: the transfer reports it),
// 0 time-out, -1 error.
int WaitReady(HidHandle h, short nEvents, uint64_t nDeadlineMs) {
    while (true) {
        const uint64_t nNow = MonotonicMs();
        const uint64_t nLeft = nDeadlineMs > nNow ? nDeadlineMs - nNow : 0;
        pollfd pfd{h, nEvents, 0};
        const int n = poll(&pfd, 1, static_cast<int>(std::min<uint64_t>(nLeft, INT_MAX)));
        if (n < 0 && errno == EINTR) continue;
        return n < 0 ? -1 : (n == 0 ? 0 : 1);
    }
}

// One report in either direction: waits, then transfers once. A transfer of nothing means the
// device (or the fake's peer) is gone and counts as an error.
template <typename Transfer>
int TransferReport(HidHandle h, short nEvents, unsigned nTimeoutMs, Transfer transfer) {
    if (h == kInvalidHidHandle) return -1;
    const uint64_t nDeadline = MonotonicMs() + nTimeoutMs;
    while (true) {
        const int nWait = WaitReady(h, nEvents, nDeadline);
        if (nWait <= 0) return nWait;
        const ssize_t n = transfer();
        if (n > 0) return static_cast<int>(n);
        if (n == 0) return -1;
        if (errno != EINTR && errno != EAGAIN && errno != EWOULDBLOCK) return -1;
    }
}

size_t ClampLength(size_t nLength) {
    return std::min<size_t>(nLength, INT_MAX);
}

}  // namespace

void SetHidSysfsRoot(const std::string& strRoot) {
    std::lock_guard<std::mutex> lock(Settings().mutex);
    Settings().strSysfsRoot = strRoot.empty() ? kDefaultSysfsRoot : strRoot;
}

void SetHidDeviceRoot(const std::string& strRoot) {
    std::lock_guard<std::mutex> lock(Settings().mutex);
    Settings().strDeviceRoot = strRoot.empty() ? kDefaultDeviceRoot : strRoot;
}

std::vector<CHidDeviceInfo> EnumerateHidDevices() {
    std::string strSysfsRoot, strDeviceRoot;
    {
        std::lock_guard<std::mutex> lock(Settings().mutex);
        strSysfsRoot = Settings().strSysfsRoot;
        strDeviceRoot = Settings().strDeviceRoot;
    }
    std::vector<std::string> names;
    std::vector<CHidDeviceInfo> devices;
    if (!ListDirectory(strSysfsRoot, &names)) return devices;
    for (const std::string& strNode : SortedNodeNames(names)) {
        CHidDeviceInfo info;
        if (ReadNode(strSysfsRoot, strDeviceRoot, strNode, &info)) devices.push_back(info);
    }
    return devices;
}

HidHandle OpenSystemHidDevice(const std::string& strPath, bool bWrite) {
    const int nFlags = (bWrite ? O_WRONLY : O_RDONLY) | O_NONBLOCK | O_NOCTTY | O_CLOEXEC;
    int fd;
    do {
        fd = open(strPath.c_str(), nFlags);
    } while (fd < 0 && errno == EINTR);
    return fd < 0 ? kInvalidHidHandle : fd;
}

void CloseHidDevice(HidHandle h) {
    if (h != kInvalidHidHandle) close(h);
}

int WriteHidReport(HidHandle h, const unsigned char* pReport, size_t nLength, unsigned nTimeoutMs) {
    return TransferReport(h, POLLOUT, nTimeoutMs,
                          [&] { return write(h, pReport, ClampLength(nLength)); });
}

int ReadHidReport(HidHandle h, unsigned char* pReport, size_t nLength, unsigned nTimeoutMs) {
    return TransferReport(h, POLLIN, nTimeoutMs,
                          [&] { return read(h, pReport, ClampLength(nLength)); });
}

}  // namespace platform
