// The Windows communications names used by the serial layer, with their Windows values.
#pragma once

#include <cstdint>

namespace serial {

inline constexpr int ERROR_INVALID_HANDLE = 6, ERROR_NOT_ENOUGH_MEMORY = 8;
inline constexpr uint32_t MS_CTS_ON = 0x10, MS_DSR_ON = 0x20, MS_RING_ON = 0x40, MS_RLSD_ON = 0x80;
inline constexpr uint32_t CE_RXOVER = 0x1, CE_OVERRUN = 0x2, CE_RXPARITY = 0x4, CE_FRAME = 0x8,
                          CE_BREAK = 0x10, CE_TXFULL = 0x100, CE_IOE = 0x400, CE_MODE = 0x8000;
inline constexpr uint32_t EV_RXCHAR = 0x1, EV_RXFLAG = 0x2, EV_TXEMPTY = 0x4, EV_CTS = 0x8, EV_DSR = 0x10,
                          EV_RLSD = 0x20, EV_BREAK = 0x40, EV_ERR = 0x80, EV_RING = 0x100, EV_PERR = 0x200,
                          EV_RX80FULL = 0x400;
inline constexpr uint32_t PURGE_TXABORT = 1, PURGE_RXABORT = 2, PURGE_TXCLEAR = 4, PURGE_RXCLEAR = 8;

}  // namespace serial
