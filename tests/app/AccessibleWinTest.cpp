// What a screen reader hears of the main window's time displays on Windows (MSAA, asked in process
// as a reader's proxy asks): each display's name is its text, the stopped time's the new capture.
#include <windows.h>
#include <oleacc.h>

#include <chrono>
#include <string>

#include <wx/app.h>
#include <wx/evtloop.h>

#include <gtest/gtest.h>

#include "app/Unit1.h"
#include "tests/app/MainWindowFixture.h"

namespace {

std::wstring AccessibleName(wxWindow* w) {
    IAccessible* accessible = nullptr;
    if (FAILED(AccessibleObjectFromWindow(static_cast<HWND>(w->GetHWND()), OBJID_CLIENT, __uuidof(IAccessible),
                                          reinterpret_cast<void**>(&accessible))))
        return L"(no accessible object)";
    VARIANT self;
    VariantInit(&self);
    self.vt = VT_I4;
    self.lVal = CHILDID_SELF;
    BSTR name = nullptr;
    std::wstring out = SUCCEEDED(accessible->get_accName(self, &name)) && name ? name : L"(no name)";
    SysFreeString(name);
    accessible->Release();
    return out;
}

class AccessibleWinTest : public gui_test::TMainWindowFixture {};

}  // namespace

TEST_F(AccessibleWinTest, the_time_displays_are_named_by_their_texts) {
    auto* form = new app::TForm1(services);
    form->Show();
    const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(300);
    while (std::chrono::steady_clock::now() < end) {
        wxEventLoopBase::GetActive()->DispatchTimeout(5);
        wxTheApp->ProcessPendingEvents();
    }
    ASSERT_GT(form->FrameCount(), 0);
    EXPECT_EQ(AccessibleName(form->Panel1), form->Panel1->Caption().ToStdWstring());
    EXPECT_EQ(AccessibleName(form->Panel2), L"00:00:00,000 UT");
    form->CaptureRoutine(1796860799999000LL);  // 2026-12-09 23:59:59,999 UTC
    EXPECT_EQ(AccessibleName(form->Panel2), L"23:59:59,999 UT");
    form->Destroy();
}
