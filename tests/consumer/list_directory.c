/* A program of a library user's: prints the directory of the image given. */
#include <trakvol/trakvol.h>

#include <stdio.h>
#include <stdlib.h>

int main(int argc, char** argv) {
    if (argc != 2) {
        fprintf(stderr, "usage: %s IMAGE.d64\n", argv[0]);
        return 2;
    }
    FILE* file = fopen(argv[1], "rb");
    static uint8_t image[206114];
    const size_t size = file ? fread(image, 1, sizeof image, file) : 0;
    d64_disk* disk = NULL;
    if (!d64_init_disk(&disk, image, size)) {
        fprintf(stderr, "not a D64 image: %s\n", argv[1]);
        return 1;
    }
    d64_dump_directory_contents(disk, false, false, stdout);
    free(disk);
    fclose(file);
    return 0;
}
