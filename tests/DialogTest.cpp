// The real dialog, opened through the module's entry point under Wine and
// driven with the dialog manager's own messages.
#include <gtest/gtest.h>

#include "host/DialogDriver.h"
#include "host/TestHost.h"

using namespace testhost;

namespace {
// A calm picture to paint clouds on: sky above a horizon, land below.
std::vector<uint8> landscape(int w, int h)
{
    std::vector<uint8> p(size_t(w) * h * 3);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            uint8* q = &p[(size_t(y) * w + x) * 3];
            int horizon = h * 2 / 3 + (x * 7 % 23) / 8;
            if (y < horizon) {
                int t = y * 255 / horizon;
                q[0] = uint8(70 + t * 110 / 255);
                q[1] = uint8(120 + t * 90 / 255);
                q[2] = uint8(200 + t * 40 / 255);
            } else {
                int t = (y - horizon) * 255 / (h - horizon + 1);
                q[0] = uint8(90 - t * 40 / 255);
                q[1] = uint8(120 - t * 50 / 255);
                q[2] = uint8(60 - t * 30 / 255);
            }
        }
    return p;
}
}  // namespace

TEST(Dialog, Smoke)
{
    TestHost host(300, 200, 3);
    host.setPixels(landscape(300, 200));
    host.dialogs.expect("Nimbulo", [&](HWND d) {
        Screenshot shot = capture(d);
        std::string why;
        matchesReference(shot, "smoke", &why);
        sendCommand(d, 3);
    });
    EXPECT_EQ(host.run(true), noErr);
    EXPECT_EQ(host.dialogs.opened.size(), 1u);
}
