// The graphics module on a real window and device, with frames bracketed as the game delegate
// brackets them. The device counts the matrices it is handed and remembers the last oval, so the
// module's lazy hand-over can be checked; everything else is the real device.
#pragma once

#include "framework/app/app.h"
#include "framework/graphics/graphics.h"
#include "gl_window.h"

#include <gtest/gtest.h>

namespace gltest {

class WatchedDevice : public gxtkGraphics {
  public:
    int setMatrixCalls = 0;
    float oval[4] = {};

    int SetMatrix(float ia, float ib, float ic, float id, float itx, float ity) override {
        ++setMatrixCalls;
        return gxtkGraphics::SetMatrix(ia, ib, ic, id, itx, ity);
    }
    int DrawOval(float x, float y, float w, float h) override {
        oval[0] = x;
        oval[1] = y;
        oval[2] = w;
        oval[3] = h;
        return gxtkGraphics::DrawOval(x, y, w, h);
    }
};

class FrameworkTest : public ::testing::Test {
  protected:
    static void SetUpTestSuite() {
        OpenHostWindow();
        vx_app_Init();
        vx_graphics_Init();
        device = new WatchedDevice;
        vx_graphics_SetGraphicsDevice(device);
    }

    void SetUp() override { BeginFrame(); }
    void TearDown() override {
        if (vx_graphics_renderDevice.get()) EndFrame();
    }

    // A frame on black, as the delegate starts it.
    static void BeginFrame() {
        vx_app_ValidateDeviceWindow(true);
        device->BeginRender();
        vx_graphics_BeginRender();
        device->Cls(0, 0, 0);
    }
    static void EndFrame() {
        vx_graphics_EndRender();
        device->EndRender();
    }

    static c_GraphicsContext* Context() { return vx_graphics_context.get(); }

    static WatchedDevice* device;
};

inline WatchedDevice* FrameworkTest::device = nullptr;

} // namespace gltest
