// The walk over a folder tree: names sorted byte by byte, subfolders descended where
// their names fall, symbolic links to folders left alone so that no walk loops.
#include "collection.h"
#include "walk_private.h"

#include "trakvol.h"

#include <algorithm>
#include <dirent.h>
#include <fcntl.h>
#include <numeric>
#include <sys/stat.h>
#include <unistd.h>

namespace collection {

namespace {

bool ends_with_folded(std::string_view name, std::string_view suffix) {
    if (name.size() < suffix.size()) {
        return false;
    }
    const std::string_view tail = name.substr(name.size() - suffix.size());
    return std::equal(tail.begin(), tail.end(), suffix.begin(), [](char a, char b) {
        return (a >= 'A' && a <= 'Z' ? static_cast<char>(a + 32) : a) == b;
    });
}

// Every format the library reads, each picked by its name as the extension.
const std::vector<d64_format_facts>& image_formats() {
    static const std::vector<d64_format_facts> formats = [] {
        std::vector<d64_format_facts> all;
        for (std::int32_t code = 0; code < D64_FORMAT_COUNT; ++code) {
            d64_format_facts facts{};
            if (d64_get_format_facts(code, &facts)) {
                all.push_back(facts);
            }
        }
        return all;
    }();
    return formats;
}

const d64_format_facts* format_of_name(std::string_view name) {
    for (const d64_format_facts& facts : image_formats()) {
        if (ends_with_folded(name, std::string(".") + facts.name)) {
            return &facts;
        }
    }
    return nullptr;
}

// A tape, a cartridge or a loose file of this name: its format, or -1.
std::int32_t container_of_name(std::string_view name) {
    std::int32_t format = -1;
    return d64_container_format_of_name(std::string(name).c_str(), &format) ? format : -1;
}

bool is_image_name(std::string_view name) {
    return format_of_name(name) != nullptr || container_of_name(name) >= 0;
}

std::size_t largest_sector_image() {
    std::uint64_t largest = 0;
    for (const d64_format_facts& facts : image_formats()) {
        largest = std::max(largest, facts.largest_image);
    }
    return static_cast<std::size_t>(largest);
}

// The name without a ".gz", ".bz2" or ".xz" at its end.
std::string_view without_stream_suffix(std::string_view name) {
    for (const std::string_view stream : {".gz", ".bz2", ".xz"}) {
        if (ends_with_folded(name, stream)) {
            return name.substr(0, name.size() - stream.size());
        }
    }
    return name;
}

// The entries of a folder, sorted, with their d_type (DT_UNKNOWN where the file
// system does not tell). False when the folder cannot be read.
bool read_folder(const std::string& fs_path, tree_walk::folder& into) {
    DIR* folder = opendir(fs_path.c_str());
    if (folder == nullptr) {
        return false;
    }
    std::vector<std::pair<std::string, unsigned char>> entries;
    while (const dirent* item = readdir(folder)) {
        if (item->d_name[0] != '.') { // hidden names, "." and ".." among them
            entries.emplace_back(item->d_name, item->d_type);
        }
    }
    closedir(folder);
    std::sort(entries.begin(), entries.end());
    for (auto& [name, type] : entries) {
        into.names.push_back(std::move(name));
        into.types.push_back(type);
    }
    return true;
}

// Reads a file of the tree, at most one byte more than the largest image.
void read_image_file(const std::string& fs_path, item& image) {
    const int fd = open(fs_path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    struct stat status;
    // Only regular files are read: a FIFO or a device named like an image could block
    // the walk or never end.
    if (fd < 0 || fstat(fd, &status) != 0 || !S_ISREG(status.st_mode)) {
        if (fd >= 0) {
            close(fd);
        }
        image.error = "Cannot open file for reading: \"" + image.path + "\"";
        return;
    }
    const std::size_t limit = image_size_limit(image.path);
    const bool readable = read_bounded(
        [fd](std::uint8_t* buffer, std::size_t room) { return ::read(fd, buffer, room); },
        static_cast<std::uint64_t>(status.st_size), limit, image.bytes);
    close(fd);
    if (!readable) {
        image.error = "Cannot read from file: \"" + image.path + "\"";
    } else if (image.bytes.size() > limit) {
        // A file cut at its limit would be listed and hashed as what it is not.
        image.bytes = {};
        image.error = too_large_by_name(
            image.path,
            std::max<std::uint64_t>(static_cast<std::uint64_t>(status.st_size), limit + 1));
    }
}

unit failure_unit(std::string path, std::string message) {
    return [path = std::move(path), message = std::move(message)](const visitor& visit) {
        item failed;
        failed.path = path;
        failed.is_image = false;
        failed.error = message;
        visit(failed);
    };
}

unit file_unit(std::string fs_path, std::string path) {
    return [fs_path = std::move(fs_path), path = std::move(path)](const visitor& visit) {
        item image;
        image.path = path;
        read_image_file(fs_path, image);
        visit(image);
    };
}

unit archive_unit(std::string fs_path, std::string path, std::string label) {
    return [fs_path = std::move(fs_path), path = std::move(path),
            label = std::move(label)](const visitor& visit) {
        walk_archive_file(fs_path, archive_place{path, label, {}, 1}, visit);
    };
}

} // namespace

name_kind classify_name(std::string_view name) {
    const std::size_t slash = name.rfind('/');
    if (slash != std::string_view::npos) {
        name = name.substr(slash + 1);
    }
    if (name.empty() || name[0] == '.') {
        return name_kind::other;
    }
    if (is_image_name(name)) {
        return name_kind::image;
    }
    if (without_stream_suffix(name) != name && is_image_name(without_stream_suffix(name))) {
        return name_kind::compressed_image;
    }
    for (const std::string_view archive :
         {".zip", ".7z", ".rar", ".tar", ".tgz", ".gz", ".bz2", ".xz"}) {
        if (ends_with_folded(name, archive)) {
            return name_kind::archive;
        }
    }
    return name_kind::other;
}

std::size_t image_size_limit(std::string_view name) {
    static const std::size_t largest = largest_sector_image();
    d64_container_facts container{};
    if (d64_get_container_facts(container_of_name(without_stream_suffix(name)), &container)) {
        return static_cast<std::size_t>(container.largest_file);
    }
    const d64_format_facts* format = format_of_name(without_stream_suffix(name));
    d64_format_shape shape{};
    return format != nullptr && format->largest_image == 0 &&
                   d64_get_format_shape(format->format, &shape)
               ? static_cast<std::size_t>(shape.largest_file)
               : largest;
}

std::string too_large(std::string_view format, const std::string& bytes) {
    std::string what(format);
    if (what.find(' ') == std::string::npos) { // a format's name, not words
        std::transform(what.begin(), what.end(), what.begin(),
                       [](char c) { return c >= 'a' && c <= 'z' ? static_cast<char>(c - 32) : c; });
    }
    return "Input file too large for a " + what + ": " + bytes;
}

std::string too_large_by_name(std::string_view path, std::optional<std::uint64_t> size) {
    const std::string_view name = without_stream_suffix(path);
    d64_container_facts container{};
    const d64_format_facts* format = format_of_name(name);
    std::string what = "disk image";
    if (d64_get_container_facts(container_of_name(name), &container)) {
        what = container.name;
    } else if (format != nullptr && format->largest_image == 0) {
        what = format->name; // a raw track dump, with its own limit
    }
    const std::string bytes =
        size ? std::to_string(*size) + " bytes"
             : "more than " + std::to_string(image_size_limit(path)) + " bytes";
    return too_large(what, bytes) + ": \"" + std::string(path) + "\"";
}

bool may_be_bare_stream(std::string_view name) {
    for (const std::string_view stream : {".gz", ".bz2", ".xz"}) {
        if (ends_with_folded(name, stream)) {
            return !ends_with_folded(name.substr(0, name.size() - stream.size()), ".tar");
        }
    }
    return false;
}

std::size_t control_length(std::string_view text, std::size_t at) {
    const auto byte = static_cast<unsigned char>(text[at]);
    const auto next = at + 1 < text.size() ? static_cast<unsigned char>(text[at + 1]) : 0;
    const auto third = at + 2 < text.size() ? static_cast<unsigned char>(text[at + 2]) : 0;
    // C0 controls and DEL; C1 controls (U+0080-009F); the bidirectional controls a
    // name could turn a line around with: U+061C, U+200E-200F, U+202A-202E,
    // U+2066-2069.
    const bool c1 = byte == 0xC2 && next >= 0x80 && next <= 0x9F;
    const bool arabic_mark = byte == 0xD8 && next == 0x9C;
    const bool bidi =
        byte == 0xE2 &&
        ((next == 0x80 && (third == 0x8E || third == 0x8F || (third >= 0xAA && third <= 0xAE))) ||
         (next == 0x81 && third >= 0xA6 && third <= 0xA9));
    return byte < 0x20 || byte == 0x7F ? 1 : c1 || arabic_mark ? 2 : bidi ? 3 : 0;
}

std::string printable_path(std::string_view path) {
    std::string shown;
    shown.reserve(path.size());
    for (std::size_t i = 0; i < path.size();) {
        const std::size_t control = control_length(path, i);
        shown += control > 0 ? std::string_view("?") : path.substr(i, 1);
        i += control > 0 ? control : 1;
    }
    return shown;
}

tree_walk start_walk(const std::string& root) {
    tree_walk walk;
    walk.root = root;
    return walk;
}

unit next_unit(tree_walk& walk) {
    if (!walk.root_done) {
        walk.root_done = true;
        struct stat status;
        if (stat(walk.root.c_str(), &status) == 0 && !S_ISDIR(status.st_mode)) {
            // An archive as the root: its members are named relative to it.
            return archive_unit(walk.root, "", walk.root);
        }
        tree_walk::folder root;
        if (!read_folder(walk.root, root)) {
            return failure_unit(walk.root, "Cannot open folder: \"" + walk.root + "\"");
        }
        walk.pending.push_back(std::move(root));
    }
    while (!walk.pending.empty()) {
        tree_walk::folder& current = walk.pending.back();
        if (current.next == current.names.size()) {
            walk.pending.pop_back();
            continue;
        }
        const std::string& name = current.names[current.next];
        unsigned char type = current.types[current.next];
        ++current.next;
        std::string path = joined(current.path, name);
        std::string fs_path = walk.root + "/" + path;

        struct stat status;
        if (type == DT_UNKNOWN) {
            type = lstat(fs_path.c_str(), &status) != 0 ? DT_REG
                   : S_ISDIR(status.st_mode)            ? DT_DIR
                   : S_ISLNK(status.st_mode)            ? DT_LNK
                                                        : DT_REG;
        }
        if (type == DT_DIR) {
            tree_walk::folder sub;
            sub.path = path;
            if (!read_folder(fs_path, sub)) {
                return failure_unit(path, "Cannot open folder: \"" + path + "\"");
            }
            walk.pending.push_back(std::move(sub)); // `current` is not used after this
            continue;
        }
        if (type == DT_LNK && stat(fs_path.c_str(), &status) == 0 && S_ISDIR(status.st_mode)) {
            continue; // a link to a folder could lead back up the tree
        }
        switch (classify_name(name)) {
        case name_kind::image:
            return file_unit(std::move(fs_path), std::move(path));
        case name_kind::archive:
        case name_kind::compressed_image: {
            std::string label = path;
            return archive_unit(std::move(fs_path), std::move(path), std::move(label));
        }
        case name_kind::other:
            break;
        }
    }
    return {};
}

} // namespace collection
