#include "garden/evaluate.h"
#include "garden/rose_garden.h"
#include "random/random.h"

#include <string>
#include <vector>

#include <gtest/gtest.h>

namespace roses {
namespace {

std::string tick_output(rose_garden& garden) {
    testing::internal::CaptureStderr();
    garden.tick();
    return testing::internal::GetCapturedStderr();
}

std::vector<std::int32_t> states(const rose_garden& garden) {
    std::vector<std::int32_t> result;
    for (const auto& state : garden.slot_states) {
        result.push_back(state.load());
    }
    return result;
}

TEST(Garden, StartsEmptyWithTwoFreeSlots) {
    rose_garden garden;
    EXPECT_EQ(garden.max_roses, 1);
    EXPECT_EQ(garden.shapes.size(), 2u);
    EXPECT_EQ(states(garden), (std::vector<std::int32_t>{slot_free, slot_free}));
    EXPECT_TRUE(garden.roses.empty());
    garden.cull();
    EXPECT_TRUE(garden.roses.empty());
}

TEST(Garden, CourseFromTheFirstTickThroughARetirement) {
    reseed_random(7);
    rose_garden garden;
    garden.width = 800;
    garden.height = 600;
    std::vector<garden_event> events;
    garden.on_event = [&events](const garden_event& e) { events.push_back(e); };

    // First tick: nothing to plant, slot 0 searched.
    EXPECT_EQ(tick_output(garden), "roses.size: 0 < 1\n");
    EXPECT_EQ(states(garden), (std::vector<std::int32_t>{slot_ready, slot_free}));
    EXPECT_TRUE(garden.roses.empty());
    ASSERT_EQ(events.size(), 1u);
    EXPECT_EQ(events[0].what, garden_event::kind::search);
    EXPECT_EQ(events[0].slot, 0);
    EXPECT_GE(events[0].candidates, 1);
    EXPECT_FALSE(evaluate(garden.shapes[0], garden.shapes[0].c));

    // Second tick: slot 0 planted, slot 1 searched.
    const std::int32_t n = garden.shapes[0].point_count;
    const std::string second = tick_output(garden);
    EXPECT_EQ(second.rfind("roses.size: 0 < 1\n", 0), 0u);
    EXPECT_EQ(states(garden), (std::vector<std::int32_t>{slot_taken, slot_ready}));
    ASSERT_EQ(garden.roses.size(), 1u);
    const rose& planted = *garden.roses.front();
    EXPECT_EQ(planted.slot, 0);
    EXPECT_EQ(planted.shape, &garden.shapes[0]);
    EXPECT_EQ(planted.width, 800.0f);
    EXPECT_EQ(events[1].what, garden_event::kind::plant);
    EXPECT_EQ(events[2].what, garden_event::kind::search);
    EXPECT_EQ(events[2].slot, 1);
    (void)n;

    // Later ticks only let the rose wander.
    const std::string third = tick_output(garden);
    EXPECT_EQ(third.find("roses.size"), std::string::npos);
    EXPECT_EQ(states(garden), (std::vector<std::int32_t>{slot_taken, slot_ready}));

    // One short of the bound stays; reaching it retires the rose and frees its slot.
    rose& live = *garden.roses.front();
    live.age = 4 * live.count - 4;
    garden.cull();
    ASSERT_EQ(garden.roses.size(), 1u);
    EXPECT_EQ(live.age, 4 * live.count - 1);
    garden.cull();
    EXPECT_TRUE(garden.roses.empty());
    EXPECT_EQ(garden.rose_count.load(), 0);
    EXPECT_EQ(states(garden), (std::vector<std::int32_t>{slot_free, slot_ready}));
    EXPECT_EQ(events.back().what, garden_event::kind::retire);
    EXPECT_EQ(events.back().slot, 0);

    // The waiting shape is planted and the freed slot searched again.
    EXPECT_EQ(tick_output(garden).rfind("roses.size: 0 < 1\n", 0), 0u);
    EXPECT_EQ(states(garden), (std::vector<std::int32_t>{slot_ready, slot_taken}));
    ASSERT_EQ(garden.roses.size(), 1u);
    EXPECT_EQ(garden.roses.front()->slot, 1);
}

TEST(Garden, PlantsTheLowestReadySlotFirst) {
    reseed_random(5);
    rose_garden garden;
    testing::internal::CaptureStderr();
    garden.tick();
    garden.slot_states[1].store(slot_ready);
    garden.shapes[1] = garden.shapes[0];
    garden.tick();
    testing::internal::GetCapturedStderr();
    EXPECT_EQ(garden.roses.front()->slot, 0);
    // Nothing free, so nothing searched.
    EXPECT_EQ(states(garden), (std::vector<std::int32_t>{slot_taken, slot_ready}));
}

TEST(Garden, CullRemovesEveryExpiredRoseAndGoesOn) {
    rose_garden garden;
    for (auto& shape : garden.shapes) {
        shape.point_count = 10;
        shape.radius = 0.2f;
    }
    const std::int32_t ages[] = {37, 38, 20, 39};
    for (int i = 0; i < 4; ++i) {
        garden.roses.push_back(
            std::make_unique<rose>(&garden.shapes[i % 2], i % 2, rgba{1, 2, 3, 4}, 100.0f, 100.0f));
        garden.roses.back()->age = ages[i];
        garden.slot_states[i % 2].store(slot_taken);
    }
    garden.rose_count.store(4);
    std::int32_t retired = 0;
    garden.on_event = [&retired](const garden_event& e) {
        retired += e.what == garden_event::kind::retire;
    };
    garden.cull();
    ASSERT_EQ(garden.roses.size(), 1u);
    EXPECT_EQ(garden.roses.front()->age, 23);
    EXPECT_EQ(garden.rose_count.load(), 1);
    EXPECT_EQ(retired, 3);
    EXPECT_EQ(states(garden), (std::vector<std::int32_t>{slot_free, slot_free}));
}

} // namespace
} // namespace roses
