// Whether the system asks programs to save power: on battery (UPower's OnBattery) or in the
// power-saver profile (power-profiles-daemon's ActiveProfile), followed on the system bus
// while the display hosts run. A service that is not running asks for nothing, and without
// a system bus at all nothing changes and nothing is said.
#pragma once

#include <cstdint>
#include <optional>

struct sd_bus;

namespace roses {

struct power_source;

struct power_state {
    bool on_battery = false;
    bool power_saver = false;

    bool saving() const { return on_battery || power_saver; }
    bool operator==(const power_state&) const = default;
};

class power_watch {
  public:
    // Connects to the system bus and asks both services, without waiting for an answer.
    // battery_fps: the frames a second at most while saving power.
    explicit power_watch(std::int32_t battery_fps);
    ~power_watch();
    power_watch(const power_watch&) = delete;
    power_watch& operator=(const power_watch&) = delete;

    // Takes what the bus has sent meanwhile, without waiting. True when the state changed,
    // which it has then said in one line on standard error.
    bool update();
    // The frames a second at most while saving power; nothing otherwise.
    std::optional<std::int32_t> cap() const;

    // What one service says, as its answers and signals arrive.
    struct follower {
        sd_bus* bus = nullptr;
        const power_source* source = nullptr;
        bool saving = false;
    };

  private:
    sd_bus* bus = nullptr;
    std::int32_t battery_fps;
    follower battery;
    follower profile;
    // The state last said.
    power_state said;
};

} // namespace roses
