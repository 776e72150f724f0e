// One image: read, recognised, and handed to the output the run asked for.
#include "collection.h"
#include "fileio.h"
#include "output_private.h"

#include <cstdlib>
#include <new>
#include <optional>

namespace outputs {

namespace {

// A flat folder is read for D64 images only, as it always has been; one image and
// a tree are read in every format.
bool open_image(const image_view& view, walk_style style, d64_disk** disk) {
    return style == walk_style::folder ? d64_init_disk(disk, view.bytes, view.size)
                                       : d64_open_disk(disk, view.bytes, view.size, nullptr);
}

// A failure: its message on `err`, and in a JSON run its record on `out`.
int fail(const image_view& view, walk_style style, const std::string& message, const settings& how,
         FILE* out, FILE* err) {
    if (how.json) {
        json_failure(view, message, out);
    }
    std::fprintf(err, "%s\n", shown(message, style).c_str());
    return 1;
}

std::string upper(std::string text) {
    for (char& c : text) {
        c = c >= 'a' && c <= 'z' ? static_cast<char>(c - ('a' - 'A')) : c;
    }
    return text;
}

std::string too_large(const char* format, std::size_t size) {
    return collection::too_large(format, std::to_string(size) + " bytes");
}

// Why a container is not reported, or "": longer than its format is read, or more
// chips than a cartridge has.
std::string container_refused(const image_view& view, const d64_container* container) {
    d64_container_facts facts{};
    d64_container_info info{};
    if (d64_get_container_facts(container->format, &facts) && view.size > facts.largest_file) {
        return too_large(facts.name, view.size);
    }
    if (d64_get_container_info(container, &info) &&
        (info.problems & 1U << D64_PROBLEM_TOO_MANY_CHIPS) != 0) {
        return "Input file refused: a cartridge of more than " + std::to_string(D64_MOST_CHIPS) +
               " chips";
    }
    return {};
}

// The same for a raw track dump longer than its format's limit, or "".
std::string disk_refused(const image_view& view, const d64_disk* disk) {
    d64_format_shape shape{};
    d64_format_facts facts{};
    return d64_get_format_shape(disk->format, &shape) && view.size > shape.largest_file &&
                   d64_get_format_facts(disk->format, &facts)
               ? too_large(facts.name, view.size)
               : std::string();
}

} // namespace

std::string shown(const std::string& text, walk_style style) {
    return style == walk_style::tree ? collection::printable_path(text) : text;
}

std::string with_path(std::string message, const image_view& view, walk_style style) {
    if (style == walk_style::tree) {
        message += ": \"" + view.path + "\"";
    }
    return message;
}

std::string not_recognized(const image_view& view, walk_style style) {
    // A name that says a tape, a cartridge or a loose file says what was tried.
    d64_container_facts facts{};
    std::int32_t format = 0;
    const bool container =
        style != walk_style::folder &&
        d64_container_format_of_name(verify::without_compression_suffix(view.path).c_str(),
                                     &format) &&
        d64_get_container_facts(format, &facts);
    return with_path(std::string("Input file not recognized as a supported ") +
                         (container ? upper(facts.name) + " file" : "D64 image"),
                     view, style);
}

int render(const image_view& view, walk_style style, const settings& how, FILE* out, FILE* err) {
    if (!view.is_image) {
        return fail(view, style, view.error, how, out, err);
    }
    // The text reports name each image of a folder or tree before its report; the
    // check's and the DAT's verdict lines name it themselves.
    if (!how.json && !how.make_dat && how.listing && style != walk_style::single) {
        std::fprintf(out, "\nParsing: \"%s\"\n", shown(view.path, style).c_str());
    }
    d64_disk* disk = nullptr;
    if (!view.error.empty()) {
        return fail(view, style, view.error, how, out, err);
    }
    if (!open_image(view, style, &disk)) {
        // After the disk formats, a tape, a cartridge or a loose file (not in a flat
        // folder, which is read for D64 images only), named as it is without ".gz".
        d64_container* container = nullptr;
        const std::string name = verify::without_compression_suffix(view.path);
        if (style != walk_style::folder &&
            d64_open_container(&container, view.bytes, view.size, name.c_str(), nullptr)) {
            const std::string refused = container_refused(view, container);
            const int failures = !refused.empty()
                                     ? fail(view, style, with_path(refused, view, style), how, out, err)
                                     : render_container(view, style, container, how, out, err);
            d64_close_container(container);
            return failures;
        }
        return fail(view, style, not_recognized(view, style), how, out, err);
    }
    if (const std::string refused = disk_refused(view, disk); !refused.empty()) {
        d64_close_disk(disk);
        return fail(view, style, with_path(refused, view, style), how, out, err);
    }
    int failures = 0;
    // The image's digests, once, for its record, its DAT verdict or its DAT game.
    std::optional<catalogue::image_digests> digests;
    if (how.json || how.dats != nullptr || how.make_dat) {
        digests = catalogue::digests_of(view.bytes, view.size);
    }
    if (how.make_dat) {
        dat_game(view, style, *digests, out);
        d64_close_disk(disk);
        return failures;
    }
    std::map<std::int32_t, std::string> extracted;
    std::optional<catalogue::check_facts> check;
    if (how.check) {
        check = catalogue::check(disk);
        failures += check->summary.errors > 0 ? 1 : 0;
    }
    if (how.extract != nullptr) {
        failures += extract_files(view, style, disk, *how.extract, err, &extracted);
        if (check) {
            failures += extract_lost_files(view, style, disk, *how.extract, *check, err);
        }
    }
    std::optional<verify::verdict> known;
    if (how.dats != nullptr) {
        known = dat_verdict(view, *digests, disk, how);
    }
    if (how.json) {
        const std::optional<catalogue::dat_facts> dat =
            known ? std::optional(dat_facts_of(*known, how)) : std::nullopt;
        json_record(view, *digests, disk, how, out, how.extract != nullptr ? &extracted : nullptr,
                    check ? &*check : nullptr, dat ? &*dat : nullptr);
    } else {
        if (how.listing) {
            text_report(disk, how, out);
        }
        if (check) {
            check_text(shown(view.path, style), disk, *check, how, out);
        }
        if (known) {
            dat_text(shown(view.path, style), *known, how, out);
        }
    }
    d64_close_disk(disk);
    return failures;
}

int render_file(const std::string& path, walk_style style, const settings& how, FILE* out,
                FILE* err) {
    unsigned char* buffer = nullptr;
    size_t length = 0;
    memory_stream messages;
    const bool read = fileio_get_file_contents_to(path.c_str(), &buffer, &length, messages.stream);
    std::string error = messages.take();
    if (!read && !error.empty() && error.back() == '\n') {
        error.pop_back();
    }
    static const std::vector<std::string> no_members;
    const int failed = render(
        image_view{path, no_members, buffer, read ? length : 0, read ? std::string() : error, true},
        style, how, out, err);
    std::free(buffer);
    return failed;
}

memory_stream::memory_stream() : stream(open_memstream(&data, &length)) {
    if (stream == nullptr) {
        throw std::bad_alloc();
    }
}

memory_stream::~memory_stream() {
    if (stream != nullptr) {
        std::fclose(stream);
    }
    std::free(data);
}

std::string memory_stream::take() {
    std::fclose(stream);
    stream = nullptr;
    std::string text(data, length);
    std::free(data);
    data = nullptr;
    return text;
}

} // namespace outputs
