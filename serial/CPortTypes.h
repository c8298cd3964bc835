// The serial port component's value types: enumerations and their texts, the error type with its
// message table, the event mask mapping, and the Windows line-settings record built from settings.
#pragma once

#include <cstdint>
#include <stdexcept>
#include <string>

namespace serial {

enum TBaudRate { brCustom, br110, br300, br600, br1200, br2400, br4800, br9600, br14400, br19200, br38400, br56000,
                 br57600, br115200, br128000, br256000 };
enum TStopBits { sbOneStopBit, sbOne5StopBits, sbTwoStopBits };
enum TDataBits { dbFive, dbSix, dbSeven, dbEight };
enum TParityBits { prNone, prOdd, prEven, prMark, prSpace };
enum TDTRFlowControl { dtrDisable, dtrEnable, dtrHandshake };
enum TRTSFlowControl { rtsDisable, rtsEnable, rtsHandshake, rtsToggle };
enum TFlowControl { fcHardware, fcSoftware, fcNone, fcCustom };
enum TComEvent { evRxChar, evTxEmpty, evRxFlag, evRing, evBreak, evCTS, evDSR, evError, evRLSD, evRx80Full };
enum TSyncMethod { smThreadSync, smWindowSync, smNone };

using TComEvents = uint16_t;  // bit n: the event of ordinal n
inline constexpr TComEvents AllComEvents = 0x03FF;
inline constexpr TComEvents EventBit(TComEvent e) { return static_cast<TComEvents>(1u << e); }

// The Windows communication event mask (EV_RXCHAR 0x0001 ... EV_RX80FULL 0x0400) both ways.
uint32_t EventsToMask(TComEvents events);
TComEvents MaskToEvents(uint32_t mask);

std::string BaudRateToText(TBaudRate v);
std::string StopBitsToText(TStopBits v);
std::string DataBitsToText(TDataBits v);
std::string ParityToText(TParityBits v);
std::string FlowControlToText(TFlowControl v);
// Letter case ignored; nothing else forgiven. The fallbacks: br9600, sbOneStopBit, dbEight, prNone,
// fcCustom.
TBaudRate TextToBaudRate(const std::string& s);
TStopBits TextToStopBits(const std::string& s);
TDataBits TextToDataBits(const std::string& s);
TParityBits TextToParity(const std::string& s);
TFlowControl TextToFlowControl(const std::string& s);

// The one error type of the serial layer: a failure code 1..23 and the system error (-1: none).
class EComPort : public std::runtime_error {
public:
    EComPort(int failureCode, int systemError);  // with " (win error code: %d)"
    explicit EComPort(int failureCode);          // the table text alone, SystemError -1
    int SystemError;
    int FailureCode;
};

// The 23 message texts, English until a catalogue translates them.
const std::string& ComErrorText(int failureCode);
// Translates the table once (the program does it at start) with the given translation function.
void TranslateComErrorTexts(std::string (*translate)(const std::string&));
void SetComErrorSuffixTranslator(std::string (*translate)(const std::string&));

// The Windows DCB record as a value (28 bytes on the wire), built from the port's settings.
struct TDCB {
    uint32_t DCBlength = 28;
    uint32_t BaudRate = 0;
    uint32_t Flags = 0;  // fBinary bit 0 ... fAbortOnError bit 14
    uint16_t wReserved = 0;
    uint16_t XonLim = 0;
    uint16_t XoffLim = 0;
    uint8_t ByteSize = 0;
    uint8_t Parity = 0;
    uint8_t StopBits = 0;
    char XonChar = 0;
    char XoffChar = 0;
    char ErrorChar = 0;
    char EofChar = 0;
    char EvtChar = 0;
    uint16_t wReserved1 = 0;
};

struct TLineSettings {
    TBaudRate BaudRate = br9600;
    int32_t CustomBaudRate = 9600;
    TDataBits DataBits = dbEight;
    TStopBits StopBits = sbOneStopBit;
    bool DiscardNull = false;
    char EventChar = 0;
    TParityBits ParityBits = prNone;
    bool ParityCheck = false, ParityReplace = false;
    char ReplaceChar = 0;
    bool OutCTSFlow = false, OutDSRFlow = false;
    TDTRFlowControl ControlDTR = dtrDisable;
    TRTSFlowControl ControlRTS = rtsDisable;
    bool XonXoffOut = false, XonXoffIn = false, DSRSensitivity = false, TxContinueOnXoff = false;
    char XonChar = 17, XoffChar = 19;
    int32_t InputSize = 1024;
};

uint32_t BaudRateValue(TBaudRate br, int32_t custom);
TDCB BuildDCB(const TLineSettings& s);

}  // namespace serial
