// A fresh simulator with one host link to its first camera, and the same with
// the camera's checker mode open.

#pragma once

#include <gtest/gtest.h>

#include <memory>

#include "sim/host_link.h"
#include "sim/simulator.h"

namespace test_support {

class CameraTest : public ::testing::Test {
protected:
    void SetUp() override {
        sim::Sim().Reset();
        link = std::make_unique<sim::HostLink>();
        ASSERT_TRUE(link->Connected());
    }
    void TearDown() override {
        link.reset();
        sim::Sim().Reset();
    }
    sim::Camera& Cam() { return sim::Sim().FirstCamera(); }

    std::unique_ptr<sim::HostLink> link;
};

class CheckerOpenCameraTest : public CameraTest {
protected:
    void SetUp() override {
        CameraTest::SetUp();
        if (HasFatalFailure()) return;
        ASSERT_TRUE(link->OpenChecker().Ok());
    }
};

}  // namespace test_support
