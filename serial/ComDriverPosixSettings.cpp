// The Linux serial driver's pure parts: port names to devices, errno to Windows codes, the line
// counters' and status word's changes as Windows events, and the DCB as termios2 fields.
#include "serial/ComDriverPosix.h"

#include <asm/termbits.h>
#include <strings.h>

#include <algorithm>
#include <cerrno>
#include <iterator>

namespace serial {

std::string DevicePathOf(const std::string& port) {
    if (!port.empty() && port[0] == '/') return port;
    if (port.size() > 3 && port.size() <= 6 && strncasecmp(port.c_str(), "COM", 3) == 0 &&
        std::all_of(port.begin() + 3, port.end(), [](char c) { return c >= '0' && c <= '9'; })) {
        int n = std::stoi(port.substr(3));
        if (n >= 1) return "/dev/ttyS" + std::to_string(n - 1);
    }
    return "/dev/" + port;
}

int WindowsErrorOfErrno(int err) {
    switch (err) {
    case ENOENT:
    case ENXIO:
    case ENODEV: return 2;
    case ENOTDIR:
    case ENAMETOOLONG:
    case ELOOP: return 3;
    case EMFILE:
    case ENFILE: return 4;
    case EACCES:
    case EPERM:
    case EBUSY:
    case EWOULDBLOCK: return 5;
    case EBADF: return 6;
    case ENOMEM: return 8;
    case ENOTTY: return 1;
    case EINVAL: return 87;
    case EIO:
    case EPIPE: return 1117;
    case EINTR: return 995;
    default: return 31;
    }
}

uint32_t EventsBetween(const TLineCounts& a, const TLineCounts& b) {
    uint32_t ev = 0;
    if (a.Cts != b.Cts) ev |= EV_CTS;
    if (a.Dsr != b.Dsr) ev |= EV_DSR;
    if (a.Dcd != b.Dcd) ev |= EV_RLSD;
    if (a.Rng != b.Rng) ev |= EV_RING;
    if (a.Brk != b.Brk) ev |= EV_BREAK;
    if (a.Frame != b.Frame || a.Overrun != b.Overrun || a.Parity != b.Parity || a.BufOverrun != b.BufOverrun)
        ev |= EV_ERR;
    return ev;
}

uint32_t ErrorsBetween(const TLineCounts& a, const TLineCounts& b) {
    uint32_t e = 0;
    if (a.Frame != b.Frame) e |= CE_FRAME;
    if (a.Overrun != b.Overrun) e |= CE_OVERRUN;
    if (a.Parity != b.Parity) e |= CE_RXPARITY;
    if (a.Brk != b.Brk) e |= CE_BREAK;
    if (a.BufOverrun != b.BufOverrun) e |= CE_RXOVER;
    return e;
}

uint32_t EventsOfStatusChange(uint32_t before, uint32_t after) {
    uint32_t changed = before ^ after, ev = 0;
    if (changed & MS_CTS_ON) ev |= EV_CTS;
    if (changed & MS_DSR_ON) ev |= EV_DSR;
    if (changed & MS_RLSD_ON) ev |= EV_RLSD;
    if ((changed & MS_RING_ON) && (after & MS_RING_ON)) ev |= EV_RING;
    return ev;
}

namespace {

speed_t StandardSpeed(uint32_t baud) {
    static const std::pair<uint32_t, speed_t> speeds[] = {
        {50, B50},           {75, B75},           {110, B110},         {134, B134},         {150, B150},
        {200, B200},         {300, B300},         {600, B600},         {1200, B1200},       {1800, B1800},
        {2400, B2400},       {4800, B4800},       {9600, B9600},       {19200, B19200},     {38400, B38400},
        {57600, B57600},     {115200, B115200},   {230400, B230400},   {460800, B460800},   {500000, B500000},
        {576000, B576000},   {921600, B921600},   {1000000, B1000000}, {1152000, B1152000}, {1500000, B1500000},
        {2000000, B2000000}, {2500000, B2500000}, {3000000, B3000000}, {3500000, B3500000}, {4000000, B4000000}};
    for (auto& [value, code] : speeds)
        if (value == baud) return code;
    return BOTHER;
}

}  // namespace

void SetTermios(const TDCB& dcb, termios2& t) {
    const uint32_t f = dcb.Flags;
    const bool parity = f & 0x2, outCts = f & 0x4, outX = f & 0x100, inX = f & 0x200, errorChar = f & 0x400;
    const uint32_t rtsControl = (f >> 12) & 3;

    // Breaks are counted by the driver, not delivered as NUL bytes. Parity is checked only where
    // a bad byte is to be replaced; the replacement is always NUL here.
    t.c_iflag = IGNBRK | (parity && errorChar ? INPCK : 0) | (outX ? IXON : 0) | (inX ? IXOFF : 0);
    t.c_oflag = 0;
    t.c_lflag = 0;
    tcflag_t size = dcb.ByteSize == 5 ? CS5 : dcb.ByteSize == 6 ? CS6 : dcb.ByteSize == 7 ? CS7 : CS8;
    tcflag_t par = 0;
    switch (dcb.Parity) {
    case 1: par = PARENB | PARODD; break;
    case 2: par = PARENB; break;
    case 3: par = PARENB | PARODD | CMSPAR; break;
    case 4: par = PARENB | CMSPAR; break;
    }
    speed_t speed = StandardSpeed(dcb.BaudRate);
    t.c_cflag = CREAD | CLOCAL | HUPCL | size | par | (dcb.StopBits != 0 ? CSTOPB : 0) |
                (rtsControl == 2 && outCts ? CRTSCTS : 0) | speed;
    t.c_ispeed = t.c_ospeed = dcb.BaudRate;
    std::fill(std::begin(t.c_cc), std::end(t.c_cc), 0);
    t.c_cc[VMIN] = 0;
    t.c_cc[VTIME] = 0;
    t.c_cc[VSTART] = static_cast<cc_t>(dcb.XonChar);
    t.c_cc[VSTOP] = static_cast<cc_t>(dcb.XoffChar);
}

}  // namespace serial
