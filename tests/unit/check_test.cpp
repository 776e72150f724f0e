// The file-system check: clean disks of every format stay clean; each problem class,
// planted alone on a clean disk, is found with its owners and sectors and nothing else.
#include "gcr_writer.h"
#include "test_support.h"

#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <pthread.h>
#include <tuple>

namespace {

std::string ts(track_sector at) {
    return std::to_string(at.track) + "/" + std::to_string(at.sector);
}

// A problem as "code:owners@sectors#track", problems joined by "; ".
std::string described(const d64_check_problem& problem) {
    const char* code = "";
    d64_check_code_name(problem.code, &code);
    std::string text = std::string(code) + ":";
    for (int32_t i = 0; i < problem.owner_count; ++i) {
        text += (i > 0 ? "," : "") + std::to_string(problem.owners[i]);
    }
    for (int32_t i = 0; i < problem.sector_count; ++i) {
        text += (i > 0 ? " " : "@") + ts({problem.sectors[i].track, problem.sectors[i].sector});
    }
    return text + (problem.track != 0 ? "#" + std::to_string(problem.track) : "");
}

struct check_run {
    std::vector<d64_check_problem> problems; // sectors not kept
    std::string text;
    d64_check_summary summary{};
};

check_run check_of(const d64_disk* disk) {
    check_run run;
    const auto collect = [](const d64_check_problem* problem, void* context) {
        auto& into = *static_cast<check_run*>(context);
        into.text += (into.text.empty() ? "" : "; ") + described(*problem);
        into.problems.push_back(*problem);
        into.problems.back().sectors = nullptr;
        return true;
    };
    EXPECT_TRUE(d64_check_disk(disk, collect, &run, &run.summary));
    return run;
}

check_run check_of(const test_image& image) {
    const disk_ptr disk = open_disk(image);
    return check_of(disk.get());
}

// Two PRG files of two sectors, a rel file with its side sector: the disk every
// planted fault starts from.
struct base_disk {
    test_image image = image_formatted(35, true, "CHECKED", "CK");
    std::vector<track_sector> a, b, rel_data, rel_sides;
    base_disk() {
        a = image_add_file(image, 0, 0x82, "A", std::vector<uint8_t>(300, 0xAA), {1, 0});
        b = image_add_file(image, 1, 0x82, "B", std::vector<uint8_t>(300, 0xBB), {2, 0});
        rel_data = std::vector<track_sector>();
        rel_sides = image_add_rel_file(image, 2, "R", std::vector<uint8_t>(600, 0x11), 20, {3, 0});
        const uint8_t* first = image_entry(image, 2);
        rel_data.push_back({first[3], first[4]});
    }
};

// GEOS: the border block, a VLIR file's info block, index and records (one empty).
struct geos_vlir_disk {
    test_image image = image_formatted(35, false, "GEOS DISK", "GE");
    std::vector<track_sector> info, index, first, third;
    geos_vlir_disk() {
        const char signature[] = "GEOS format V1.0";
        std::copy(signature, signature + 16, image_sector(image, {18, 0}) + 0xAD);
        const auto border = image_write_chain(image, std::vector<uint8_t>(254, 0), {19, 0});
        image_sector(image, {18, 0})[0xAB] = static_cast<uint8_t>(border[0].track);
        image_sector(image, {18, 0})[0xAC] = static_cast<uint8_t>(border[0].sector);
        info = image_write_chain(image, std::vector<uint8_t>(254, 6), {5, 0});
        index = image_write_chain(image, std::vector<uint8_t>(254, 0), {6, 0});
        first = image_write_chain(image, std::vector<uint8_t>(700, 7), {7, 0});
        third = image_write_chain(image, std::vector<uint8_t>(300, 8), {8, 0});
        uint8_t* records = image_sector(image, index[0]);
        std::fill(records + 2, records + 256, 0);
        records[2] = static_cast<uint8_t>(first[0].track);
        records[3] = static_cast<uint8_t>(first[0].sector);
        records[5] = 0xFF; // record 1 empty
        records[6] = static_cast<uint8_t>(third[0].track);
        records[7] = static_cast<uint8_t>(third[0].sector);
        image_set_entry(image, 0,
                        test_entry{0x83, petscii_name("GEOS APP"), index[0], 1 + 3 + 2 + 1});
        image_entry(image, 0)[21] = static_cast<uint8_t>(info[0].track);
        image_entry(image, 0)[22] = static_cast<uint8_t>(info[0].sector);
        image_entry(image, 0)[23] = 1; // VLIR
        image_entry(image, 0)[24] = 6; // an application
    }
};

void free_in_bam(test_image& image, track_sector at) {
    uint8_t* header = image_sector(image, {18, 0});
    header[4 * at.track + 1 + at.sector / 8] |= static_cast<uint8_t>(1U << (at.sector % 8));
    ++header[4 * at.track];
}

} // namespace

// Builder-made disks of every format, with files where each format keeps them, the
// files a G64 decode gives, GEOS, rel files and directory art: no problem at all.
TEST(check, clean_disks_of_every_format) {
    std::vector<std::pair<const char*, test_image>> disks;
    disks.emplace_back("base", base_disk().image);
    test_image forty = image_formatted(40, false);
    image_add_file(forty, 0, 0x82, "ON 36", std::vector<uint8_t>(600, 1), {36, 0});
    disks.emplace_back("40 tracks without a layout", forty);
    test_image d71 = image_formatted_as(disk_format::d71, true);
    image_add_file(d71, 0, 0x82, "SIDE 2", std::vector<uint8_t>(3000, 2), {60, 0});
    disks.emplace_back("d71", d71);
    test_image d81 = image_formatted_as(disk_format::d81, false);
    image_add_file(d81, 0, 0x82, "FILE", std::vector<uint8_t>(3000, 3), {41, 0});
    image_set_entry(d81, 1, test_entry{0x85, petscii_name("PART"), {50, 0}, 80});
    for (int sector = 0; sector < 80; ++sector) {
        image_allocate(d81, {50 + sector / 40, sector % 40});
    }
    disks.emplace_back("d81 with a partition", d81);
    test_image d80 = image_formatted_as(disk_format::d80, false);
    image_add_file(d80, 0, 0x81, "ZONES", std::vector<uint8_t>(9000, 4), {52, 0});
    disks.emplace_back("d80", d80);
    test_image d82 = image_formatted_as(disk_format::d82, false);
    image_add_file(d82, 0, 0x82, "SIDE 2", std::vector<uint8_t>(900, 5), {120, 0});
    disks.emplace_back("d82", d82);
    // Directory art: del entries with made-up links and counts, an empty separator.
    test_image art = image_formatted(35, false, "ART", "AR");
    image_set_entry(art, 0, test_entry{0x80, petscii_name("----------------"), {99, 99}, 500});
    image_set_entry(art, 1, test_entry{0xC0, petscii_name("****"), {1, 0}, 3});
    image_set_entry(art, 2, test_entry{0x82, petscii_name("----------------"), {0, 0}, 0});
    disks.emplace_back("directory art", art);
    disks.emplace_back("geos vlir", geos_vlir_disk().image);
    // A 1581 rel file: its entry names the super side sector, which lists the first
    // side sector of each group.
    test_image d81_rel = image_formatted_as(disk_format::d81, false);
    const auto sides =
        image_add_rel_file(d81_rel, 0, "RECORDS", std::vector<uint8_t>(2000, 9), 50, {41, 0});
    const auto super = image_write_chain(d81_rel, std::vector<uint8_t>(254, 0), {45, 0});
    uint8_t* super_bytes = image_sector(d81_rel, super[0]);
    std::fill(super_bytes, super_bytes + 256, 0);
    super_bytes[0] = static_cast<uint8_t>(sides[0].track);
    super_bytes[1] = static_cast<uint8_t>(sides[0].sector);
    super_bytes[2] = 0xFE;
    super_bytes[3] = static_cast<uint8_t>(sides[0].track);
    super_bytes[4] = static_cast<uint8_t>(sides[0].sector);
    image_entry(d81_rel, 0)[21] = static_cast<uint8_t>(super[0].track);
    image_entry(d81_rel, 0)[22] = static_cast<uint8_t>(super[0].sector);
    ++image_entry(d81_rel, 0)[30];
    disks.emplace_back("d81 rel with a super side sector", d81_rel);

    for (const auto& [what, image] : disks) {
        SCOPED_TRACE(what);
        const check_run run = check_of(image);
        EXPECT_EQ(run.text, "");
        EXPECT_EQ(run.summary.errors + run.summary.warnings + run.summary.infos, 0);
    }
    // The same disk decoded from its G64 track dump.
    const std::string g64 = gcr_write_g64(base_disk().image);
    d64_disk* decoded = nullptr;
    ASSERT_TRUE(
        d64_open_disk(&decoded, reinterpret_cast<const uint8_t*>(g64.data()), g64.size(), nullptr));
    EXPECT_EQ(check_of(decoded).text, "");
    d64_close_disk(decoded);
}

// One fault each on the base disk: exactly the problems it must give. Slots are the
// wide listing's numbers (A is 1, B 2, R 3); -1 is the header, -2 the BAM, -3 the
// directory.
TEST(check, each_planted_fault_gives_its_problem_alone) {
    struct row {
        const char* what;
        std::function<std::string(base_disk&)> plant; // returns the problems expected
    };
    const row rows[] = {
        {"directory leaves its track",
         [](base_disk& d) {
             image_link(d.image, {18, 1}, 19, 0);
             return "dir_link:-3@18/1";
         }},
        {"directory loops",
         [](base_disk& d) {
             image_link(d.image, {18, 1}, 18, 1);
             return "dir_loop:-3@18/1";
         }},
        {"chain leaves the disk",
         [](base_disk& d) {
             image_link(d.image, d.a[1], 36, 0);
             return "chain_link:1@" + ts(d.a[1]);
         }},
        {"chain loops",
         [](base_disk& d) {
             image_link(d.image, d.a[1], d.a[0].track, d.a[0].sector);
             return "chain_loop:1@" + ts(d.a[0]);
         }},
        {"first sector off the disk: the chain is lost",
         [](base_disk& d) {
             image_entry(d.image, 0)[3] = 36;
             return "chain_link:1; allocated_unused:@" + ts(d.a[0]) + " " + ts(d.a[1]) +
                    "; lost_file:@" + ts(d.a[0]) + " " + ts(d.a[1]);
         }},
        {"B runs on into A",
         [](base_disk& d) {
             image_link(d.image, d.b[1], d.a[0].track, d.a[0].sector);
             image_entry(d.image, 1)[30] = 4;
             return "cross_link:1,2@" + ts(d.a[0]) + " " + ts(d.a[1]);
         }},
        {"a used sector free in the BAM",
         [](base_disk& d) {
             free_in_bam(d.image, d.a[1]);
             return "used_but_free:1@" + ts(d.a[1]);
         }},
        {"a wrong free count",
         [](base_disk& d) {
             image_sector(d.image, {18, 0})[4 * 5] = 20;
             return "free_count:-2#5";
         }},
        {"a sector past the track's last marked free",
         [](base_disk& d) {
             image_sector(d.image, {18, 0})[4 * 31 + 3] |= 0x80; // track 31 has 17
             return "free_count:-2#31";
         }},
        {"an error code on a file's sector",
         [](base_disk& d) {
             image_set_error(d.image, d.a[0], 5);
             return "unreadable:1@" + ts(d.a[0]);
         }},
        {"a side sector lists another data sector",
         [](base_disk& d) {
             image_sector(d.image, d.rel_sides[0])[18] = 4;
             return "rel_index:3@" + ts(d.rel_sides[0]);
         }},
        {"a side sector with another record length",
         [](base_disk& d) {
             image_sector(d.image, d.rel_sides[0])[3] = 21;
             return "rel_index:3@" + ts(d.rel_sides[0]);
         }},
        {"an allocated sector nobody uses",
         [](base_disk& d) {
             image_allocate(d.image, {30, 5});
             return "allocated_unused:@30/5";
         }},
        {"a block count the chain does not have",
         [](base_disk& d) {
             image_entry(d.image, 0)[30] = 7;
             return "block_count:1";
         }},
        {"a file never closed",
         [](base_disk& d) {
             image_entry(d.image, 0)[2] = 0x02;
             return "unclosed:1";
         }},
        {"a type code the format lacks",
         [](base_disk& d) {
             image_set_entry(d.image, 3, test_entry{0x87, petscii_name("ODD"), {1, 0}, 1});
             return "bad_type:4";
         }},
        {"a loop file",
         [](base_disk& d) {
             image_set_entry(d.image, 3, test_entry{0x82, petscii_name("ALSO A"), d.a[0], 2});
             return "shared_start:1,4@" + ts(d.a[0]);
         }},
        {"another DOS version",
         [](base_disk& d) {
             image_sector(d.image, {18, 0})[2] = 0x42;
             return "dos_version:-1";
         }},
        {"a scratched file's chain still allocated",
         [](base_disk& d) {
             image_entry(d.image, 1)[2] = 0x00;
             return "allocated_unused:@" + ts(d.b[0]) + " " + ts(d.b[1]) + "; lost_file:@" +
                    ts(d.b[0]) + " " + ts(d.b[1]);
         }},
        {"a looping chain under a count it cannot have: no block_count",
         [](base_disk& d) {
             image_link(d.image, d.a[1], d.a[0].track, d.a[0].sector);
             image_entry(d.image, 0)[30] = 3;
             return "chain_loop:1@" + ts(d.a[0]);
         }},
        {"an unreadable header sector, which holds the BAM too: one problem",
         [](base_disk& d) {
             image_set_error(d.image, {18, 0}, 5);
             return "unreadable:-1@18/0";
         }},
        {"a header sector marked free: one problem",
         [](base_disk& d) {
             free_in_bam(d.image, {18, 0});
             return "used_but_free:-1@18/0";
         }},
        {"a scratched chain that ends in a link of 00 00 is no lost file",
         [](base_disk& d) {
             image_entry(d.image, 1)[2] = 0x00;
             image_link(d.image, d.b[1], 0, 0);
             return "allocated_unused:@" + ts(d.b[0]) + " " + ts(d.b[1]);
         }},
        {"two chains that meet in one sector are no lost files",
         [](base_disk& d) {
             image_entry(d.image, 1)[2] = 0x00;
             image_allocate(d.image, {30, 5});
             image_link(d.image, {30, 5}, d.b[1].track, d.b[1].sector);
             return "allocated_unused:@" + ts(d.b[0]) + " " + ts(d.b[1]) + " 30/5";
         }},
        {"allocated sectors chained 6/10, 7/0, end: one lost file of two sectors",
         [](base_disk& d) {
             image_allocate(d.image, {6, 10});
             image_allocate(d.image, {7, 0});
             image_link(d.image, {6, 10}, 7, 0);
             image_link(d.image, {7, 0}, 0, 9);
             return std::string("allocated_unused:@6/10 7/0; lost_file:@6/10 7/0");
         }},
    };
    for (const row& r : rows) {
        SCOPED_TRACE(r.what);
        base_disk disk;
        const std::string expected = r.plant(disk);
        const check_run run = check_of(disk.image);
        EXPECT_EQ(run.text, expected);
    }
}

// A lost file's first sector, length and payload hash, as a file's would be.
TEST(check, lost_file_says_where_it_starts_and_its_hash) {
    base_disk disk;
    image_entry(disk.image, 1)[2] = 0x00; // B scratched, its sectors left allocated
    const disk_ptr handle = open_disk(disk.image);
    const check_run run = check_of(handle.get());
    ASSERT_EQ(run.problems.size(), 2u);
    const d64_check_problem& lost = run.problems[1];
    EXPECT_EQ(lost.code, D64_CHECK_LOST_FILE);
    EXPECT_EQ(lost.severity, D64_CHECK_INFO);
    EXPECT_EQ(ts({lost.first.track, lost.first.sector}), ts(disk.b[0]));
    EXPECT_EQ(lost.count, 2);
    d64_dir_entry b{};
    b.type = 0x82;
    b.first_track = static_cast<uint8_t>(disk.b[0].track);
    b.first_sector = static_cast<uint8_t>(disk.b[0].sector);
    uint8_t md5[16];
    ASSERT_TRUE(d64_calculate_file_md5(handle.get(), &b, md5));
    EXPECT_EQ(std::memcmp(md5, lost.md5, 16), 0);
    EXPECT_EQ(run.summary.warnings, 1);
    EXPECT_EQ(run.summary.infos, 1);
}

// A hostile directory: 296 entries on one free sector with an error code. The first
// 1000 problems are reported, the rest counted in one too_many; the summary counts all.
TEST(check, problems_stop_at_a_thousand) {
    test_image image = image_formatted_as(disk_format::d81, true, "HOSTILE", "HO");
    for (int slot = 0; slot < 296; ++slot) {
        image_set_entry(image, slot, test_entry{0x02, petscii_name("X"), {1, 0}, 1});
    }
    image_set_error(image, {1, 0}, 5);
    const check_run run = check_of(image);
    ASSERT_EQ(run.problems.size(), 1001u);
    EXPECT_EQ(run.problems.back().code, D64_CHECK_TOO_MANY);
    // Each entry: unclosed, used_but_free, unreadable; 295 shared starts.
    EXPECT_EQ(run.problems.back().count, 3 * 296 + 295 - 1000);
    EXPECT_EQ(run.summary.errors, 2 * 296);
    EXPECT_EQ(run.summary.warnings, 296 + 295);
    EXPECT_EQ(run.summary.infos, 1);
    // The summary is the same when nobody is told of the problems.
    d64_check_summary quiet{};
    const disk_ptr quiet_disk = open_disk(image);
    EXPECT_TRUE(d64_check_disk(quiet_disk.get(), nullptr, nullptr, &quiet));
    EXPECT_EQ(std::tie(quiet.errors, quiet.warnings, quiet.infos),
              std::tie(run.summary.errors, run.summary.warnings, run.summary.infos));

    // A visitor that stops ends the check.
    const disk_ptr disk = open_disk(image);
    int calls = 0;
    EXPECT_FALSE(d64_check_disk(
        disk.get(),
        [](const d64_check_problem*, void* count) { return ++*static_cast<int*>(count) < 3; },
        &calls, nullptr));
    EXPECT_EQ(calls, 3);
}

// Faults on other disks than the base one: a GEOS VLIR file's index and records, track
// 40 of a 1581 beyond the system's sectors, track 53 of a 1571.
TEST(check, faults_of_geos_files_and_of_the_system_tracks) {
    struct row {
        const char* what;
        std::function<test_image()> make;
        std::string expected;
    };
    const row rows[] = {
        {"a VLIR index link of 0/0: the index and its records are lost",
         [] {
             geos_vlir_disk d;
             image_entry(d.image, 0)[3] = 0;
             image_entry(d.image, 0)[4] = 0;
             return d.image;
         },
         "chain_link:1; allocated_unused:@6/0 7/0 7/10 7/20 8/0 8/10; lost_file:@6/0; "
         "lost_file:@7/0 7/10 7/20; lost_file:@8/0 8/10"},
        {"a VLIR record chain that leaves the disk",
         [] {
             geos_vlir_disk d;
             image_link(d.image, d.first[2], 36, 0);
             return d.image;
         },
         "chain_link:1@7/20"},
        {"a 1581's track 40 allocated past the directory",
         [] {
             test_image d81 = image_formatted_as(disk_format::d81, false);
             image_allocate(d81, {40, 5});
             image_allocate(d81, {40, 39});
             return d81;
         },
         "allocated_unused:@40/5 40/39"},
        {"a 1571's track 53, which its formatting allocates whole",
         [] {
             test_image d71 = image_formatted_as(disk_format::d71, false);
             image_allocate(d71, {53, 5});
             return d71;
         },
         ""},
    };
    for (const row& r : rows) {
        SCOPED_TRACE(r.what);
        EXPECT_EQ(check_of(r.make()).text, r.expected);
    }
}

// The working memory is no burden to the caller's stack: a check of the largest disk
// runs on a thread with 64 KiB of stack and finds what it finds on the main thread.
TEST(check, runs_on_a_thread_with_a_small_stack) {
    test_image d82 = image_formatted_as(disk_format::d82, false);
    image_add_file(d82, 0, 0x82, "SIDE 2", std::vector<uint8_t>(90000, 5), {120, 0});
    image_allocate(d82, {150, 3});
    struct job {
        disk_ptr disk;
        d64_check_summary summary{};
        bool done = false;
    } work{open_disk(d82)};
    pthread_attr_t attributes;
    pthread_attr_init(&attributes);
    ASSERT_EQ(pthread_attr_setstacksize(&attributes, 64 * 1024), 0);
    pthread_t thread;
    ASSERT_EQ(pthread_create(
                  &thread, &attributes,
                  [](void* context) -> void* {
                      auto& w = *static_cast<job*>(context);
                      w.done = d64_check_disk(w.disk.get(), nullptr, nullptr, &w.summary);
                      return nullptr;
                  },
                  &work),
              0);
    pthread_join(thread, nullptr);
    pthread_attr_destroy(&attributes);
    EXPECT_TRUE(work.done);
    const check_run run = check_of(d82);
    EXPECT_EQ(run.text, "allocated_unused:@150/3");
    EXPECT_EQ(work.summary.warnings, 1);
    EXPECT_EQ(work.summary.errors + work.summary.infos, 0);
}
