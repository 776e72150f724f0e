// Runs a fuzz target over stored inputs without libFuzzer, so that the seed corpus
// and every regression input are replayed by the ordinary test suite. Arguments are
// files or folders of files.
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size);

namespace {

namespace fs = std::filesystem;

bool replay_file(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        std::fprintf(stderr, "cannot read %s\n", path.c_str());
        return false;
    }
    const std::vector<uint8_t> data{std::istreambuf_iterator<char>(in),
                                    std::istreambuf_iterator<char>()};
    // Like libFuzzer, never hand over a null pointer, even for an empty input.
    static const uint8_t empty = 0;
    LLVMFuzzerTestOneInput(data.empty() ? &empty : data.data(), data.size());
    return true;
}

} // namespace

int main(int argc, char** argv) {
    int replayed = 0;
    for (int i = 1; i < argc; ++i) {
        std::vector<fs::path> paths;
        if (fs::is_directory(argv[i])) {
            for (const auto& item : fs::directory_iterator(argv[i])) {
                paths.push_back(item.path());
            }
        } else {
            paths.push_back(argv[i]);
        }
        for (const fs::path& path : paths) {
            if (!replay_file(path)) {
                return 1;
            }
            ++replayed;
        }
    }
    std::fprintf(stderr, "%d inputs replayed\n", replayed);
    return replayed > 0 ? 0 : 1;
}
