#include "power/power_watch.h"

#include <systemd/sd-bus.h>

#include <cstdio>
#include <cstring>
#include <string>

#include "options/option_table.h"
#include "scene/frame_clock.h"

namespace roses {

// Saving power draws one frame a step unless told otherwise, as -help and the manual say.
static_assert(options::battery_fps.default_value == steps_per_second);

// A service that can ask for power to be saved, and the one property of it that says so.
struct power_source {
    const char* service;
    const char* path;
    const char* interface;
    const char* property;
    // Whether the property's value, read from the reply's variant, asks to save power.
    bool (*saves)(sd_bus_message* reply);
};

namespace {

bool true_boolean(sd_bus_message* reply) {
    int value = 0;
    return sd_bus_message_read(reply, "v", "b", &value) >= 0 && value != 0;
}

bool saver_profile(sd_bus_message* reply) {
    const char* value = nullptr;
    return sd_bus_message_read(reply, "v", "s", &value) >= 0 &&
           std::strcmp(value, "power-saver") == 0;
}

constexpr power_source upower = {"org.freedesktop.UPower", "/org/freedesktop/UPower",
                                 "org.freedesktop.UPower", "OnBattery", &true_boolean};
constexpr power_source profiles = {"net.hadess.PowerProfiles", "/net/hadess/PowerProfiles",
                                   "net.hadess.PowerProfiles", "ActiveProfile", &saver_profile};

int on_value(sd_bus_message* reply, void* data, sd_bus_error*) {
    auto& follower = *static_cast<power_watch::follower*>(data);
    // An error reply means the service is not there (or not answering): nothing to save.
    follower.saving =
        !sd_bus_message_is_method_error(reply, nullptr) && follower.source->saves(reply);
    return 0;
}

// Asks the service for the property's value; the answer arrives in on_value. A service that
// is not running is not started for us: once it starts, its name's new owner is announced.
int ask(sd_bus_message*, void* data, sd_bus_error*) {
    auto& follower = *static_cast<power_watch::follower*>(data);
    const power_source& source = *follower.source;
    sd_bus_message* call = nullptr;
    if (sd_bus_message_new_method_call(follower.bus, &call, source.service, source.path,
                                       "org.freedesktop.DBus.Properties", "Get") >= 0 &&
        sd_bus_message_set_auto_start(call, 0) >= 0 &&
        sd_bus_message_append(call, "ss", source.interface, source.property) >= 0) {
        sd_bus_call_async(follower.bus, nullptr, call, &on_value, &follower, 0);
    }
    sd_bus_message_unref(call);
    return 0;
}

// Asked again whenever the service says the property changed (a signal that carries the new
// value or only names it), and whenever the service starts, restarts or goes away. Asking
// rather than reading the signal also means that only the service itself is believed.
void follow(power_watch::follower& follower) {
    const power_source& source = *follower.source;
    const std::string changed = std::string("type='signal',path='") + source.path +
                                "',interface='org.freedesktop.DBus.Properties',"
                                "member='PropertiesChanged',arg0='" +
                                source.interface + "'";
    const std::string owner = std::string("type='signal',sender='org.freedesktop.DBus',"
                                          "path='/org/freedesktop/DBus',"
                                          "interface='org.freedesktop.DBus',"
                                          "member='NameOwnerChanged',arg0='") +
                              source.service + "'";
    for (const std::string& match : {changed, owner}) {
        sd_bus_add_match_async(follower.bus, nullptr, match.c_str(), &ask, nullptr, &follower);
    }
    ask(nullptr, &follower, nullptr);
}

// "on battery, power-saver profile: at most 20 frames a second": what saves power now, and
// what stopped saving it with this change.
std::string describe(const power_state& now, const power_state& before, std::int32_t fps) {
    std::string line;
    auto add = [&line](const char* part) {
        line += (line.empty() ? "" : ", ") + std::string(part);
    };
    if (now.on_battery || before.on_battery) {
        add(now.on_battery ? "on battery" : "on mains power");
    }
    if (now.power_saver || before.power_saver) {
        add(now.power_saver ? "power-saver profile" : "power-saver profile off");
    }
    return line + (now.saving() ? ": at most " + std::to_string(fps) + " frames a second"
                                : ": frames at their usual rate");
}

} // namespace

power_watch::power_watch(std::int32_t battery_fps) : battery_fps(battery_fps) {
    if (sd_bus_open_system(&bus) < 0) {
        bus = nullptr;
        return;
    }
    battery = {bus, &upower};
    profile = {bus, &profiles};
    follow(battery);
    follow(profile);
}

power_watch::~power_watch() {
    // Not flushed: a bus that does not read must not hold up the end of the program.
    sd_bus_close_unref(bus);
}

bool power_watch::update() {
    if (bus == nullptr) {
        return false;
    }
    int processed = 0;
    while ((processed = sd_bus_process(bus, nullptr)) > 0) {
    }
    if (processed < 0) {
        // The bus went away: what it said last holds.
        bus = sd_bus_close_unref(bus);
        return false;
    }
    const power_state now{battery.saving, profile.saving};
    if (now == said) {
        return false;
    }
    std::fprintf(stderr, "roses: %s\n", describe(now, said, battery_fps).c_str());
    said = now;
    return true;
}

std::optional<std::int32_t> power_watch::cap() const {
    return said.saving() ? std::optional<std::int32_t>(battery_fps) : std::nullopt;
}

} // namespace roses
