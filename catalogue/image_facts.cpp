// The facts of one image, gathered through the d64_ functions only, in the order
// and with the rules of the reports that print them.
#include "catalogue.h"

#include <algorithm>
#include <cstring>
#include <fnmatch.h>
#include <type_traits>

namespace catalogue {

namespace {

constexpr std::int32_t k_name_length = D64_NAME_LENGTH;
constexpr std::int32_t k_id_length = D64_ID_LENGTH;
constexpr std::int32_t k_payload_per_sector = 254;
constexpr std::uint8_t k_no_error = D64_NO_ERROR;
constexpr std::uint8_t k_type_code_mask = D64_TYPE_MASK;
constexpr std::uint8_t k_type_partition = 5;

template <std::size_t n> std::array<std::uint8_t, n> raw_bytes(const char* field) {
    std::array<std::uint8_t, n> raw{};
    std::memcpy(raw.data(), field, n);
    return raw;
}

std::string text_of(const char* field, std::int32_t length, d64_text_form form) {
    char text[k_name_length + 1] = {};
    d64_petscii_to_text(field, length, form, text);
    return text;
}

// The same part in Unicode; a control code stays the code (U+0000-001F, U+0080-009F),
// which JSON escapes, so that a zero byte inside cannot end the text early.
std::string unicode_of(const char* field, std::int32_t length, d64_text_form form,
                       d64_charset set) {
    char text[D64_UTF8_BYTES_PER_CODE * k_name_length + 1] = {};
    std::int32_t columns = 0;
    d64_petscii_to_utf8(field, length, form, set, D64_CONTROLS_AS_CODES, text, &columns);
    return text;
}

struct chain_tally {
    std::int32_t sectors = 0;
    std::int64_t bytes = 0;
};

// A sector that links on carries 254 payload bytes; the last one (link track 0)
// those up to the offset in its byte 1, none when that is 0 or 1.
bool tally_sector(const std::uint8_t* sector, void* context) {
    chain_tally& tally = *static_cast<chain_tally*>(context);
    ++tally.sectors;
    tally.bytes += sector[0] != 0 ? k_payload_per_sector : std::max(0, sector[1] - 1);
    return true;
}

chain_facts walk_chain(const d64_disk* disk, const d64_dir_entry* entry) {
    chain_tally tally;
    chain_facts chain;
    chain.ok = d64_file_sector_foreach(tally_sector, disk, entry, &tally);
    chain.sectors = tally.sectors;
    chain.bytes = tally.bytes;
    md5_digest md5{};
    if (chain.ok && d64_calculate_file_md5(disk, entry, md5.data())) {
        chain.md5 = md5;
    }
    return chain;
}

// The slot as the listing with -s shows it, or nothing for an empty slot.
std::optional<file_facts> slot_facts(const d64_disk* disk, const d64_dir_entry* entry,
                                     std::int32_t slot, d64_charset set) {
    file_facts file;
    file.slot = slot;
    file.valid_type = d64_get_file_type_on_disk(disk, entry, &file.type_byte);
    char name[k_name_length + 1];
    d64_get_file_name(entry, name);
    if (file.type_byte == 0 && text_of(name, k_name_length, D64_TEXT_TRIMMED).empty()) {
        return std::nullopt;
    }
    file.name = text_of(name, k_name_length, D64_TEXT_QUOTED);
    file.name_unicode = unicode_of(name, k_name_length, D64_TEXT_QUOTED, set);
    file.raw_name = raw_bytes<16>(name);
    d64_get_file_size_sectors(entry, &file.blocks);
    file.first_track = entry->first_track;
    file.first_sector = entry->first_sector;
    file.partition = file.valid_type && (file.type_byte & k_type_code_mask) == k_type_partition;
    if (file.valid_type && file.type_byte != 0 && !file.partition) {
        file.chain = walk_chain(disk, entry);
    }
    return file;
}

// Calls `visit` for each directory slot, as the listing walks them, with its number.
template <class Visit> void for_each_slot(const d64_disk* disk, Visit&& visit) {
    const auto call = [](const d64_dir_entry* entry, std::int32_t slot, void* context) {
        (*static_cast<std::remove_reference_t<Visit>*>(context))(entry, slot);
        return true;
    };
    d64_foreach_dir_entry(disk, call, &visit);
}

void read_header(const d64_disk* disk, d64_charset set, image_facts& facts) {
    char name[k_name_length + 1];
    char id[k_id_length + 1];
    // When the header does not link to 18/1, both hold the '?' the listing shows.
    facts.header_ok = d64_get_disk_name(disk, name);
    d64_get_disk_id(disk, id);
    facts.disk_name = text_of(name, k_name_length, D64_TEXT_TRIMMED);
    facts.disk_name_unicode = unicode_of(name, k_name_length, D64_TEXT_TRIMMED, set);
    facts.disk_id_unicode = unicode_of(id, k_id_length, D64_TEXT_TRIMMED, set);
    facts.raw_disk_name = raw_bytes<16>(name);
    facts.disk_id = text_of(id, k_id_length, D64_TEXT_TRIMMED);
    facts.raw_disk_id = raw_bytes<5>(id);
    d64_count_free_sectors(disk, &facts.free_blocks);
    std::int32_t free_in_layout = 0;
    d64_detect_bam_layout(disk, &facts.bam_layout, &free_in_layout);
    if (facts.bam_layout != D64_BAM_LAYOUT_NONE && facts.bam_layout != D64_BAM_LAYOUT_UNKNOWN) {
        facts.free_blocks_in_layout = free_in_layout;
    }
}

void read_bam(const d64_disk* disk, image_facts& facts) {
    for (std::int32_t track = 1; track <= disk->track_count; ++track) {
        track_facts line;
        line.track = track;
        d64_get_track_free_count(disk, track, &line.free);
        for (std::int32_t sector = 0; d64_are_track_and_sector_valid(disk, track, sector);
             ++sector) {
            const bool allocated = d64_is_sector_allocated(disk, track, sector);
            line.used += allocated ? 1 : 0;
            line.map += allocated ? '*' : '.';
            std::uint8_t code = k_no_error;
            d64_get_sector_error_info(disk, track, sector, &code);
            if (code != k_no_error) {
                facts.errors.push_back({track, sector, code});
            }
        }
        facts.bam.push_back(std::move(line));
    }
}

} // namespace

image_facts inspect(const d64_disk* disk, const std::uint8_t* bytes, std::size_t size,
                    d64_charset set) {
    return inspect(disk, digests_of(bytes, size), set);
}

image_facts inspect(const d64_disk* disk, const image_digests& image, d64_charset set) {
    image_facts facts;
    facts.format = static_cast<d64_format>(disk->format);
    facts.size = image.size;
    facts.tracks = disk->track_count;
    facts.error_info = disk->error_info_size != 0;
    facts.md5 = image.md5;
    facts.sha1 = image.sha1;
    facts.crc32 = image.crc32;
    read_header(disk, set, facts);
    for_each_slot(disk, [&](const d64_dir_entry* entry, std::int32_t slot) {
        if (std::optional<file_facts> file = slot_facts(disk, entry, slot, set)) {
            facts.files.push_back(std::move(*file));
        }
    });
    read_bam(disk, facts);
    d64_decode_facts decode{};
    if (d64_get_decode_facts(disk, &decode)) {
        facts.decode = decode;
        d64_format_shape shape{};
        facts.track_captures = d64_get_format_shape(disk->format, &shape) && shape.track_captures;
    }
    return facts;
}

std::vector<std::string> matching_names(const d64_disk* disk, const char* pattern) {
    std::vector<std::string> matches;
    for_each_slot(disk, [&](const d64_dir_entry* entry, std::int32_t) {
        char name[k_name_length + 1];
        d64_get_file_name(entry, name);
        std::string text = text_of(name, k_name_length, D64_TEXT_PADDED);
        if (fnmatch(pattern, text.c_str(), FNM_CASEFOLD) == 0) {
            matches.push_back(std::move(text));
        }
    });
    return matches;
}

} // namespace catalogue
