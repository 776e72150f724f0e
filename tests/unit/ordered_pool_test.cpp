#include "ordered_pool.h"

#include <gtest/gtest.h>

#include <chrono>
#include <new>
#include <thread>
#include <vector>

TEST(ordered_pool, delivers_in_order_within_the_window_and_stops_on_request) {
    struct row {
        unsigned jobs;
        std::size_t window;
        int stop_after; // deliveries before the sink says stop; 0: never
    };
    const row rows[] = {{1, 1, 0}, {2, 8, 0}, {4, 4, 0}, {8, 3, 0}, {3, 6, 25}, {1, 1, 25}};
    constexpr int k_jobs = 120;
    for (const row& r : rows) {
        SCOPED_TRACE(std::to_string(r.jobs) + " jobs, window " + std::to_string(r.window));
        int taken = 0;
        int most_in_flight = 0;
        std::vector<std::string> delivered;
        const auto next = [&]() -> workpool::job {
            if (taken == k_jobs) {
                return {};
            }
            const int index = taken++;
            return [index] {
                // Uneven durations, so that later jobs often finish first.
                std::this_thread::sleep_for(std::chrono::microseconds((index * 7 % 13) * 40));
                if (index == 5) {
                    throw std::bad_alloc();
                }
                return workpool::output{std::to_string(index), "", 0};
            };
        };
        const auto deliver = [&](workpool::output&& output) {
            most_in_flight = std::max(most_in_flight, taken - static_cast<int>(delivered.size()));
            delivered.push_back(output.out.empty() ? output.err : output.out);
            return r.stop_after == 0 || static_cast<int>(delivered.size()) < r.stop_after;
        };
        workpool::run_in_order(r.jobs, r.window, next, deliver);

        const int expected = r.stop_after == 0 ? k_jobs : r.stop_after;
        ASSERT_EQ(static_cast<int>(delivered.size()), expected);
        for (int i = 0; i < expected; ++i) {
            EXPECT_EQ(delivered[i], i == 5 ? "floppeek: std::bad_alloc\n" : std::to_string(i));
        }
        EXPECT_LE(most_in_flight, static_cast<int>(std::max<std::size_t>(r.window, r.jobs)));
        EXPECT_LE(taken, expected + static_cast<int>(r.window));
    }
}
