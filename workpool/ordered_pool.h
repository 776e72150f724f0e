// Work on several images at once and hand the results back in the order the work
// was asked for, so that a parallel run prints exactly what a sequential one does.
#ifndef FLOPPEEK_ORDERED_POOL_H
#define FLOPPEEK_ORDERED_POOL_H

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>

namespace workpool {

// What one piece of work produced: the bytes meant for standard output and for
// standard error, how many images it looked at, how many bytes they held and how
// many failed.
struct output {
    std::string out;
    std::string err;
    int failed = 0;
    int images = 0;
    std::uint64_t bytes = 0;
};

// A piece of work; it runs on a worker thread and must not touch shared state.
using job = std::function<output()>;

// next_job() :
//   Called on the calling thread for the next piece of work; an empty job means
//   there is no more.
using job_source = std::function<job()>;

// deliver() :
//   Called on the calling thread with each output, in the order next_job() gave the
//   jobs. Returns false to stop: no further job is started and the outputs of the
//   jobs still running are dropped.
using output_sink = std::function<bool(output&&)>;

// run_in_order() :
//   Runs every job from `next_job` on `jobs` worker threads, at most `window` of them
//   taken but not yet delivered at a time (which bounds the memory held), and passes
//   their outputs to `deliver` in order. With `jobs` = 1 no thread is started: each
//   job runs on the calling thread and is delivered before the next one is asked for.
void run_in_order(unsigned jobs, std::size_t window, const job_source& next_job,
                  const output_sink& deliver);

// The number of CPUs this process may run on (its affinity mask), at least 1.
unsigned available_cpus();

} // namespace workpool

#endif // FLOPPEEK_ORDERED_POOL_H
