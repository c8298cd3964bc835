#include "serial/CPortTypes.h"

#include <gtest/gtest.h>

using namespace serial;

TEST(CPortTypesTest, text_conversions_ignore_case_and_nothing_else) {
    EXPECT_EQ(TextToBaudRate("custom"), brCustom);
    EXPECT_EQ(TextToBaudRate("115200"), br115200);
    EXPECT_EQ(TextToBaudRate("9600 "), br9600);  // the fallback, not a match
    EXPECT_EQ(TextToBaudRate("19200 "), br9600);
    EXPECT_EQ(TextToParity("EVEN"), prEven);
    EXPECT_EQ(TextToParity("none"), prNone);
    EXPECT_EQ(TextToStopBits("1.5"), sbOne5StopBits);
    EXPECT_EQ(TextToStopBits("1,5"), sbOneStopBit);
    EXPECT_EQ(TextToDataBits("7"), dbSeven);
    EXPECT_EQ(TextToFlowControl("software"), fcSoftware);
    EXPECT_EQ(TextToFlowControl("RTS/CTS"), fcCustom);
    EXPECT_EQ(BaudRateToText(brCustom), "Custom");
    EXPECT_EQ(BaudRateToText(br256000), "256000");
    EXPECT_EQ(FlowControlToText(fcHardware), "Hardware");
}

TEST(CPortTypesTest, event_masks) {
    EXPECT_EQ(EventsToMask(AllComEvents), 0x05FFu);
    EXPECT_EQ(EventsToMask(EventBit(evCTS)), 0x0008u);
    EXPECT_EQ(EventsToMask(EventBit(evRing) | EventBit(evTxEmpty)), 0x0104u);
    EXPECT_EQ(MaskToEvents(0x0200 | 0x0010), EventBit(evDSR));  // a bit outside the table is dropped
    EXPECT_EQ(MaskToEvents(0x05FF), AllComEvents);
}

TEST(CPortTypesTest, error_texts_with_and_without_the_system_error) {
    EComPort open(1, 2);
    EXPECT_STREQ(open.what(), "Unable to open com port (win error code: 2)");
    EXPECT_EQ(open.FailureCode, 1);
    EXPECT_EQ(open.SystemError, 2);
    EComPort sync(14);
    EXPECT_STREQ(sync.what(), "Cannot set property while connected");
    EXPECT_EQ(sync.SystemError, -1);
    EXPECT_EQ(ComErrorText(23), "Registry error");
    EXPECT_EQ(ComErrorText(19), "Cannot change led state if ComPort is selected");
    EXPECT_EQ(ComErrorText(24), "");
}

TEST(CPortTypesTest, line_settings_record_of_the_serial_port_window) {
    TLineSettings s;
    s.OutCTSFlow = true;
    s.ControlRTS = rtsHandshake;
    TDCB d = BuildDCB(s);
    EXPECT_EQ(d.DCBlength, 28u);
    EXPECT_EQ(d.BaudRate, 9600u);
    EXPECT_EQ(d.Flags, 0x2005u);
    EXPECT_EQ(d.XonLim, 256);
    EXPECT_EQ(d.XoffLim, 256);
    EXPECT_EQ(d.ByteSize, 8);
    EXPECT_EQ(d.Parity, 0);
    EXPECT_EQ(d.StopBits, 0);
    EXPECT_EQ(d.XonChar, 17);
    EXPECT_EQ(d.XoffChar, 19);
    s.InputSize = 1022;
    EXPECT_EQ(BuildDCB(s).XonLim, 255);
}

TEST(CPortTypesTest, line_settings_record_flags_one_by_one) {
    TLineSettings s;
    s.BaudRate = brCustom;
    s.CustomBaudRate = 31250;
    s.ParityCheck = true;
    s.ParityReplace = true;
    s.ReplaceChar = '?';
    s.ControlDTR = dtrHandshake;
    s.ControlRTS = rtsToggle;
    s.XonXoffIn = s.XonXoffOut = true;
    s.DiscardNull = true;
    s.ParityBits = prSpace;
    s.StopBits = sbTwoStopBits;
    s.DataBits = dbFive;
    s.EventChar = '\n';
    TDCB d = BuildDCB(s);
    EXPECT_EQ(d.BaudRate, 31250u);
    EXPECT_EQ(d.Flags, 0x1u | 0x2 | (2u << 4) | 0x100 | 0x200 | 0x400 | 0x800 | (3u << 12));
    EXPECT_EQ(d.ErrorChar, '?');
    EXPECT_EQ(d.Parity, 4);
    EXPECT_EQ(d.StopBits, 2);
    EXPECT_EQ(d.ByteSize, 5);
    EXPECT_EQ(d.EvtChar, '\n');
    s.ParityReplace = false;
    EXPECT_EQ(BuildDCB(s).ErrorChar, 0);  // replacement needs both flags
}
