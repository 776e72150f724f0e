// A third baseline for the benchmark: read every file given, whole, into one reused
// buffer and do nothing else. What a folder walk cannot beat.
#include <cstdio>
#include <fcntl.h>
#include <unistd.h>
#include <vector>

int main(int argc, char** argv) {
    std::vector<char> buffer(1 << 20);
    long long total = 0;
    for (int i = 1; i < argc; ++i) {
        const int fd = open(argv[i], O_RDONLY);
        if (fd < 0) {
            std::perror(argv[i]);
            return 1;
        }
        for (ssize_t got; (got = read(fd, buffer.data(), buffer.size())) > 0;) {
            total += got;
        }
        close(fd);
    }
    std::printf("%lld bytes read\n", total);
    return 0;
}
