#include "serial/CPortTypes.h"

#include <algorithm>
#include <array>
#include <cstdio>

namespace serial {

namespace {

constexpr std::array<uint32_t, 10> kEventFlags = {0x0001, 0x0004, 0x0002, 0x0100, 0x0040,
                                                  0x0008, 0x0010, 0x0080, 0x0020, 0x0400};

const char* const kBaudTexts[] = {"Custom", "110",   "300",   "600",   "1200",   "2400",   "4800",   "9600",
                                  "14400",  "19200", "38400", "56000", "57600", "115200", "128000", "256000"};
constexpr uint32_t kBaudValues[] = {0, 110, 300, 600, 1200, 2400, 4800, 9600, 14400, 19200, 38400, 56000,
                                    57600, 115200, 128000, 256000};
const char* const kStopTexts[] = {"1", "1.5", "2"};
const char* const kDataTexts[] = {"5", "6", "7", "8"};
const char* const kParityTexts[] = {"None", "Odd", "Even", "Mark", "Space"};
const char* const kFlowTexts[] = {"Hardware", "Software", "None", "Custom"};

std::string Upper(std::string s) {
    std::transform(s.begin(), s.end(), s.begin(), [](unsigned char c) { return static_cast<char>(std::toupper(c)); });
    return s;
}

template <size_t N>
int Find(const char* const (&texts)[N], const std::string& s, int fallback) {
    const std::string u = Upper(s);
    for (size_t i = 0; i < N; ++i)
        if (Upper(texts[i]) == u) return static_cast<int>(i);
    return fallback;
}

std::array<std::string, 23> gTexts = {
    "Unable to open com port", "WriteFile function failed", "ReadFile function failed", "Invalid Async parameter",
    "PurgeComm function failed", "Unable to get async status", "SetCommState function failed",
    "SetCommTimeouts failed", "SetupComm function failed", "ClearCommError function failed",
    "GetCommModemStatus function failed", "EscapeCommFunction function failed", "TransmitCommChar function failed",
    "Cannot set property while connected", "EnumPorts function failed", "Failed to store settings",
    "Failed to load settings", "Link (un)registration failed", "Cannot change led state if ComPort is selected",
    "Cannot wait for event if event thread is created", "WaitForEvent method failed",
    "A component is linked to OnRxBuf event", "Registry error"};

std::string (*gSuffixTranslate)(const std::string&) = nullptr;

std::string WithSystemError(int code, int systemError) {
    std::string fmt = ComErrorText(code) + (gSuffixTranslate ? gSuffixTranslate(" (win error code: %d)") : " (win error code: %d)");
    // The only placeholder is the suffix's %d; a stray % elsewhere in a translation stays as it is.
    size_t at = fmt.rfind("%d");
    if (at != std::string::npos) fmt.replace(at, 2, std::to_string(systemError));
    return fmt;
}

}  // namespace

uint32_t EventsToMask(TComEvents events) {
    uint32_t mask = 0;
    for (size_t i = 0; i < kEventFlags.size(); ++i)
        if (events & (1u << i)) mask |= kEventFlags[i];
    return mask;
}

TComEvents MaskToEvents(uint32_t mask) {
    TComEvents events = 0;
    for (size_t i = 0; i < kEventFlags.size(); ++i)
        if (mask & kEventFlags[i]) events = static_cast<TComEvents>(events | (1u << i));
    return events;
}

std::string BaudRateToText(TBaudRate v) { return kBaudTexts[v]; }
std::string StopBitsToText(TStopBits v) { return kStopTexts[v]; }
std::string DataBitsToText(TDataBits v) { return kDataTexts[v]; }
std::string ParityToText(TParityBits v) { return kParityTexts[v]; }
std::string FlowControlToText(TFlowControl v) { return kFlowTexts[v]; }
TBaudRate TextToBaudRate(const std::string& s) { return static_cast<TBaudRate>(Find(kBaudTexts, s, br9600)); }
TStopBits TextToStopBits(const std::string& s) { return static_cast<TStopBits>(Find(kStopTexts, s, sbOneStopBit)); }
TDataBits TextToDataBits(const std::string& s) { return static_cast<TDataBits>(Find(kDataTexts, s, dbEight)); }
TParityBits TextToParity(const std::string& s) { return static_cast<TParityBits>(Find(kParityTexts, s, prNone)); }
TFlowControl TextToFlowControl(const std::string& s) { return static_cast<TFlowControl>(Find(kFlowTexts, s, fcCustom)); }

const std::string& ComErrorText(int code) {
    static const std::string empty;
    return code >= 1 && code <= 23 ? gTexts[static_cast<size_t>(code - 1)] : empty;
}

void TranslateComErrorTexts(std::string (*translate)(const std::string&)) {
    for (std::string& t : gTexts) t = translate(t);
}

void SetComErrorSuffixTranslator(std::string (*translate)(const std::string&)) { gSuffixTranslate = translate; }

EComPort::EComPort(int failureCode, int systemError)
    : std::runtime_error(WithSystemError(failureCode, systemError)), SystemError(systemError), FailureCode(failureCode) {}

EComPort::EComPort(int failureCode)
    : std::runtime_error(ComErrorText(failureCode)), SystemError(-1), FailureCode(failureCode) {}

uint32_t BaudRateValue(TBaudRate br, int32_t custom) {
    return br == brCustom ? static_cast<uint32_t>(custom) : kBaudValues[br];
}

TDCB BuildDCB(const TLineSettings& s) {
    TDCB d;
    d.BaudRate = BaudRateValue(s.BaudRate, s.CustomBaudRate);
    bool errorChar = s.ParityCheck && s.ParityReplace;
    d.Flags = 1u                                      // fBinary
              | (s.ParityCheck ? 1u << 1 : 0)         // fParity
              | (s.OutCTSFlow ? 1u << 2 : 0)          // fOutxCtsFlow
              | (s.OutDSRFlow ? 1u << 3 : 0)          // fOutxDsrFlow
              | (static_cast<uint32_t>(s.ControlDTR) << 4)
              | (s.DSRSensitivity ? 1u << 6 : 0)
              | (s.TxContinueOnXoff ? 1u << 7 : 0)
              | (s.XonXoffOut ? 1u << 8 : 0)          // fOutX
              | (s.XonXoffIn ? 1u << 9 : 0)           // fInX
              | (errorChar ? 1u << 10 : 0)            // fErrorChar
              | (s.DiscardNull ? 1u << 11 : 0)        // fNull
              | (static_cast<uint32_t>(s.ControlRTS) << 12);  // fAbortOnError (bit 14) stays 0
    d.XonLim = d.XoffLim = static_cast<uint16_t>(s.InputSize / 4);
    d.ByteSize = static_cast<uint8_t>(5 + s.DataBits);
    d.Parity = static_cast<uint8_t>(s.ParityBits);
    d.StopBits = static_cast<uint8_t>(s.StopBits);
    d.XonChar = s.XonChar;
    d.XoffChar = s.XoffChar;
    d.ErrorChar = errorChar ? s.ReplaceChar : 0;
    d.EvtChar = s.EventChar;
    return d;
}

}  // namespace serial
