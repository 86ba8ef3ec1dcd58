#include "display/ball_camera.h"
#include "random/random.h"

#include <cmath>

#include <gtest/gtest.h>

namespace roses {
namespace {

double distance(const double* a, const double* b) {
    return std::hypot(a[0] - b[0], a[1] - b[1], a[2] - b[2]);
}

TEST(CameraView, LevelEyeLooksAlongXWithZUp) {
    ball_camera camera;
    camera.place_eye(800, 600);
    const look_at v = camera.view();
    EXPECT_EQ(v.eye[0], -1700.0);
    EXPECT_EQ(v.eye[1], 300.0);
    EXPECT_EQ(v.eye[2], -300.0);
    EXPECT_EQ(v.centre[0], -1699.0);
    EXPECT_EQ(v.centre[1], 300.0);
    EXPECT_EQ(v.centre[2], -300.0);
    EXPECT_EQ(v.up[0], 0.0);
    EXPECT_EQ(v.up[1], 0.0);
    EXPECT_EQ(v.up[2], 1.0);
}

TEST(CameraUpdate, FirstUpdatePlacesTheEyeOnTheBall) {
    for (std::uint32_t seed : {1u, 2u, 3u, 4u}) {
        reseed_random(seed);
        ball_camera camera;
        camera.update(800, 600);
        EXPECT_EQ(camera.dolly, 0.0);
        EXPECT_GE(camera.elevation, -90.0f);
        EXPECT_LE(camera.elevation, -50.0f + 0.05f);
        EXPECT_LE(std::abs(camera.azimuth), 0.05f);
        const look_at v = camera.view();
        const double m[] = {400, 300, -300};
        EXPECT_NEAR(distance(v.eye, m), 2100.0, 0.01);
        // The view direction points at M.
        const double to_m = distance(v.centre, m);
        EXPECT_NEAR(to_m, 2099.0, 0.01);
    }
}

TEST(CameraStep, AzimuthWrapsOnceAndKeepsItsBounds) {
    inertial_camera_gl camera;
    camera.azimuth = 179.5f;
    camera.vel_azimuth = 1.0;
    camera.step();
    EXPECT_EQ(camera.azimuth, -179.5f);

    camera.azimuth = 179.0f;
    camera.step();
    EXPECT_EQ(camera.azimuth, 180.0f);
    camera.azimuth = -179.0f;
    camera.vel_azimuth = -1.0;
    camera.step();
    EXPECT_EQ(camera.azimuth, -180.0f);
}

TEST(CameraStep, ClampsAccelerationsAndVelocities) {
    inertial_camera_gl camera;
    camera.vel_elevation = 0.5;
    camera.accel_elevation = -0.08;
    camera.accel_azimuth = 0.08;
    camera.vel_azimuth = 3.0;
    camera.step();
    EXPECT_EQ(camera.accel_elevation, -0.05);
    EXPECT_EQ(camera.vel_elevation, 0.3);
    EXPECT_EQ(camera.accel_azimuth, 0.05);
    EXPECT_EQ(camera.vel_azimuth, 1.0);
    EXPECT_EQ(camera.elevation, 0.3f);
}

TEST(CameraUpdate, ElevationIsHeldAtThePoleAndOnlyAnOutwardPushHalved) {
    reseed_random(9);
    ball_camera camera;
    camera.wandering = false; // no elevation noise while dollying
    camera.elevation = 89.9f;
    camera.azimuth = 10.0f;
    camera.vel_elevation = 0.3;
    camera.accel_elevation = 0.04;
    camera.update(800, 600);
    EXPECT_EQ(camera.elevation, 90.0f);
    EXPECT_EQ(camera.accel_elevation, 0.02);

    camera.elevation = 89.9f;
    camera.vel_elevation = 0.3;
    camera.accel_elevation = -0.01;
    camera.update(800, 600);
    EXPECT_EQ(camera.elevation, 90.0f);
    EXPECT_EQ(camera.accel_elevation, -0.01);
    EXPECT_EQ(camera.vel_elevation, 0.29);
}

TEST(CameraPhases, DollyStartsJustBelowMinus89Point8) {
    ball_camera camera;
    camera.elevation = -89.8f;
    camera.vel_elevation = 0.1;
    camera.apply_phase_rules();
    EXPECT_TRUE(camera.wandering);
    camera.elevation = std::nextafter(-89.8f, -90.0f);
    camera.apply_phase_rules();
    EXPECT_FALSE(camera.wandering);
    EXPECT_EQ(camera.vel_elevation, 0.0);
    EXPECT_EQ(camera.dolly, 0.0);

    camera.dolly = 0.0;
    camera.accel_elevation = 0.0;
    camera.apply_phase_rules();
    EXPECT_TRUE(camera.wandering);
    EXPECT_EQ(camera.elevation, -89.0f);
    EXPECT_EQ(camera.vel_elevation, 0.5);
}

TEST(CameraPhases, ADollyFliesThroughTheCentreAndBackIn441Frames) {
    reseed_random(4);
    ball_camera camera;
    camera.elevation = -89.9f;
    camera.azimuth = 30.0f;
    camera.apply_phase_rules();
    ASSERT_FALSE(camera.wandering);
    const float frozen = camera.elevation;
    int frames = 0;
    double peak = 0.0;
    while (!camera.wandering && frames < 1000) {
        camera.update(800, 600);
        EXPECT_EQ(camera.elevation, frozen);
        peak = std::max(peak, camera.dolly);
        camera.apply_phase_rules();
        ++frames;
    }
    EXPECT_EQ(frames, 441);
    EXPECT_NEAR(peak, 1.011, 0.0005);
    EXPECT_EQ(camera.dolly, 0.0);
}

TEST(CameraBetween, TurnsTheShortWayAcrossTheSeamAndEndsOnTheStep) {
    camera_gl from;
    from.x = 10.0f;
    from.azimuth = 179.5f;
    camera_gl to;
    to.x = 40.0f;
    to.azimuth = -179.5f;
    const camera_gl third = between(from, to, 1.0 / 3.0);
    EXPECT_FLOAT_EQ(third.x, 20.0f);
    EXPECT_NEAR(third.azimuth, 179.8333f, 1e-3);
    EXPECT_NEAR(between(from, to, 0.75).azimuth, -179.75f, 1e-3);
    EXPECT_NEAR(between(to, from, 0.75).azimuth, 179.75f, 1e-3);
    const camera_gl end = between(from, to, 1.0);
    EXPECT_EQ(end.x, to.x);
    EXPECT_EQ(end.azimuth, to.azimuth);
}

} // namespace
} // namespace roses
