// The flat folder walk: the images of one folder as the run without --recursive has
// always read them, by their bare names.
#include "collection.h"

#include <cstring>
#include <unistd.h>

namespace collection {

namespace {

// Only "d64" or "D64" after the last dot counts; hidden names never do.
bool is_flat_image_name(const char* name) {
    if (name[0] == '.') {
        return false;
    }
    const char* dot = std::strrchr(name, '.');
    return dot != nullptr && (std::strcmp(dot + 1, "d64") == 0 || std::strcmp(dot + 1, "D64") == 0);
}

} // namespace

bool open_flat_folder(const char* path, flat_folder& folder, std::string* message) {
    folder.handle.reset(opendir(path));
    if (!folder.handle) {
        *message = "Cannot open input folder";
        return false;
    }
    // The names are read relative to the folder, which the run does not leave.
    if (chdir(path) != 0) {
        folder.handle.reset();
        *message = "Cannot chdir to input folder";
        return false;
    }
    return true;
}

std::string next_flat_image(flat_folder& folder) {
    while (const dirent* item = readdir(folder.handle.get())) {
        if (is_flat_image_name(item->d_name)) {
            return item->d_name;
        }
    }
    return {};
}

} // namespace collection
