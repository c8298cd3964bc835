// The port's settings objects: parity, flow control, time-outs and buffer sizes, each applied to
// the open port as it changes.
#include "serial/CPort.h"

namespace serial {

template <class T>
void TComParity::Change(T& field, T value) {
    if (field == value) return;
    field = value;
    port_.ApplyLineSettings();
}
void TComParity::SetBits(TParityBits v) { Change(bits_, v); }
void TComParity::SetCheck(bool v) { Change(check_, v); }
void TComParity::SetReplace(bool v) { Change(replace_, v); }
void TComParity::SetReplaceChar(char v) { Change(replaceChar_, v); }
void TComParity::Assign(const TComParity& o) {
    bits_ = o.bits_, check_ = o.check_, replace_ = o.replace_, replaceChar_ = o.replaceChar_;
    port_.ApplyLineSettings();
}

TFlowControl TComFlowControl::FlowControl() const {
    if (ControlRTS == rtsHandshake && OutCTSFlow && !XonXoffIn && !XonXoffOut) return fcHardware;
    if (ControlRTS == rtsDisable && !OutCTSFlow && XonXoffIn && XonXoffOut) return fcSoftware;
    if (ControlRTS == rtsDisable && !OutCTSFlow && !XonXoffIn && !XonXoffOut) return fcNone;
    return fcCustom;
}

void TComFlowControl::SetFlowControl(TFlowControl v) {
    if (v != fcCustom) {
        ControlRTS = rtsDisable;
        OutCTSFlow = XonXoffIn = XonXoffOut = false;
        if (v == fcHardware) {
            ControlRTS = rtsHandshake;
            OutCTSFlow = true;
        } else if (v == fcSoftware) {
            XonXoffIn = XonXoffOut = true;
        }
    }
    port_.ApplyLineSettings();
}

void TComFlowControl::Assign(const TComFlowControl& o) {
    OutCTSFlow = o.OutCTSFlow, OutDSRFlow = o.OutDSRFlow, ControlDTR = o.ControlDTR, ControlRTS = o.ControlRTS;
    XonXoffOut = o.XonXoffOut, XonXoffIn = o.XonXoffIn, DSRSensitivity = o.DSRSensitivity;
    TxContinueOnXoff = o.TxContinueOnXoff, XonChar = o.XonChar, XoffChar = o.XoffChar;
    port_.ApplyLineSettings();
}

void TComTimeouts::Assign(const TComTimeouts& o) {
    ReadInterval = o.ReadInterval, ReadTotalMultiplier = o.ReadTotalMultiplier, ReadTotalConstant = o.ReadTotalConstant;
    WriteTotalMultiplier = o.WriteTotalMultiplier, WriteTotalConstant = o.WriteTotalConstant;
    port_.ApplyTimeoutSettings();
}

namespace {
int32_t EvenSize(int32_t v) { return v > 0 && v % 2 == 1 ? v - 1 : v; }
}  // namespace

void TComBuffer::SetInputSize(int32_t v) {
    if (input_ == v) return;
    input_ = EvenSize(v);
    port_.ApplyBufferSizes();
}
void TComBuffer::SetOutputSize(int32_t v) {
    if (output_ == v) return;
    output_ = EvenSize(v);
    port_.ApplyBufferSizes();
}
void TComBuffer::Assign(const TComBuffer& o) {
    input_ = o.input_, output_ = o.output_;
    port_.ApplyBufferSizes();
}

}  // namespace serial
