// The simulation state the worker and window threads share: two shape slots searched in
// turn, the live roses, and the one lock between the threads.
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <list>
#include <memory>
#include <mutex>
#include <vector>

#include "garden/rose.h"
#include "garden/rose_shape.h"

namespace roses {

inline constexpr std::int32_t slot_free = 0;
inline constexpr std::int32_t slot_ready = 1;
inline constexpr std::int32_t slot_taken = -1;

// One thing that happened in the garden, for whoever keeps an account of a run.
struct garden_event {
    enum class kind { search, plant, commit, retire };
    kind what;
    std::int32_t slot;
    // search: the accepted shape; commit: the rose's shape after the commit.
    const rose_shape* shape = nullptr;
    // plant and commit: the rose.
    const rose* subject = nullptr;
    // search: candidates tried and the time the search took.
    std::int64_t candidates = 0;
    std::int64_t micros = 0;
};

class rose_garden {
  public:
    std::int32_t max_roses = 1;
    // Never resized, so a rose's pointer to its slot's shape stays valid.
    std::vector<rose_shape> shapes;
    // Read by tick without the lock, so atomics.
    std::vector<std::atomic<std::int32_t>> slot_states;
    // Oldest first; the garden owns the roses.
    std::list<std::unique_ptr<rose>> roses;
    // Mirrors roses.size() for tick, which reads it without the lock.
    std::atomic<std::int32_t> rose_count{0};
    std::mutex lock;
    // The client size the roses are laid out for: the window thread sets it while the worker
    // plants.
    std::atomic<std::int32_t> width{0};
    std::atomic<std::int32_t> height{0};
    // Called for every search, plant, commit and retirement when set. Commit and retire
    // calls happen with the lock held.
    std::function<void(const garden_event&)> on_event;

    rose_garden();
    rose_garden(const rose_garden&) = delete;
    rose_garden& operator=(const rose_garden&) = delete;

    // One step of the worker: plant a ready slot, search a free one, let the roses wander.
    void tick();
    // Once per step: age every rose and retire the expired ones.
    void cull();
    // Calls visit for every live rose, oldest first, with the lock held: the window thread
    // draws and re-lays the roses out through this while the worker may be committing.
    template <class Visit> void visit_roses(Visit&& visit) {
        std::lock_guard<std::mutex> guard(lock);
        for (auto& live : roses) {
            visit(*live);
        }
    }
    // Calls use with the list of live roses and the lock held, for work that goes over them
    // more than once and must see the same roses each time.
    template <class Use> void with_roses(Use&& use) {
        std::lock_guard<std::mutex> guard(lock);
        use(roses);
    }

  private:
    void plant_phase();
    void search_phase();
    void step_phase();
    void report(const garden_event& event) const;
};

} // namespace roses
