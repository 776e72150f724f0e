// Each image's output written whole and in order, and what became of standard output.
#include "ordered_writer.h"

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <unistd.h>

namespace sink {

namespace {

// Outputs taken but not yet written, per worker: enough to keep every worker busy
// while a slow image holds up the front, few enough to keep memory flat.
constexpr std::size_t k_window_per_job = 4;

// Standard output as the ordered writer sees it: the first failed write is
// remembered with its reason, and stops the walk.
int stdout_error = 0;

void note_stdout_error() {
    if (std::ferror(stdout) && stdout_error == 0) {
        stdout_error = errno != 0 ? errno : EIO;
    }
}

// A status line on a terminal: images done, failures, MB/s; redrawn at most ten
// times a second, erased before anything else is written and at the end.
struct progress_line {
    bool enabled = false;
    bool shown = false;
    int images = 0;
    int failed = 0;
    std::uint64_t bytes = 0;
    std::chrono::steady_clock::time_point start = std::chrono::steady_clock::now();
    std::chrono::steady_clock::time_point drawn{};
};

progress_line progress;

void erase_progress() {
    if (progress.shown) {
        std::fputs("\r\033[K", stderr);
        progress.shown = false;
    }
}

void draw_progress(const workpool::output& output) {
    progress.images += output.images;
    progress.failed += output.failed;
    progress.bytes += output.bytes;
    const auto now = std::chrono::steady_clock::now();
    if (now - progress.drawn < std::chrono::milliseconds(100)) {
        return;
    }
    progress.drawn = now;
    const double seconds = std::chrono::duration<double>(now - progress.start).count();
    std::fflush(stdout);
    std::fprintf(stderr, "\r\033[K%d images, %d failed, %.1f MB/s", progress.images,
                 progress.failed,
                 seconds > 0 ? static_cast<double>(progress.bytes) / 1e6 / seconds : 0.0);
    progress.shown = true;
}

bool write_output(workpool::output&& output) {
    if (progress.enabled && (!output.err.empty() || isatty(STDOUT_FILENO))) {
        erase_progress();
    }
    errno = 0;
    std::fwrite(output.out.data(), 1, output.out.size(), stdout);
    if (!output.err.empty()) {
        // A log of both streams keeps each message after the lines it belongs to.
        std::fflush(stdout);
    }
    note_stdout_error();
    std::fwrite(output.err.data(), 1, output.err.size(), stderr);
    if (progress.enabled) {
        draw_progress(output);
    }
    return stdout_error == 0;
}

} // namespace

int write_in_order(unsigned jobs, bool with_progress, const workpool::job_source& next_job,
                   const std::function<void(std::string&)>& rewrite) {
    progress.enabled = with_progress;
    int failed = 0;
    const auto write = [&](workpool::output&& output) {
        failed += output.failed;
        if (rewrite) {
            rewrite(output.out);
        }
        return write_output(std::move(output));
    };
    workpool::run_in_order(jobs, jobs * k_window_per_job, next_job, write);
    erase_progress();
    return failed;
}

void flush_stdout() {
    errno = 0;
    std::fflush(stdout);
    note_stdout_error();
}

bool check_stdout() {
    flush_stdout();
    if (stdout_error == 0) {
        return true;
    }
    std::fprintf(stderr, "Cannot write to standard output: %s\n", std::strerror(stdout_error));
    return false;
}

} // namespace sink
