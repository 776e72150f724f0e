// Every pointer argument that the public header says is checked: a null makes the
// call return false and write nothing through the other arguments.
#include "test_support.h"

#include <gtest/gtest.h>

#include <cstring>
#include <functional>

namespace {

// Everything a call could write to, filled with a marker that no call produces.
struct outputs {
    char name[17];
    char id[6];
    int32_t number;
    int32_t track;
    int32_t sector;
    uint8_t code;
    uint8_t digest[16];
    d64_dir_cursor cursor;
    const d64_dir_entry* entry;
    d64_disk* disk;
    d64_format format;
    d64_format_info info;
    d64_bam_layout layout;
    d64_format_facts facts;
    d64_container* container;
    d64_gcr_decode_info decode;
    const char* text;
    bool found;
    int visits;
};

void mark(outputs& out) {
    std::memset(&out, 0x5A, sizeof out);
    out.found = true; // the search clears it on entry
    out.visits = 0;
}

bool unchanged(const outputs& out) {
    outputs fresh;
    mark(fresh);
    return std::memcmp(&out, &fresh, sizeof out) == 0;
}

bool count_visit(const uint8_t*, void* context) {
    ++static_cast<outputs*>(context)->visits;
    return true;
}

bool stop_at_once(const d64_dir_entry*, int32_t, void*) {
    return false;
}

// Listing options as a caller of another release, or a careless one, might pass them.
d64_listing_options options_with(uint32_t version, uint32_t flags = 0, int32_t charset = 0) {
    d64_listing_options options = D64_LISTING_OPTIONS_INIT;
    options.version = version;
    options.flags = flags;
    options.charset = charset;
    return options;
}

} // namespace

TEST(null_arguments, every_checked_pointer_gives_false_and_writes_nothing) {
    test_image image = image_formatted(35, false);
    image_add_file(image, 0, 0x82, "FILE", {1, 2, 3});
    const disk_ptr disk_owner = open_disk(image);
    const d64_disk* disk = disk_owner.get();
    const auto* entry = reinterpret_cast<const d64_dir_entry*>(image_sector(image, {18, 1}));
    const uint8_t* bytes = image.bytes.data();
    const uint64_t size = image.bytes.size();

    const d64_listing_options current = options_with(D64_LISTING_OPTIONS_VERSION);
    const d64_listing_options version_0 = options_with(0);
    const d64_listing_options later = options_with(D64_LISTING_OPTIONS_VERSION + 1);
    const d64_listing_options bad_set = options_with(1, D64_LIST_UNICODE, 2);
    using call = std::function<bool(outputs&, FILE*)>;
    const std::pair<const char*, call> calls[] = {
        {"init_disk(image)",
         [&](outputs& o, FILE*) { return d64_init_disk(&o.disk, nullptr, size); }},
        {"init_disk(size 0)", [&](outputs& o, FILE*) { return d64_init_disk(&o.disk, bytes, 0); }},
        {"open_disk(image)",
         [&](outputs& o, FILE*) { return d64_open_disk(&o.disk, nullptr, size, &o.format); }},
        {"open_disk(size 0)",
         [&](outputs& o, FILE*) { return d64_open_disk(&o.disk, bytes, 0, &o.format); }},
        {"format_info(disk)",
         [&](outputs& o, FILE*) { return d64_get_format_info(nullptr, &o.info); }},
        {"format_info(info)", [&](outputs&, FILE*) { return d64_get_format_info(disk, nullptr); }},
        {"bam_layout(disk)",
         [&](outputs& o, FILE*) { return d64_detect_bam_layout(nullptr, &o.layout, &o.number); }},
        {"bam_layout(layout)",
         [&](outputs& o, FILE*) { return d64_detect_bam_layout(disk, nullptr, &o.number); }},
        {"bam_layout(free)",
         [&](outputs& o, FILE*) { return d64_detect_bam_layout(disk, &o.layout, nullptr); }},
        {"file_type_on_disk(disk)",
         [&](outputs& o, FILE*) { return d64_get_file_type_on_disk(nullptr, entry, &o.code); }},
        {"file_type_on_disk(entry)",
         [&](outputs& o, FILE*) { return d64_get_file_type_on_disk(disk, nullptr, &o.code); }},
        {"file_type_on_disk(type)",
         [&](outputs&, FILE*) { return d64_get_file_type_on_disk(disk, entry, nullptr); }},
        {"dump_directory(disk)",
         [&](outputs&, FILE* s) { return d64_dump_directory_contents(nullptr, true, true, s); }},
        {"dump_directory(stream)",
         [&](outputs&, FILE*) { return d64_dump_directory_contents(disk, true, true, nullptr); }},
        {"dump_bam(disk)",
         [&](outputs&, FILE* s) { return d64_dump_bam_contents(nullptr, true, s); }},
        {"dump_bam(stream)",
         [&](outputs&, FILE*) { return d64_dump_bam_contents(disk, true, nullptr); }},
        {"find_pattern(disk)",
         [&](outputs& o, FILE*) { return d64_find_pattern(nullptr, "*", &o.found); }},
        {"find_pattern(found)",
         [&](outputs&, FILE*) { return d64_find_pattern(disk, "*", nullptr); }},
        {"find_pattern_to(disk)",
         [&](outputs& o, FILE* s) { return d64_find_pattern_to(nullptr, "*", &o.found, s); }},
        {"find_pattern_to(found)",
         [&](outputs&, FILE* s) { return d64_find_pattern_to(disk, "*", nullptr, s); }},
        {"find_pattern_to(stream)",
         [&](outputs& o, FILE*) { return d64_find_pattern_to(disk, "*", &o.found, nullptr); }},
        {"track_and_sector_valid(disk)",
         [&](outputs&, FILE*) { return d64_are_track_and_sector_valid(nullptr, 18, 0); }},
        {"get_disk_name(disk)",
         [&](outputs& o, FILE*) { return d64_get_disk_name(nullptr, o.name); }},
        {"get_disk_id(disk)", [&](outputs& o, FILE*) { return d64_get_disk_id(nullptr, o.id); }},
        {"is_sector_allocated(disk)",
         [&](outputs&, FILE*) { return d64_is_sector_allocated(nullptr, 18, 0); }},
        {"get_sector_error_info(disk)",
         [&](outputs& o, FILE*) { return d64_get_sector_error_info(nullptr, 1, 0, &o.code); }},
        {"get_sector_error_info(code)",
         [&](outputs&, FILE*) { return d64_get_sector_error_info(disk, 1, 0, nullptr); }},
        {"track_free_count(disk)",
         [&](outputs& o, FILE*) { return d64_get_track_free_count(nullptr, 1, &o.code); }},
        {"track_free_count(count)",
         [&](outputs&, FILE*) { return d64_get_track_free_count(disk, 1, nullptr); }},
        {"track_free_count(track 36)",
         [&](outputs& o, FILE*) { return d64_get_track_free_count(disk, 36, &o.code); }},
        {"petscii_to_text(field)",
         [&](outputs& o, FILE*) {
             return d64_petscii_to_text(nullptr, 16, D64_TEXT_PADDED, o.name);
         }},
        {"petscii_to_text(text)",
         [&](outputs& o, FILE*) { return d64_petscii_to_text(o.id, 5, D64_TEXT_PADDED, nullptr); }},
        {"count_free_sectors(disk)",
         [&](outputs& o, FILE*) { return d64_count_free_sectors(nullptr, &o.number); }},
        {"count_free_sectors(total)",
         [&](outputs&, FILE*) { return d64_count_free_sectors(disk, nullptr); }},
        {"first_dir_entry(disk)",
         [&](outputs& o, FILE*) { return d64_first_dir_entry(nullptr, &o.cursor, &o.entry); }},
        {"first_dir_entry(cursor)",
         [&](outputs& o, FILE*) { return d64_first_dir_entry(disk, nullptr, &o.entry); }},
        {"first_dir_entry(entry)",
         [&](outputs& o, FILE*) { return d64_first_dir_entry(disk, &o.cursor, nullptr); }},
        {"next_dir_entry(disk)",
         [&](outputs& o, FILE*) { return d64_next_dir_entry(nullptr, &o.cursor, &o.entry); }},
        {"next_dir_entry(cursor)",
         [&](outputs& o, FILE*) { return d64_next_dir_entry(disk, nullptr, &o.entry); }},
        {"next_dir_entry(entry)",
         [&](outputs& o, FILE*) { return d64_next_dir_entry(disk, &o.cursor, nullptr); }},
        {"get_file_name(entry)",
         [&](outputs& o, FILE*) { return d64_get_file_name(nullptr, o.name); }},
        {"get_file_type(entry)",
         [&](outputs& o, FILE*) { return d64_get_file_type(nullptr, &o.code); }},
        {"get_file_type(type)", [&](outputs&, FILE*) { return d64_get_file_type(entry, nullptr); }},
        {"get_file_size_sectors(entry)",
         [&](outputs& o, FILE*) { return d64_get_file_size_sectors(nullptr, &o.number); }},
        {"get_file_size_sectors(size)",
         [&](outputs&, FILE*) { return d64_get_file_size_sectors(entry, nullptr); }},
        {"first_track_and_sector(disk)",
         [&](outputs& o, FILE*) {
             return d64_get_file_first_track_and_sector(nullptr, entry, &o.track, &o.sector);
         }},
        {"first_track_and_sector(entry)",
         [&](outputs& o, FILE*) {
             return d64_get_file_first_track_and_sector(disk, nullptr, &o.track, &o.sector);
         }},
        {"first_track_and_sector(track)",
         [&](outputs& o, FILE*) {
             return d64_get_file_first_track_and_sector(disk, entry, nullptr, &o.sector);
         }},
        {"first_track_and_sector(sector)",
         [&](outputs& o,
             FILE*) { return d64_get_file_first_track_and_sector(disk, entry, &o.track, nullptr); }},
        {"sector_foreach(disk)",
         [&](outputs& o,
             FILE*) { return d64_file_sector_foreach(count_visit, nullptr, entry, &o); }},
        {"sector_foreach(entry)",
         [&](outputs& o,
             FILE*) { return d64_file_sector_foreach(count_visit, disk, nullptr, &o); }},
        {"sector_foreach(context)",
         [&](outputs&,
             FILE*) { return d64_file_sector_foreach(count_visit, disk, entry, nullptr); }},
        {"size_sectors(disk)",
         [&](outputs& o,
             FILE*) { return d64_calculate_file_size_sectors(nullptr, entry, &o.number); }},
        {"size_sectors(entry)",
         [&](outputs& o,
             FILE*) { return d64_calculate_file_size_sectors(disk, nullptr, &o.number); }},
        {"size_sectors(count)",
         [&](outputs&, FILE*) { return d64_calculate_file_size_sectors(disk, entry, nullptr); }},
        {"size_bytes(disk)",
         [&](outputs& o,
             FILE*) { return d64_calculate_file_size_bytes(nullptr, entry, &o.number); }},
        {"size_bytes(entry)",
         [&](outputs& o,
             FILE*) { return d64_calculate_file_size_bytes(disk, nullptr, &o.number); }},
        {"size_bytes(total)",
         [&](outputs&, FILE*) { return d64_calculate_file_size_bytes(disk, entry, nullptr); }},
        {"md5(disk)",
         [&](outputs& o, FILE*) { return d64_calculate_file_md5(nullptr, entry, o.digest); }},
        {"md5(entry)",
         [&](outputs& o, FILE*) { return d64_calculate_file_md5(disk, nullptr, o.digest); }},
        {"export(disk)", [&](outputs&, FILE* s) { return d64_export_file(nullptr, entry, s); }},
        {"export(entry)", [&](outputs&, FILE* s) { return d64_export_file(disk, nullptr, s); }},
        {"export(stream)", [&](outputs&, FILE*) { return d64_export_file(disk, entry, nullptr); }},
        {"dump_directory_ex(disk)",
         [&](outputs&, FILE* s) { return d64_dump_directory_ex(nullptr, &current, s); }},
        {"dump_directory_ex(options)",
         [&](outputs&, FILE* s) { return d64_dump_directory_ex(disk, nullptr, s); }},
        {"dump_directory_ex(stream)",
         [&](outputs&, FILE*) { return d64_dump_directory_ex(disk, &current, nullptr); }},
        {"dump_directory_ex(version 0)",
         [&](outputs&, FILE* s) { return d64_dump_directory_ex(disk, &version_0, s); }},
        {"dump_directory_ex(a later version)",
         [&](outputs&, FILE* s) { return d64_dump_directory_ex(disk, &later, s); }},
        {"dump_directory_ex(no such character set)",
         [&](outputs&, FILE* s) { return d64_dump_directory_ex(disk, &bad_set, s); }},
        {"find_pattern_ex(found)",
         [&](outputs&, FILE* s) { return d64_find_pattern_ex(disk, "*", &current, nullptr, s); }},
        {"find_pattern_ex(options)",
         [&](outputs& o, FILE* s) { return d64_find_pattern_ex(disk, "*", nullptr, &o.found, s); }},
        {"dump_bam_ex(options)", [&](outputs&, FILE* s) { return d64_dump_bam_ex(disk, nullptr, s); }},
        {"dump_bam_ex(a later version)",
         [&](outputs&, FILE* s) { return d64_dump_bam_ex(disk, &later, s); }},
        {"foreach_dir_entry(disk)",
         [&](outputs& o, FILE*) { return d64_foreach_dir_entry(nullptr, stop_at_once, &o); }},
        {"foreach_dir_entry(visitor)",
         [&](outputs& o, FILE*) { return d64_foreach_dir_entry(disk, nullptr, &o); }},
        {"foreach_dir_entry(stopped)",
         [&](outputs& o, FILE*) { return d64_foreach_dir_entry(disk, stop_at_once, &o); }},
        {"file_type_name(name)", [&](outputs&, FILE*) { return d64_file_type_name(2, nullptr); }},
        {"file_type_name(code 6)", [&](outputs& o, FILE*) { return d64_file_type_name(6, &o.text); }},
        {"check_disk(disk)",
         [&](outputs&, FILE*) { return d64_check_disk(nullptr, nullptr, nullptr, nullptr); }},
        {"check_code_name(name)", [&](outputs&, FILE*) { return d64_check_code_name(0, nullptr); }},
        {"check_code_name(no such code)",
         [&](outputs& o, FILE*) { return d64_check_code_name(D64_CHECK_CODE_COUNT, &o.text); }},
        {"check_severity_name(no such severity)",
         [&](outputs& o, FILE*) { return d64_check_severity_name(3, &o.text); }},
        {"format_facts(facts)",
         [&](outputs&, FILE*) { return d64_get_format_facts(D64_FORMAT_D64, nullptr); }},
        {"format_facts(no such format)",
         [&](outputs& o, FILE*) { return d64_get_format_facts(D64_FORMAT_COUNT, &o.facts); }},
        {"open_container(out)",
         [&](outputs&, FILE*) { return d64_open_container(nullptr, bytes, 4, "x.prg", nullptr); }},
        {"open_container(file)",
         [&](outputs& o, FILE*) {
             return d64_open_container(&o.container, nullptr, 4, "x.prg", nullptr);
         }},
        {"open_container(nothing of its kind)",
         [&](outputs& o, FILE*) { return d64_open_container(&o.container, bytes, 4, "x", nullptr); }},
        {"container_problem_name(name)",
         [&](outputs& o, FILE*) { return d64_container_problem_name(0, nullptr, &o.number); }},
        {"container_problem_name(severity)",
         [&](outputs& o, FILE*) { return d64_container_problem_name(0, &o.text, nullptr); }},
        {"container_problem_name(no such problem)",
         [&](outputs& o, FILE*) {
             return d64_container_problem_name(D64_PROBLEM_COUNT, &o.text, &o.number);
         }},
        {"container_problem_name(-1)",
         [&](outputs& o, FILE*) { return d64_container_problem_name(-1, &o.text, &o.number); }},
        {"gcr_decode_info(a disk not decoded)",
         [&](outputs& o, FILE*) { return d64_get_gcr_decode_info(disk, &o.decode); }},
    };
    for (const auto& row : calls) {
        SCOPED_TRACE(row.first);
        const call& function = row.second;
        outputs out;
        mark(out);
        bool result = true;
        const std::string printed =
            capture_stream([&](FILE* stream) { result = function(out, stream); });
        EXPECT_FALSE(result);
        EXPECT_TRUE(unchanged(out)) << "something was written through an argument";
        EXPECT_EQ(printed, "");
    }
}
