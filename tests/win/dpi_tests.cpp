// Lengths and fonts at a display scale.
#include "win/dpi.h"
#include "win/handle.h"

#include <gtest/gtest.h>

namespace {

TEST(Dpi, LengthsGoToAScaleAndBackToTheSameNumber) {
    EXPECT_EQ(win::ScaleToDpi(350, 144), 525);
    EXPECT_EQ(win::ScaleToDpi(7, 120), 9); // 8.75, to the nearest pixel
    // A width kept at 100 % comes back as it was, whatever the scale it went through.
    for (int dpi : {96, 120, 144, 168, 192, 240}) {
        for (int width : {1, 7, 150, 151, 222, 350})
            EXPECT_EQ(win::UnscaleFromDpi(win::ScaleToDpi(width, dpi), dpi), width) << dpi;
    }
    EXPECT_EQ(win::UnscaleFromDpi(40, 0), 40);
}

TEST(Dpi, FontsAndMetricsFollowTheScale) {
    LOGFONTW look = {};
    look.lfHeight = -11;
    wcscpy_s(look.lfFaceName, L"Tahoma");
    win::GdiObject<HFONT> font(CreateFontIndirectW(&look));
    win::GdiObject<HFONT> doubled(win::ScaledFont(font.get(), 96, 192));
    LOGFONTW scaled = {};
    ASSERT_TRUE(GetObjectW(doubled.get(), sizeof scaled, &scaled));
    EXPECT_EQ(scaled.lfHeight, -22);
    EXPECT_STREQ(scaled.lfFaceName, L"Tahoma");
    EXPECT_EQ(win::ScaledFont(nullptr, 96, 192), nullptr);

    EXPECT_EQ(win::SystemMetricForDpi(SM_CXSMICON, 192),
              2 * win::SystemMetricForDpi(SM_CXSMICON, 96));
    // A window without a monitor of its own has the screen's.
    EXPECT_EQ(win::DpiOfWindow(nullptr), win::SystemDpi());
}

} // namespace
