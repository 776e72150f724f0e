// A bounded window of jobs in the order they were taken: workers start them from
// the front as they become free, and the calling thread delivers each one as soon
// as it and every job before it are done, working on jobs itself meanwhile.
#include "ordered_pool.h"

#include <condition_variable>
#include <deque>
#include <exception>
#include <mutex>
#include <sched.h>
#include <thread>
#include <vector>

namespace workpool {

namespace {

struct slot {
    job work;
    output result;
    bool done = false;
};

struct shared_state {
    std::mutex lock;
    std::condition_variable work_ready; // a job waits to be started, or closing
    std::condition_variable front_done; // the job the caller waits for has finished
    std::deque<slot> slots;             // taken and not yet delivered, in order
    std::size_t started = 0;            // slots[0, started) went to a worker
    unsigned idle_workers = 0;          // waiting on work_ready
    bool caller_waiting = false;        // waiting on front_done
    bool closing = false;
};

output run_guarded(const job& work) {
    try {
        return work();
    } catch (const std::exception& failure) {
        // Only a failed allocation can get here; it costs this image, not the run.
        return output{"", std::string("floppeek: ") + failure.what() + "\n", 1, 0, 0};
    }
}

// Runs the next job not yet started; called and returns with `guard` locked.
void run_next(shared_state& state, std::unique_lock<std::mutex>& guard) {
    // Slots are only removed from the front once done, and added at the back: the
    // reference stays valid while the job runs unlocked.
    slot& current = state.slots[state.started++];
    const job work = std::move(current.work);
    guard.unlock();
    output result = run_guarded(work);
    guard.lock();
    current.result = std::move(result);
    current.done = true;
}

void work_loop(shared_state& state) {
    std::unique_lock guard(state.lock);
    for (;;) {
        ++state.idle_workers;
        state.work_ready.wait(guard,
                              [&] { return state.closing || state.started < state.slots.size(); });
        --state.idle_workers;
        if (state.closing) {
            return;
        }
        run_next(state, guard);
        if (state.caller_waiting && state.slots.front().done) {
            state.front_done.notify_one();
        }
    }
}

// Tells the workers to stop once the calling thread leaves, however it leaves.
struct closer {
    shared_state& state;
    ~closer() {
        {
            const std::lock_guard guard(state.lock);
            state.closing = true;
        }
        state.work_ready.notify_all();
    }
};

void run_sequentially(const job_source& next_job, const output_sink& deliver) {
    for (job work = next_job(); work; work = next_job()) {
        if (!deliver(run_guarded(work))) {
            return;
        }
    }
}

} // namespace

void run_in_order(unsigned jobs, std::size_t window, const job_source& next_job,
                  const output_sink& deliver) {
    if (jobs <= 1) {
        run_sequentially(next_job, deliver);
        return;
    }
    if (window < jobs) {
        window = jobs;
    }
    // The calling thread is one of the workers: it runs jobs itself whenever the
    // front of the window is not done yet, and sleeps only when every job is taken.
    shared_state state;
    std::vector<std::jthread> workers;
    for (unsigned i = 1; i < jobs; ++i) {
        workers.emplace_back(work_loop, std::ref(state));
    }
    const closer stop_workers{state}; // runs before the workers are joined

    bool more = true;
    std::unique_lock guard(state.lock);
    for (;;) {
        while (more && state.slots.size() < window) {
            guard.unlock();
            job work = next_job();
            guard.lock();
            if (!work) {
                more = false;
                break;
            }
            state.slots.push_back(slot{std::move(work), {}, false});
            if (state.idle_workers > 0) {
                state.work_ready.notify_one();
            }
        }
        if (state.slots.empty()) {
            return;
        }
        if (!state.slots.front().done) {
            if (state.started < state.slots.size()) {
                run_next(state, guard);
            } else {
                state.caller_waiting = true;
                state.front_done.wait(guard, [&] { return state.slots.front().done; });
                state.caller_waiting = false;
            }
            continue;
        }
        output result = std::move(state.slots.front().result);
        state.slots.pop_front();
        --state.started;
        guard.unlock();
        const bool go_on = deliver(std::move(result));
        guard.lock();
        if (!go_on) {
            return;
        }
    }
}

unsigned available_cpus() {
    cpu_set_t set;
    CPU_ZERO(&set);
    if (sched_getaffinity(0, sizeof set, &set) == 0 && CPU_COUNT(&set) > 0) {
        return static_cast<unsigned>(CPU_COUNT(&set));
    }
    const unsigned cpus = std::thread::hardware_concurrency();
    return cpus > 0 ? cpus : 1;
}

} // namespace workpool
