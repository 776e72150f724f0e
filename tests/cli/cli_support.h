// Running the built floppeek binary from tests: its stdout, stderr and exit status.
#ifndef FLOPPEEK_CLI_SUPPORT_H
#define FLOPPEEK_CLI_SUPPORT_H

#include "image_builder.h"

#include <gtest/gtest.h>

#include <csignal>
#include <filesystem>
#include <fstream>
#include <grp.h>
#include <sstream>
#include <string>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

namespace fs = std::filesystem;

struct run_result {
    std::string out;
    std::string err;
    int status;
    long peak_rss_kib = 0;
};

inline std::string slurp(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

// Where the program's standard output goes: a file of its own (run_result::out), the
// same file as standard error (all in run_result::err), /dev/full, or nowhere (closed).
enum class stdout_to { file, stderr_file, full_device, closed };

// Runs floppeek with `args`; a run still going after 10 seconds is killed and
// reported with status -2, so that a hang fails the test instead of stalling it.
// With `as_nobody`, a run started as root drops to the unprivileged user first, so
// that permissions apply to it.
inline run_result run(const std::vector<std::string>& args, stdout_to where = stdout_to::file,
                      bool as_nobody = false) {
    const fs::path out = fs::temp_directory_path() / ("cli_out." + std::to_string(getpid()));
    const fs::path err = fs::temp_directory_path() / ("cli_err." + std::to_string(getpid()));
    const pid_t child = fork();
    if (child == 0) {
        const bool opened =
            std::freopen(err.c_str(), "w", stderr) &&
            (where == stdout_to::file          ? std::freopen(out.c_str(), "w", stdout) != nullptr
             : where == stdout_to::stderr_file ? dup2(STDERR_FILENO, STDOUT_FILENO) >= 0
             : where == stdout_to::full_device ? std::freopen("/dev/full", "w", stdout) != nullptr
                                               : close(STDOUT_FILENO) == 0);
        const uid_t nobody = 65534;
        if (!opened ||
            (as_nobody && geteuid() == 0 &&
             (setgroups(0, nullptr) != 0 || setgid(nobody) != 0 || setuid(nobody) != 0))) {
            _exit(127);
        }
        std::vector<char*> argv{const_cast<char*>(FLOPPEEK_BINARY)};
        for (const std::string& arg : args) {
            argv.push_back(const_cast<char*>(arg.c_str()));
        }
        argv.push_back(nullptr);
        execv(FLOPPEEK_BINARY, argv.data());
        _exit(127);
    }
    int status = 0;
    bool timed_out = false;
    struct rusage usage {};
    for (int waited_ms = 0; wait4(child, &status, WNOHANG, &usage) == 0; waited_ms += 5) {
        if (waited_ms >= 10000) {
            kill(child, SIGKILL);
            wait4(child, &status, 0, &usage);
            timed_out = true;
            break;
        }
        usleep(5000);
    }
    run_result result{slurp(out), slurp(err),
                      timed_out           ? -2
                      : WIFEXITED(status) ? WEXITSTATUS(status)
                                          : -1,
                      usage.ru_maxrss};
    fs::remove(out);
    fs::remove(err);
    return result;
}

inline const std::string banner = "floppeek v1.4 - Commodore disk, tape and cartridge inspector\n";

inline std::string usage_text() {
    const std::string name = FLOPPEEK_BINARY;
    return "Parses D64 files and extracts various information\n"
           "Uses the trakvol v2.0 library by the same author\n\n"
           "Usage: " +
           name +
           " [options] [modifiers] \"<input filename or folder>\"\n"
           "\nOptions:\n"
           "   -d: Show directory listing (default)\n"
           "   -b: Dump BAM contents\n"
           "   -f \"<search pattern>\": Find file that matches a pattern (use * as wildcard)\n"
           "\nModifiers:\n"
           "   -s: Include SCRatched files in directory listing\n"
           "   -w: Include additional file information in directory listing\n"
           "   -e: Include sector error info in BAM dump\n"
           "\nExamples:\n"
           "   " +
           name +
           " -s \"0020A_UTILITIES.D64\"\n"
           "   " +
           name + " -b -e \"Disk images\"\n";
}

class cli : public testing::Test {
  protected:
    void SetUp() override {
        char pattern[] = "/tmp/floppeek_cli.XXXXXX";
        dir = mkdtemp(pattern);
    }
    void TearDown() override {
        fs::remove_all(dir);
    }

    // Saves `image` as `name` in the test's folder and returns its path.
    std::string save(const test_image& image, const std::string& name) {
        const fs::path path = dir / name;
        EXPECT_TRUE(image_save(image, path));
        return path;
    }
    std::string save_bytes(const std::string& bytes, const std::string& name) {
        std::ofstream(dir / name, std::ios::binary) << bytes;
        return dir / name;
    }

    fs::path dir;
};

#endif // FLOPPEEK_CLI_SUPPORT_H
