// The walk through an archive's members with libarchive: images are read up to one
// byte past the largest image, archives inside are opened from memory when small and
// streamed from their parent otherwise, never extracted to disk.
#include "walk_private.h"

#include "ondemand.h"

#include <clocale>
#include <fcntl.h>
#include <memory>
#include <sys/stat.h>
#include <unistd.h>

namespace collection {

namespace {

using reader_ptr = std::unique_ptr<archive, decltype(&archive_read_free)>;

// libarchive's functions, loaded on demand: the two ways into a walk load them
// before anything else here runs.
const ondemand::archive_functions& la() {
    return *ondemand::archive_library(nullptr);
}

// A nested archive up to this size is read into memory, where every format can seek
// in it (7z and zip need to); a larger one is streamed from its parent.
constexpr std::size_t k_nested_in_memory = std::size_t{4} << 20;
constexpr std::size_t k_chunk = std::size_t{64} << 10;

// libarchive converts member names into the current locale's character set. The
// program runs in the "C" locale, where a 7z member named in UTF-16 would lose its
// name, so names are read with UTF-8 as this thread's character set meanwhile.
struct utf8_names {
    locale_t previous = nullptr;
    utf8_names() {
        static const locale_t utf8 = newlocale(LC_CTYPE_MASK, "C.UTF-8", nullptr);
        if (utf8 != nullptr) {
            previous = uselocale(utf8);
        }
    }
    ~utf8_names() {
        if (previous != nullptr) {
            uselocale(previous);
        }
    }
    utf8_names(const utf8_names&) = delete;
    utf8_names& operator=(const utf8_names&) = delete;
};

std::string base_name(const std::string& path) {
    const std::size_t slash = path.rfind('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

std::string quoted(const char* what, const std::string& path) {
    return std::string(what) + ": \"" + path + "\"";
}

// The archive as the walk shows it; the root archive by the path it was given as.
const std::string& shown(const archive_place& place) {
    return place.path.empty() ? place.label : place.path;
}

void report_failure(const std::string& path, const archive_place& place, std::string message,
                    const visitor& visit) {
    item failed;
    failed.path = path;
    failed.members = place.members;
    failed.is_image = false;
    failed.error = std::move(message);
    visit(failed);
}

// A reader for the archive file named `name`. "x.d64.gz" is read as one compressed
// stream only: an image starts with a zero sector, which tar would take for the end
// of an empty archive.
reader_ptr new_reader(const std::string& name) {
    reader_ptr reader(la().archive_read_new(), la().archive_read_free);
    if (reader) {
        la().archive_read_support_filter_all(reader.get());
        if (classify_name(name) != name_kind::compressed_image) {
            la().archive_read_support_format_all(reader.get());
        }
        if (may_be_bare_stream(name)) {
            la().archive_read_support_format_raw(reader.get());
        }
    }
    return reader;
}

// The member's data, at most one byte past the largest image. False when the data
// cannot be read (damage, a missing passphrase): `image.error` says so.
bool read_member(archive* reader, archive_entry* entry, item& image) {
    // A bare compressed stream tells no size; 256 KiB is a D64 and some.
    constexpr std::uint64_t k_unknown_size = 256 * 1024;
    const std::uint64_t claimed =
        entry != nullptr && la().archive_entry_size_is_set(entry) != 0
            ? static_cast<std::uint64_t>(std::max<la_int64_t>(0, la().archive_entry_size(entry)))
            : k_unknown_size;
    const std::size_t limit = image_size_limit(image.path);
    if (!read_bounded(
            [reader](std::uint8_t* buffer, std::size_t room) {
                return la().archive_read_data(reader, buffer, room);
            },
            claimed, limit, image.bytes)) {
        image.error = quoted("Damaged archive member", image.path);
        return false;
    }
    if (image.bytes.size() > limit) {
        // The rest is not read: a member's size, when its archive tells it, says how much.
        image.bytes = {};
        image.error = too_large_by_name(image.path, entry != nullptr && claimed > limit
                                                ? std::optional<std::uint64_t>(claimed)
                                                : std::nullopt);
    }
    return true;
}

// A nested archive too large for memory: what was read of it first, then the rest
// straight from the parent archive.
struct stream_source {
    archive* parent;
    std::vector<std::uint8_t> prefix;
    std::size_t prefix_used = 0;
    std::vector<std::uint8_t> chunk = std::vector<std::uint8_t>(k_chunk);
    bool failed = false;
};

la_ssize_t read_from_parent(archive*, void* data, const void** buffer) {
    stream_source& source = *static_cast<stream_source*>(data);
    if (source.prefix_used < source.prefix.size()) {
        *buffer = source.prefix.data() + source.prefix_used;
        const std::size_t size = source.prefix.size() - source.prefix_used;
        source.prefix_used = source.prefix.size();
        return static_cast<la_ssize_t>(size);
    }
    const la_ssize_t got =
        la().archive_read_data(source.parent, source.chunk.data(), source.chunk.size());
    if (got < 0) {
        source.failed = true;
        return -1;
    }
    *buffer = source.chunk.data();
    return got;
}

void walk_open_archive(archive* reader, const archive_place& place, const visitor& visit);

// An archive inside `parent`, at the member just read. False when the parent itself
// turned out damaged, which ends its walk.
bool walk_nested(archive* parent, const archive_place& inner, const visitor& visit) {
    stream_source source{parent, {}};
    bool complete = false;
    while (source.prefix.size() < k_nested_in_memory) {
        const la_ssize_t got =
            la().archive_read_data(parent, source.chunk.data(), source.chunk.size());
        if (got < 0) {
            report_failure(inner.path, inner, quoted("Damaged archive member", inner.path), visit);
            return false;
        }
        if (got == 0) {
            complete = true;
            break;
        }
        source.prefix.insert(source.prefix.end(), source.chunk.begin(), source.chunk.begin() + got);
    }
    reader_ptr reader = new_reader(base_name(inner.label));
    const int opened =
        !reader ? ARCHIVE_FATAL
        : complete
            ? la().archive_read_open_memory(reader.get(), source.prefix.data(),
                                            source.prefix.size())
            : la().archive_read_open(reader.get(), &source, nullptr, read_from_parent, nullptr);
    if (opened != ARCHIVE_OK) {
        report_failure(inner.path, inner, quoted("Cannot open archive", inner.label), visit);
        return !source.failed;
    }
    walk_open_archive(reader.get(), inner, visit);
    return !source.failed;
}

// A bare gzip, bzip2 or xz stream: one image, named by the file that holds it.
void visit_bare_stream(archive* reader, const archive_place& place, const visitor& visit) {
    const std::string own_name = base_name(place.label);
    if (la().archive_filter_code(reader, 0) == ARCHIVE_FILTER_NONE) {
        // Not compressed at all: no archive libarchive knows.
        report_failure(shown(place), place, quoted("Cannot open archive", place.label), visit);
        return;
    }
    if (classify_name(own_name) != name_kind::compressed_image) {
        return; // "notes.txt.gz" and the like hold no image
    }
    item image;
    image.path = place.path.empty() ? own_name : place.path;
    image.members = place.members;
    read_member(reader, nullptr, image);
    visit(image);
}

// Member names as tar writes them may start with "./".
std::string member_name(const char* raw) {
    std::string name = raw != nullptr ? raw : "";
    while (name.starts_with("./")) {
        name.erase(0, 2);
    }
    return name;
}

void walk_open_archive(archive* reader, const archive_place& place, const visitor& visit) {
    for (;;) {
        archive_entry* entry = nullptr;
        int status = ARCHIVE_OK;
        std::string name;
        {
            const utf8_names names;
            status = la().archive_read_next_header(reader, &entry);
            if (status >= ARCHIVE_WARN) {
                name = member_name(la().archive_entry_pathname(entry));
            }
        }
        if (status == ARCHIVE_EOF) {
            return;
        }
        if (status < ARCHIVE_WARN) {
            report_failure(shown(place), place, quoted("Damaged archive", place.label), visit);
            return;
        }
        if (la().archive_format(reader) == ARCHIVE_FORMAT_RAW) {
            visit_bare_stream(reader, place, visit);
            return;
        }
        const name_kind kind = classify_name(name);
        if (la().archive_entry_filetype(entry) != AE_IFREG || kind == name_kind::other) {
            continue;
        }
        const std::string path = joined(place.path, name);
        std::vector<std::string> members = place.members;
        members.push_back(name);
        const bool encrypted = la().archive_entry_is_encrypted(entry) != 0;
        if (kind == name_kind::image) {
            item image;
            image.path = path;
            image.members = std::move(members);
            if (encrypted) {
                image.error = quoted("Encrypted archive member", path);
                visit(image);
                continue;
            }
            const bool readable = read_member(reader, entry, image);
            visit(image);
            if (!readable) {
                return; // what follows damaged data cannot be trusted
            }
            continue;
        }
        const archive_place inner{path, path, std::move(members), place.depth + 1};
        if (encrypted) {
            report_failure(path, inner, quoted("Encrypted archive member", path), visit);
        } else if (inner.depth > k_max_archive_depth) {
            report_failure(path, inner, quoted("Archive nested deeper than 4 levels", path), visit);
        } else if (!walk_nested(reader, inner, visit)) {
            return;
        }
    }
}

} // namespace

void walk_archive_file(const std::string& fs_path, const archive_place& place,
                       const visitor& visit) {
    std::string missing;
    if (ondemand::archive_library(&missing) == nullptr) {
        report_failure(shown(place), place,
                       quoted("Cannot open archive", place.label) + ": " + missing, visit);
        return;
    }
    // Only a regular file is opened: a FIFO named like an archive would block.
    const int fd = open(fs_path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    struct stat status;
    reader_ptr reader = new_reader(base_name(place.label));
    if (fd < 0 || fstat(fd, &status) != 0 || !S_ISREG(status.st_mode) || !reader ||
        la().archive_read_open_fd(reader.get(), fd, k_chunk) != ARCHIVE_OK) {
        report_failure(shown(place), place, quoted("Cannot open archive", place.label), visit);
    } else {
        walk_open_archive(reader.get(), place, visit);
    }
    reader.reset();
    if (fd >= 0) {
        close(fd);
    }
}

void walk_archive_bytes(const std::string& path, const std::uint8_t* data, std::size_t size,
                        const visitor& visit) {
    const archive_place place{"", path, {}, 1};
    std::string missing;
    if (ondemand::archive_library(&missing) == nullptr) {
        report_failure(path, place, quoted("Cannot open archive", path) + ": " + missing, visit);
        return;
    }
    reader_ptr reader = new_reader(base_name(path));
    if (!reader || la().archive_read_open_memory(reader.get(), data, size) != ARCHIVE_OK) {
        report_failure(path, place, quoted("Cannot open archive", path), visit);
        return;
    }
    walk_open_archive(reader.get(), place, visit);
}

} // namespace collection
