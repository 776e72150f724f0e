// Extraction: the files of one image into its folder below the extraction root. Each
// level is opened relative to its parent without following a symbolic link, and each
// file is created exclusively, so that nothing planted below the root can send a
// write elsewhere or make it overwrite anything.
#include "collection.h"
#include "extraction.h"
#include "output_private.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <map>
#include <sys/stat.h>
#include <unistd.h>

namespace outputs {

namespace {

constexpr std::int32_t k_name_length = D64_NAME_LENGTH;
constexpr std::uint8_t k_shifted_space = D64_SHIFTED_SPACE;
// Type codes 1-4: seq, prg, usr, rel; each file is named with its type.
constexpr std::uint8_t k_first_file_type = 1;
constexpr std::uint8_t k_last_file_type = 4;

std::string escaped(std::uint8_t byte) {
    static const char digits[] = "0123456789ABCDEF";
    return {'%', digits[byte >> 4], digits[byte & 0x0F]};
}

std::string leading_percent_if_special(std::string name) {
    return name.empty() || name == "." || name == ".." ? "%" + name : name;
}

// A descriptor that closes itself.
struct folder_fd {
    int fd = -1;
    explicit folder_fd(int value) : fd(value) {}
    ~folder_fd() {
        if (fd >= 0) {
            close(fd);
        }
    }
    folder_fd(const folder_fd&) = delete;
    folder_fd& operator=(const folder_fd&) = delete;
};

// The folder of `parts` below the root, created level by level; -1 with errno set
// when a level cannot be made or is not a folder (a symbolic link included).
int open_folder(int root, const std::vector<std::string>& parts) {
    int current = dup(root);
    for (const std::string& part : parts) {
        if (current < 0) {
            return -1;
        }
        if (mkdirat(current, part.c_str(), 0777) != 0 && errno != EEXIST) {
            const int error = errno;
            close(current);
            errno = error;
            return -1;
        }
        const int next =
            openat(current, part.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
        const int error = errno;
        close(current);
        errno = error;
        current = next;
    }
    return current;
}

// True when `name` in `folder` is a regular file that holds `bytes` exactly.
bool holds_bytes(int folder, const std::string& name, const std::string& bytes) {
    const int fd = openat(folder, name.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        return false;
    }
    struct stat status;
    std::string held(bytes.size() + 1, '\0');
    std::size_t got = 0;
    if (fstat(fd, &status) == 0 && S_ISREG(status.st_mode) &&
        static_cast<std::uint64_t>(status.st_size) == bytes.size()) {
        for (ssize_t part = 1; part > 0 && got < held.size(); got += static_cast<std::size_t>(part)) {
            part = read(fd, held.data() + got, held.size() - got);
            part = part < 0 ? 0 : part;
        }
    }
    close(fd);
    return got == bytes.size() && held.compare(0, got, bytes) == 0;
}

// Writes `bytes` to a new file `name` in `folder`; removes what it began on failure.
// A file already there that holds the same bytes counts as written (a run repeated
// into the same folder); any other is never touched.
bool write_new_file(int folder, const std::string& name, const std::string& bytes, int* error) {
    const int fd =
        openat(folder, name.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0666);
    if (fd < 0) {
        *error = errno;
        return *error == EEXIST && holds_bytes(folder, name, bytes);
    }
    std::size_t written = 0;
    while (written < bytes.size()) {
        const ssize_t got = write(fd, bytes.data() + written, bytes.size() - written);
        if (got < 0 && errno == EINTR) {
            continue;
        }
        if (got <= 0) {
            *error = got < 0 ? errno : EIO;
            close(fd);
            unlinkat(folder, name.c_str(), 0);
            return false;
        }
        written += static_cast<std::size_t>(got);
    }
    if (close(fd) != 0) {
        *error = errno;
        unlinkat(folder, name.c_str(), 0);
        return false;
    }
    return true;
}

// The payload of the entry's chain, and whether the chain ended properly.
bool chain_payload(const d64_disk* disk, const d64_dir_entry* entry, std::string* bytes) {
    memory_stream stream;
    const bool whole = d64_export_file(disk, entry, stream.stream);
    *bytes = stream.take();
    return whole;
}

std::vector<std::string> image_folder(const image_view& view, walk_style style) {
    std::string path = view.path;
    if (style == walk_style::single) {
        path = path.substr(path.rfind('/') == std::string::npos ? 0 : path.rfind('/') + 1);
    }
    std::vector<std::string> parts;
    for (std::size_t start = 0;;) {
        const std::size_t slash = path.find('/', start);
        parts.push_back(safe_path_part(path.substr(start, slash - start)));
        if (slash == std::string::npos) {
            return parts;
        }
        start = slash + 1;
    }
}

std::string joined(const std::vector<std::string>& parts) {
    std::string path;
    for (const std::string& part : parts) {
        path += (path.empty() ? "" : "/") + part;
    }
    return path;
}

} // namespace

bool open_extraction_root(const char* path, d64_charset set, extraction_root* root,
                          std::string* error) {
    if (mkdir(path, 0777) != 0 && errno != EEXIST) {
        *error = std::string("Cannot create the extraction folder: \"") + path +
                 "\": " + std::strerror(errno);
        return false;
    }
    root->fd = open(path, O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (root->fd < 0) {
        *error = std::string("Cannot open the extraction folder: \"") + path +
                 "\": " + std::strerror(errno);
        return false;
    }
    root->set = set;
    return true;
}

std::string safe_path_part(const std::string& part) {
    std::string safe;
    for (std::size_t i = 0; i < part.size();) {
        // A control or bidirectional character, each of its bytes escaped, as the
        // terminal must never get it raw from a folder name or a line.
        const std::size_t control = collection::control_length(part, i);
        for (std::size_t k = 0; k < control; ++k) {
            safe += escaped(static_cast<std::uint8_t>(part[i + k]));
        }
        if (control == 0) {
            const char c = part[i];
            safe += c == '\\' || c == '%' ? escaped(static_cast<std::uint8_t>(c))
                                           : std::string(1, c);
        }
        i += control > 0 ? control : 1;
    }
    return safe.empty() ? "%" : leading_percent_if_special(safe);
}

std::string safe_file_name(const char* raw, d64_charset set) {
    std::string safe;
    for (std::int32_t i = 0; i < k_name_length && raw[i] != '\0' &&
                             static_cast<std::uint8_t>(raw[i]) != k_shifted_space;
         ++i) {
        const auto byte = static_cast<std::uint8_t>(raw[i]);
        if ((byte & 0x7F) < 0x20 || byte == '/' || byte == '%') {
            safe += escaped(byte);
            continue;
        }
        char text[D64_UTF8_BYTES_PER_CODE + 1];
        d64_petscii_to_utf8(raw + i, 1, D64_TEXT_PADDED, set, D64_CONTROLS_AS_CODES, text, nullptr);
        safe += text;
    }
    return leading_percent_if_special(safe);
}

namespace {

// What one image's extraction needs while its directory is walked.
struct image_extraction {
    const d64_disk* disk;
    const extraction_root& root;
    FILE* err;
    std::map<std::int32_t, std::string>* paths;
    std::vector<std::string> folder_parts;
    std::string folder_path;
    std::map<std::string, int> uses; // of each safe name, to number the later ones
    folder_fd folder{-1};
    int failures = 0;
};

// Writes one file into the image's folder, made on the first: its path as shown, or
// "" when it could not be written (reported, and counted as a failure).
std::string write_extracted(image_extraction& job, const std::string& name,
                            const std::string& payload) {
    const std::string shown = job.folder_path + "/" + name;
    if (job.folder.fd < 0) {
        job.folder.fd = open_folder(job.root.fd, job.folder_parts);
        if (job.folder.fd < 0) {
            std::fprintf(job.err, "Cannot extract: \"%s\": %s\n", shown.c_str(),
                         std::strerror(errno));
            ++job.failures;
            return {};
        }
    }
    int error = 0;
    if (!write_new_file(job.folder.fd, name, payload, &error)) {
        std::fprintf(job.err, "Cannot extract: \"%s\": %s\n", shown.c_str(), std::strerror(error));
        ++job.failures;
        return {};
    }
    std::fprintf(job.err, "extracted: %s\n", shown.c_str());
    return shown;
}

// Writes the file of one directory slot, if it is one that is extracted.
bool extract_slot(const d64_dir_entry* entry, std::int32_t slot, void* context) {
    auto& job = *static_cast<image_extraction*>(context);
    std::uint8_t type = 0;
    const std::uint8_t code = entry->type & D64_TYPE_MASK;
    if (!d64_get_file_type_on_disk(job.disk, entry, &type) || code < k_first_file_type ||
        code > k_last_file_type) {
        return true; // scratched and empty slots, DEL files, partitions, invalid types
    }
    std::int32_t blocks = 0;
    d64_get_file_size_sectors(entry, &blocks);
    if (entry->first_track == 0 && blocks == 0) {
        return true; // an empty file, such as a separator line of directory art
    }
    char raw[k_name_length + 1];
    d64_get_file_name(entry, raw);
    const std::string base = safe_file_name(raw, job.root.set);
    const int count = ++job.uses[base];
    std::string payload;
    const bool whole = chain_payload(job.disk, entry, &payload);
    const char* type_name = "";
    d64_file_type_name(type, &type_name);
    const std::string name = base + (count > 1 ? "~" + std::to_string(count) : "") + "." +
                             type_name + (whole ? "" : ".damaged");
    const std::string shown = write_extracted(job, name, payload);
    if (job.paths != nullptr && !shown.empty()) {
        (*job.paths)[slot] = shown;
    }
    return true;
}

} // namespace

int extract_files(const image_view& view, walk_style style, const d64_disk* disk,
                  const extraction_root& root, FILE* err,
                  std::map<std::int32_t, std::string>* paths) {
    image_extraction job{disk, root, err, paths, image_folder(view, style), {}, {}};
    job.folder_path = joined(job.folder_parts);
    d64_foreach_dir_entry(disk, extract_slot, &job);
    return job.failures;
}

int extract_lost_files(const image_view& view, walk_style style, const d64_disk* disk,
                       const extraction_root& root, const catalogue::check_facts& check,
                       FILE* err) {
    image_extraction job{disk, root, err, nullptr, image_folder(view, style), {}, {}};
    job.folder_path = joined(job.folder_parts);
    for (const catalogue::check_problem& problem : check.problems) {
        if (problem.code != D64_CHECK_LOST_FILE) {
            continue;
        }
        // Read as a closed PRG file that starts at the chain's first sector.
        d64_dir_entry entry{};
        entry.type = D64_CLOSED_FLAG | 2;
        entry.first_track = static_cast<std::uint8_t>(problem.first.first);
        entry.first_sector = static_cast<std::uint8_t>(problem.first.second);
        std::string payload;
        chain_payload(disk, &entry, &payload);
        const std::string name = "lost-" + std::to_string(problem.first.first) + "-" +
                                 std::to_string(problem.first.second) + ".prg";
        write_extracted(job, name, payload);
    }
    return job.failures;
}

namespace {

struct container_extraction {
    image_extraction job;
    d64_charset set;
};

bool extract_container_file(const d64_container_file* file, void* context) {
    auto& into = *static_cast<container_extraction*>(context);
    const std::uint8_t code = file->type & D64_TYPE_MASK;
    if (file->data == nullptr || code < k_first_file_type || code > k_last_file_type) {
        return true; // no data (a tape's without a good copy), or a DEL file
    }
    const std::string base =
        safe_file_name(reinterpret_cast<const char*>(file->name), into.job.root.set);
    const int count = ++into.job.uses[base];
    const char* type_name = "";
    d64_file_type_name(file->type, &type_name);
    const std::string name =
        base + (count > 1 ? "~" + std::to_string(count) : "") + "." + type_name;
    if (file->shares_data_of != 0) {
        // Its data is an earlier entry's: written once, under that entry's name.
        std::fprintf(into.job.err, "not extracted: %s/%s: the data of entry %d\n",
                     into.job.folder_path.c_str(), name.c_str(), file->shares_data_of);
        return true;
    }
    std::string payload;
    if (file->has_load_address) {
        payload += static_cast<char>(file->load_address & 0xFF);
        payload += static_cast<char>(file->load_address >> 8);
    }
    payload.append(reinterpret_cast<const char*>(file->data), file->data_size);
    const std::string shown = write_extracted(into.job, name, payload);
    if (into.job.paths != nullptr && !shown.empty()) {
        (*into.job.paths)[file->slot] = shown;
    }
    return true;
}


// A cartridge's chip, raw, named by its bank and load address ("bank1-a000.bin"); a
// RAM chip's packet holds nothing to write.
bool extract_chip(const d64_cartridge_chip* chip, void* context) {
    auto& into = *static_cast<container_extraction*>(context);
    if (chip->data == nullptr) {
        return true;
    }
    char base[32];
    std::snprintf(base, sizeof base, "bank%d-%04x", chip->bank, chip->load_address);
    const int count = ++into.job.uses[base];
    write_extracted(into.job,
                    base + (count > 1 ? "~" + std::to_string(count) : std::string()) + ".bin",
                    std::string(reinterpret_cast<const char*>(chip->data), chip->size));
    return true;
}

} // namespace

int extract_container_files(const image_view& view, walk_style style,
                            const d64_container* container, const extraction_root& root, FILE* err,
                            std::map<std::int32_t, std::string>* paths) {
    container_extraction into{{nullptr, root, err, paths, image_folder(view, style), {}, {}},
                              root.set};
    into.job.folder_path = joined(into.job.folder_parts);
    d64_foreach_container_file(container, extract_container_file, &into);
    d64_foreach_cartridge_chip(container, extract_chip, &into);
    return into.job.failures;
}

} // namespace outputs
