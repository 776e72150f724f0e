// The file-system check: who owns each sector, and what the BAM and the directory
// say against it. Every walk is bounded (a chain by the sectors it has visited, the
// directory by the format's slots); the working memory, sized for the largest disk
// of any format, is one heap block per check.
#include "bam.h"
#include "geometry.h"

#include <algorithm>
#include <bit>
#include <cstdlib>
#include <cstring>
#include <new>
#include <type_traits>

namespace {

// Nobody owns a sector: no file, no part of the system.
constexpr int16_t k_nobody = 0;
// Shared sectors beyond these are not recorded one by one: a hostile directory of
// entries that all start at one long chain would otherwise need any amount.
constexpr int32_t k_most_conflicts = 4096;
constexpr int32_t k_slots_per_sector = 8;

// A directory entry: type byte, first sector, name, then bytes 21-29 (side sectors
// or GEOS data) and the block count.
constexpr uint8_t k_type_partition = 5;
constexpr uint8_t k_type_rel = 4;
// A rel file: bytes 21-22 of its entry name its first side sector (on a 1581 its
// super side sector, whose byte 2 is 0xFE and whose bytes 3-254 list the first side
// sector of each group of six); byte 23 is its record length. A side sector holds its
// number (byte 2), the record length (byte 3) and from byte 16 up to 120 data sectors.
constexpr int32_t k_side_sector_entry = 0;   // entry byte 21, as unused[0]
constexpr int32_t k_record_length_entry = 2; // entry byte 23
constexpr uint8_t k_super_side_sector = 0xFE;
constexpr int32_t k_super_groups = 126;
constexpr int32_t k_sides_per_group = 6;
constexpr int32_t k_side_pairs_offset = 16;
constexpr int32_t k_side_pairs = 120;
// GEOS: a disk whose header says "GEOS format" at 0xAD keeps its border block at
// 0xAB-0xAC. A GEOS file's entry: info block at bytes 21-22, structure at byte 23
// (1: VLIR, its first sector the index of up to 127 record chains), type at byte 24.
constexpr char k_geos_signature[] = "GEOS format";
constexpr int32_t k_geos_signature_offset = 0xAD;
constexpr int32_t k_border_offset = 0xAB;
constexpr int32_t k_geos_structure_entry = 2; // entry byte 23
constexpr int32_t k_geos_type_entry = 3;      // entry byte 24
constexpr uint8_t k_geos_vlir = 1;
constexpr int32_t k_vlir_records = 127;

// A sector that two owners use: the one that took it first, and the later one.
// What the BAM says of a sector: free, allocated, or nothing (its track has no entry).
enum : uint8_t { k_free = 0, k_allocated = 1, k_no_entry = 2 };

struct conflict {
    int16_t first;
    int16_t second;
    uint16_t sector;
};

struct start_of_file {
    int16_t slot;
    uint16_t sector;
};

// The check's working state. Its arrays are sized for the largest disk but only the
// first `sectors` entries of those read before written are set, per disk. Some
// 150 KiB: it lives on the heap, so that a caller on a thread with a small stack
// can check too.
struct check_state {
    const d64_disk* disk = nullptr;
    const d64s_format* row = nullptr;
    int32_t sectors = 0;
    d64_check_visitor visitor = nullptr;
    void* context = nullptr;
    d64_check_summary summary{};
    int32_t reported = 0;
    int32_t left_out = 0;
    bool stopped = false;
    bool geos = false;

    uint8_t bam[k_most_sectors];          // what the BAM says of each sector
    int16_t owner[k_most_sectors];        // the first owner of each sector
    uint32_t chain_stamp[k_most_sectors]; // the chain walk that last visited it
    uint32_t owner_stamp[k_most_sectors]; // the owner walk that last claimed it
    uint32_t chain_id = 0;
    uint32_t owner_id = 0;
    uint16_t used[k_most_sectors]; // what the current owner claimed
    int32_t used_count = 0;
    uint16_t walked[k_most_sectors]; // the sectors of the last chain walked, in order
    int32_t walked_count = 0;
    uint16_t data_chain[k_most_sectors]; // a rel file's data chain, in order
    int32_t data_count = 0;
    conflict conflicts[k_most_conflicts];
    int32_t conflict_count = 0;
    start_of_file starts[k_most_sectors];
    int32_t start_count = 0;
    uint16_t directory[k_most_track_sectors]; // the directory sectors, each once, in order
    int32_t directory_count = 0;
    d64_sector_address list[k_most_sectors]; // a problem's sectors
    uint16_t found[k_most_sectors];          // the sectors of the problem being gathered
    uint16_t shared[k_most_conflicts];       // the sectors two owners share
    uint8_t links_in[k_most_sectors];        // unused sectors linking to each, up to 2
};

// ---------------------------------------------------------------------------
// Sectors by linear index
// ---------------------------------------------------------------------------

int32_t index_of(const check_state& st, int32_t track, int32_t sector) {
    return st.row->track_start[track] + sector;
}

d64_sector_address address_of(const check_state& st, int32_t index) {
    int32_t track = 1;
    while (track < st.disk->track_count && st.row->track_start[track + 1] <= index) {
        ++track;
    }
    return {static_cast<uint8_t>(track), static_cast<uint8_t>(index - st.row->track_start[track])};
}

const uint8_t* bytes_of(const check_state& st, int32_t index) {
    return st.disk->image + int64_t{k_sector_size} * index;
}

void read_bam(check_state& st) {
    for (int32_t track = 1; track <= st.disk->track_count; ++track) {
        const uint8_t* count = nullptr;
        const uint8_t* bitmap = nullptr;
        const bool has_entry = d64s_bam_entry(st.disk, track, &count, &bitmap);
        for (int32_t sector = 0; sector < st.row->track_sectors[track]; ++sector) {
            st.bam[index_of(st, track, sector)] = !has_entry ? k_no_entry
                                                  : d64_is_sector_allocated(st.disk, track, sector)
                                                      ? k_allocated
                                                      : k_free;
        }
    }
}

// ---------------------------------------------------------------------------
// Reporting
// ---------------------------------------------------------------------------

d64_check_problem problem_of(d64_check_severity severity, d64_check_code code, int32_t owner = 0,
                             int32_t other = 0) {
    d64_check_problem problem{};
    problem.severity = severity;
    problem.code = code;
    // A file comes before a part of the system.
    if (owner < 0 && other > 0) {
        std::swap(owner, other);
    }
    problem.owners[0] = owner;
    problem.owners[1] = other;
    problem.owner_count = (owner != 0 ? 1 : 0) + (other != 0 ? 1 : 0);
    return problem;
}

void report(check_state& st, d64_check_problem& problem) {
    (problem.severity == D64_CHECK_ERROR     ? st.summary.errors
     : problem.severity == D64_CHECK_WARNING ? st.summary.warnings
                                             : st.summary.infos) += 1;
    if (st.stopped) {
        return;
    }
    if (st.reported >= D64_CHECK_MOST_PROBLEMS) {
        ++st.left_out;
        return;
    }
    ++st.reported;
    if (st.visitor != nullptr && !st.visitor(&problem, st.context)) {
        st.stopped = true;
    }
}

// The problem with the sectors of `indices` (sorted here), reported.
void report_sectors(check_state& st, d64_check_problem& problem, uint16_t* indices, int32_t count) {
    std::sort(indices, indices + count);
    for (int32_t i = 0; i < count; ++i) {
        st.list[i] = address_of(st, indices[i]);
    }
    problem.sectors = st.list;
    problem.sector_count = count;
    report(st, problem);
}

void report_one_sector(check_state& st, d64_check_problem& problem, int32_t index) {
    uint16_t one = static_cast<uint16_t>(index);
    report_sectors(st, problem, &one, 1);
}

// ---------------------------------------------------------------------------
// Ownership
// ---------------------------------------------------------------------------

void begin_owner(check_state& st) {
    ++st.owner_id;
    st.used_count = 0;
}

// The current owner uses the sector. A sector that another owner took first is a
// conflict, unless both are parts of the system.
void claim(check_state& st, int16_t owner, int32_t index) {
    if (st.owner_stamp[index] == st.owner_id) {
        return;
    }
    st.owner_stamp[index] = st.owner_id;
    st.used[st.used_count++] = static_cast<uint16_t>(index);
    const int16_t first = st.owner[index];
    if (first == k_nobody) {
        st.owner[index] = owner;
    } else if (first != owner && (first > 0 || owner > 0) && st.conflict_count < k_most_conflicts) {
        st.conflicts[st.conflict_count++] = {first, owner, static_cast<uint16_t>(index)};
    }
}

// What the owner's sectors say: those the BAM marks free, those with an error code.
void end_owner(check_state& st, int16_t owner) {
    uint16_t* found = st.found;
    int32_t count = 0;
    for (int32_t i = 0; i < st.used_count; ++i) {
        if (st.bam[st.used[i]] == k_free) {
            found[count++] = st.used[i];
        }
    }
    if (count > 0) {
        d64_check_problem problem = problem_of(D64_CHECK_ERROR, D64_CHECK_USED_BUT_FREE, owner);
        report_sectors(st, problem, found, count);
    }
    count = 0;
    // The error codes follow the sector data, one byte per sector in the same order.
    const uint8_t* codes =
        st.disk->error_info_size != 0 ? st.disk->image + st.disk->sector_data_size : nullptr;
    for (int32_t i = 0; i < st.used_count && codes != nullptr; ++i) {
        if (codes[st.used[i]] != D64_NO_ERROR) {
            found[count++] = st.used[i];
        }
    }
    if (count > 0) {
        d64_check_problem problem = problem_of(D64_CHECK_ERROR, D64_CHECK_UNREADABLE, owner);
        report_sectors(st, problem, found, count);
    }
}

// Walks a chain from track/sector for `owner`, claiming each sector; the sectors in
// order end up in st.walked. False after a chain_link or chain_loop problem.
bool walk_chain(check_state& st, int16_t owner, int32_t track, int32_t sector) {
    ++st.chain_id;
    st.walked_count = 0;
    if (!d64_are_track_and_sector_valid(st.disk, track, sector)) {
        d64_check_problem problem = problem_of(D64_CHECK_ERROR, D64_CHECK_CHAIN_LINK, owner);
        report(st, problem);
        return false;
    }
    for (;;) {
        const int32_t index = index_of(st, track, sector);
        if (st.chain_stamp[index] == st.chain_id) {
            d64_check_problem problem = problem_of(D64_CHECK_ERROR, D64_CHECK_CHAIN_LOOP, owner);
            report_one_sector(st, problem, index);
            return false;
        }
        // A chain that joins one the owner walked before (another VLIR record, a side
        // sector chain of another group) is that chain from here: walking it again
        // would only cost time, as much as the disk has sectors per chain.
        if (st.owner_stamp[index] == st.owner_id) {
            return true;
        }
        st.chain_stamp[index] = st.chain_id;
        st.walked[st.walked_count++] = static_cast<uint16_t>(index);
        claim(st, owner, index);
        const uint8_t* bytes = bytes_of(st, index);
        if (bytes[0] == 0) {
            return true;
        }
        if (!d64_are_track_and_sector_valid(st.disk, bytes[0], bytes[1])) {
            d64_check_problem problem = problem_of(D64_CHECK_ERROR, D64_CHECK_CHAIN_LINK, owner);
            report_one_sector(st, problem, index);
            return false;
        }
        track = bytes[0];
        sector = bytes[1];
    }
}

// One sector (an info block, a VLIR index, a super side sector) for `owner`.
bool claim_single(check_state& st, int16_t owner, int32_t track, int32_t sector) {
    if (!d64_are_track_and_sector_valid(st.disk, track, sector)) {
        d64_check_problem problem = problem_of(D64_CHECK_ERROR, D64_CHECK_CHAIN_LINK, owner);
        report(st, problem);
        return false;
    }
    claim(st, owner, index_of(st, track, sector));
    return true;
}

// ---------------------------------------------------------------------------
// The system: header, BAM, directory, border block
// ---------------------------------------------------------------------------

void check_dos_version(check_state& st) {
    const uint8_t* header = d64s_header_sector(st.disk);
    if (header[st.row->dos_version_offset] != st.row->dos_version) {
        d64_check_problem problem =
            problem_of(D64_CHECK_WARNING, D64_CHECK_DOS_VERSION, D64_OWNER_HEADER);
        report(st, problem);
    }
}

// On a 1541 or 1571 the header sector holds the BAM too: a sector with two roles is
// the header's alone, so that it gives one problem, not two.
void walk_header_and_bam(check_state& st) {
    const int32_t header = index_of(st, st.row->header.track, st.row->header.sector);
    begin_owner(st);
    claim(st, D64_OWNER_HEADER, header);
    end_owner(st, D64_OWNER_HEADER);
    begin_owner(st);
    for (const d64s_bam_part& part : st.row->bam) {
        if (part.tracks != 0) {
            for (const d64s_place& place : {part.bitmap, part.count}) {
                const int32_t index = index_of(st, place.track, place.sector);
                if (index != header) {
                    claim(st, D64_OWNER_BAM, index);
                }
            }
        }
    }
    end_owner(st, D64_OWNER_BAM);
}

// The directory chain from its first sector, as the listing walks it: it ends at a
// link off the directory track or outside the disk (dir_link) and where it returns
// to a sector it visited (dir_loop).
void walk_directory(check_state& st) {
    begin_owner(st);
    ++st.chain_id;
    const int32_t directory_track = st.row->directory.track;
    int32_t track = directory_track;
    int32_t sector = st.row->directory.sector;
    for (int32_t visited = 0; visited < st.row->max_directory_slots / k_slots_per_sector;
         ++visited) {
        const int32_t index = index_of(st, track, sector);
        st.chain_stamp[index] = st.chain_id;
        st.directory[st.directory_count++] = static_cast<uint16_t>(index);
        claim(st, D64_OWNER_DIRECTORY, index);
        const uint8_t* bytes = bytes_of(st, index);
        if (bytes[0] == 0) {
            break;
        }
        if (bytes[0] != directory_track ||
            !d64_are_track_and_sector_valid(st.disk, bytes[0], bytes[1])) {
            d64_check_problem problem =
                problem_of(D64_CHECK_ERROR, D64_CHECK_DIR_LINK, D64_OWNER_DIRECTORY);
            report_one_sector(st, problem, index);
            break;
        }
        if (st.chain_stamp[index_of(st, bytes[0], bytes[1])] == st.chain_id) {
            d64_check_problem problem =
                problem_of(D64_CHECK_ERROR, D64_CHECK_DIR_LOOP, D64_OWNER_DIRECTORY);
            report_one_sector(st, problem, index);
            break;
        }
        track = bytes[0];
        sector = bytes[1];
    }
    end_owner(st, D64_OWNER_DIRECTORY);
}

bool is_geos_disk(const d64_disk* disk) {
    return std::memcmp(d64s_header_sector(disk) + k_geos_signature_offset, k_geos_signature,
                       sizeof k_geos_signature - 1) == 0;
}

void walk_border_block(check_state& st) {
    const uint8_t* link = d64s_header_sector(st.disk) + k_border_offset;
    if (!st.geos || !d64_are_track_and_sector_valid(st.disk, link[0], link[1])) {
        return;
    }
    begin_owner(st);
    claim(st, D64_OWNER_BORDER, index_of(st, link[0], link[1]));
    end_owner(st, D64_OWNER_BORDER);
}

// ---------------------------------------------------------------------------
// Files
// ---------------------------------------------------------------------------

// The side sectors of a rel file, in chain order, into st.walked: on a 1581 the
// super side sector's groups, each group walked unless an earlier one reached it.
bool walk_side_sectors(check_state& st, int16_t slot, const d64_dir_entry* entry, bool* grouped) {
    const int32_t track = entry->unused[k_side_sector_entry];
    const int32_t sector = entry->unused[k_side_sector_entry + 1];
    *grouped = false;
    if (!d64_are_track_and_sector_valid(st.disk, track, sector) ||
        bytes_of(st, index_of(st, track, sector))[2] != k_super_side_sector) {
        return walk_chain(st, slot, track, sector);
    }
    *grouped = true;
    claim(st, slot, index_of(st, track, sector));
    const uint8_t* super = bytes_of(st, index_of(st, track, sector));
    uint16_t sides[k_most_sectors];
    int32_t side_count = 0;
    for (int32_t group = 0; group < k_super_groups; ++group) {
        const int32_t first_track = super[3 + 2 * group];
        const int32_t first_sector = super[4 + 2 * group];
        if (first_track == 0 ||
            (group > 0 && d64_are_track_and_sector_valid(st.disk, first_track, first_sector) &&
             st.owner_stamp[index_of(st, first_track, first_sector)] == st.owner_id)) {
            continue;
        }
        if (!walk_chain(st, slot, first_track, first_sector)) {
            return false;
        }
        for (int32_t i = 0; i < st.walked_count && side_count < k_most_sectors; ++i) {
            sides[side_count++] = st.walked[i];
        }
    }
    std::copy(sides, sides + side_count, st.walked);
    st.walked_count = side_count;
    return true;
}

// The data sectors the side sectors list, in order, must be the data chain's; each
// side sector carries its number and the record length.
void check_rel_index(check_state& st, int16_t slot, const d64_dir_entry* entry, bool grouped) {
    int32_t position = 0;
    bool agrees = true;
    int32_t wrong = -1;
    for (int32_t i = 0; i < st.walked_count && agrees; ++i) {
        const uint8_t* side = bytes_of(st, st.walked[i]);
        const int32_t number = grouped ? i % k_sides_per_group : i;
        if (side[2] != number || side[3] != entry->unused[k_record_length_entry]) {
            agrees = false;
            wrong = st.walked[i];
            break;
        }
        for (int32_t pair = 0; pair < k_side_pairs; ++pair) {
            const int32_t track = side[k_side_pairs_offset + 2 * pair];
            const int32_t sector = side[k_side_pairs_offset + 2 * pair + 1];
            if (track == 0) {
                break;
            }
            if (position >= st.data_count ||
                !d64_are_track_and_sector_valid(st.disk, track, sector) ||
                index_of(st, track, sector) != st.data_chain[position]) {
                agrees = false;
                wrong = st.walked[i];
                break;
            }
            ++position;
        }
    }
    if (agrees && position == st.data_count) {
        return;
    }
    d64_check_problem problem = problem_of(D64_CHECK_ERROR, D64_CHECK_REL_INDEX, slot);
    if (wrong >= 0) {
        report_one_sector(st, problem, wrong);
    } else {
        report(st, problem);
    }
}

// A 1581 partition: as many consecutive sectors as its size, from its first.
void walk_partition(check_state& st, int16_t slot, const d64_dir_entry* entry, int32_t blocks) {
    if (!d64_are_track_and_sector_valid(st.disk, entry->first_track, entry->first_sector)) {
        d64_check_problem problem = problem_of(D64_CHECK_ERROR, D64_CHECK_CHAIN_LINK, slot);
        report(st, problem);
        return;
    }
    const int32_t first = index_of(st, entry->first_track, entry->first_sector);
    for (int32_t index = first; index < first + blocks; ++index) {
        if (index >= st.sectors) {
            d64_check_problem problem = problem_of(D64_CHECK_ERROR, D64_CHECK_CHAIN_LINK, slot);
            report(st, problem);
            return;
        }
        claim(st, slot, index);
    }
}

// A GEOS file's own sectors: its info block, then its VLIR index and records or its
// one chain. False after a chain problem.
bool walk_geos_file(check_state& st, int16_t slot, const d64_dir_entry* entry) {
    bool whole = claim_single(st, slot, entry->unused[0], entry->unused[1]);
    if (entry->unused[k_geos_structure_entry] != k_geos_vlir) {
        return walk_chain(st, slot, entry->first_track, entry->first_sector) && whole;
    }
    if (!claim_single(st, slot, entry->first_track, entry->first_sector)) {
        return false;
    }
    const uint8_t* index = bytes_of(st, index_of(st, entry->first_track, entry->first_sector));
    for (int32_t record = 0; record < k_vlir_records; ++record) {
        const int32_t track = index[2 + 2 * record];
        const int32_t sector = index[3 + 2 * record];
        if (track != 0) {
            whole = walk_chain(st, slot, track, sector) && whole;
        }
    }
    return whole;
}

void walk_file(check_state& st, const d64_dir_entry* entry, int16_t slot) {
    const uint8_t code = entry->type & D64_TYPE_MASK;
    int32_t blocks = 0;
    d64_get_file_size_sectors(entry, &blocks);
    if (entry->type == 0 || code == 0 || (entry->first_track == 0 && blocks == 0)) {
        return; // empty or scratched slots, del entries, empty files
    }
    if (code > st.row->max_type_code) {
        d64_check_problem problem = problem_of(D64_CHECK_WARNING, D64_CHECK_BAD_TYPE, slot);
        report(st, problem);
        return;
    }
    begin_owner(st);
    if (code == k_type_partition) {
        walk_partition(st, slot, entry, blocks);
        end_owner(st, slot);
        return;
    }
    if ((entry->type & D64_CLOSED_FLAG) == 0) {
        d64_check_problem problem = problem_of(D64_CHECK_WARNING, D64_CHECK_UNCLOSED, slot);
        report(st, problem);
    }
    if (d64_are_track_and_sector_valid(st.disk, entry->first_track, entry->first_sector) &&
        st.start_count < k_most_sectors) {
        st.starts[st.start_count++] = {
            slot, static_cast<uint16_t>(index_of(st, entry->first_track, entry->first_sector))};
    }
    bool whole = false;
    if (st.geos && entry->unused[k_geos_type_entry] != 0) {
        whole = walk_geos_file(st, slot, entry);
    } else {
        whole = walk_chain(st, slot, entry->first_track, entry->first_sector);
        if (code == k_type_rel) {
            std::copy(st.walked, st.walked + st.walked_count, st.data_chain);
            st.data_count = st.walked_count;
            bool grouped = false;
            const bool sides_whole = walk_side_sectors(st, slot, entry, &grouped);
            if (whole && sides_whole) {
                check_rel_index(st, slot, entry, grouped);
            }
            whole = whole && sides_whole;
        }
    }
    if (whole && st.used_count != blocks) {
        d64_check_problem problem = problem_of(D64_CHECK_WARNING, D64_CHECK_BLOCK_COUNT, slot);
        problem.count = st.used_count;
        report(st, problem);
    }
    end_owner(st, slot);
}

// The entries of each directory sector the directory walk reached, each sector once
// (a looping chain is a dir_loop, not a second copy of its files), numbered as the
// listing numbers its slots.
void walk_entries(check_state& st) {
    for (int32_t i = 0; i < st.directory_count; ++i) {
        const auto* entries = reinterpret_cast<const d64_dir_entry*>(bytes_of(st, st.directory[i]));
        for (int32_t slot = 0; slot < k_slots_per_sector; ++slot) {
            walk_file(st, &entries[slot], static_cast<int16_t>(k_slots_per_sector * i + slot + 1));
        }
    }
}

// ---------------------------------------------------------------------------
// After the walks
// ---------------------------------------------------------------------------

// Entries that start at the same sector: loop files, made so on purpose by some
// tools. Their shared sectors are no cross_link.
bool share_start(const check_state& st, int16_t a, int16_t b) {
    int32_t start_a = -1;
    int32_t start_b = -1;
    for (int32_t i = 0; i < st.start_count; ++i) {
        start_a = st.starts[i].slot == a ? st.starts[i].sector : start_a;
        start_b = st.starts[i].slot == b ? st.starts[i].sector : start_b;
    }
    return start_a >= 0 && start_a == start_b;
}

void report_shared_starts(check_state& st) {
    std::sort(st.starts, st.starts + st.start_count,
              [](const start_of_file& x, const start_of_file& y) {
                  return x.sector != y.sector ? x.sector < y.sector : x.slot < y.slot;
              });
    for (int32_t i = 1; i < st.start_count; ++i) {
        int32_t first = i - 1;
        while (first > 0 && st.starts[first - 1].sector == st.starts[i].sector) {
            --first;
        }
        if (st.starts[first].sector == st.starts[i].sector) {
            d64_check_problem problem = problem_of(D64_CHECK_WARNING, D64_CHECK_SHARED_START,
                                                   st.starts[first].slot, st.starts[i].slot);
            report_one_sector(st, problem, st.starts[i].sector);
        }
    }
}

void report_cross_links(check_state& st) {
    std::sort(st.conflicts, st.conflicts + st.conflict_count,
              [](const conflict& x, const conflict& y) {
                  return x.first != y.first     ? x.first < y.first
                         : x.second != y.second ? x.second < y.second
                                                : x.sector < y.sector;
              });
    uint16_t* shared = st.shared;
    for (int32_t begin = 0; begin < st.conflict_count;) {
        int32_t end = begin;
        int32_t count = 0;
        while (end < st.conflict_count && st.conflicts[end].first == st.conflicts[begin].first &&
               st.conflicts[end].second == st.conflicts[begin].second) {
            if (count == 0 || shared[count - 1] != st.conflicts[end].sector) {
                shared[count++] = st.conflicts[end].sector;
            }
            ++end;
        }
        const conflict& pair = st.conflicts[begin];
        if (pair.first <= 0 || pair.second <= 0 || !share_start(st, pair.first, pair.second)) {
            d64_check_problem problem =
                problem_of(D64_CHECK_ERROR, D64_CHECK_CROSS_LINK, pair.first, pair.second);
            report_sectors(st, problem, shared, count);
        }
        begin = end;
    }
}

// Each track's free count against its bitmap, for the tracks the format keeps an
// entry for.
void check_free_counts(check_state& st) {
    for (int32_t track = 1; track <= st.disk->track_count; ++track) {
        const uint8_t* count = nullptr;
        const uint8_t* bitmap = nullptr;
        if (!d64s_bam_entry(st.disk, track, &count, &bitmap)) {
            continue;
        }
        const int32_t sectors = st.row->track_sectors[track];
        int32_t free_bits = 0;
        bool beyond = false;
        for (int32_t bit = 0; bit < 8 * st.row->bitmap_bytes; ++bit) {
            const bool set = ((bitmap[bit / 8] >> (bit % 8)) & 1U) != 0;
            free_bits += set && bit < sectors ? 1 : 0;
            beyond = beyond || (set && bit >= sectors);
        }
        if (*count != free_bits || beyond) {
            d64_check_problem problem =
                problem_of(D64_CHECK_ERROR, D64_CHECK_FREE_COUNT, D64_OWNER_BAM);
            problem.track = track;
            report(st, problem);
        }
    }
}

// Allocated sectors nobody reaches, but those the drive's formatting keeps.
bool is_unused(const check_state& st, int32_t index) {
    return st.owner[index] == k_nobody && st.bam[index] == k_allocated &&
           (st.row->reserved_track == 0 || index < st.row->track_start[st.row->reserved_track] ||
            index >= st.row->track_start[st.row->reserved_track + 1]);
}

void report_allocated_unused(check_state& st) {
    uint16_t* unused = st.found;
    int32_t count = 0;
    for (int32_t index = 0; index < st.sectors; ++index) {
        if (is_unused(st, index)) {
            unused[count++] = static_cast<uint16_t>(index);
        }
    }
    if (count > 0) {
        d64_check_problem problem = problem_of(D64_CHECK_WARNING, D64_CHECK_ALLOCATED_UNUSED);
        report_sectors(st, problem, unused, count);
    }
}

// Chains made only of unused sectors that no other such sector links to, ending as
// DOS ends a file: the last sector's link track is 0 and its byte 1, the index of its
// last byte, is 2 or more (a sector whose link is 00 00, often one of zeros, ends no
// file). Files that were scratched or lost and can still be read whole. Chains that
// meet in a sector two unused sectors link to are no file either: which one would
// own the tail cannot be told.
void count_links_in(check_state& st) {
    std::fill_n(st.links_in, st.sectors, uint8_t{0});
    for (int32_t index = 0; index < st.sectors; ++index) {
        const uint8_t* bytes = bytes_of(st, index);
        if (is_unused(st, index) && d64_are_track_and_sector_valid(st.disk, bytes[0], bytes[1])) {
            uint8_t& links = st.links_in[index_of(st, bytes[0], bytes[1])];
            links = links < 2 ? static_cast<uint8_t>(links + 1) : links;
        }
    }
}

constexpr uint8_t k_least_last_byte = 2;

void report_lost_files(check_state& st) {
    count_links_in(st);
    uint16_t* chain = st.found;
    for (int32_t start = 0; start < st.sectors; ++start) {
        if (st.links_in[start] != 0 || !is_unused(st, start)) {
            continue;
        }
        ++st.chain_id;
        int32_t count = 0;
        bool whole = false;
        for (int32_t index = start;;) {
            if (!is_unused(st, index) || st.chain_stamp[index] == st.chain_id ||
                st.links_in[index] > 1) {
                break;
            }
            st.chain_stamp[index] = st.chain_id;
            chain[count++] = static_cast<uint16_t>(index);
            const uint8_t* bytes = bytes_of(st, index);
            if (bytes[0] == 0) {
                whole = bytes[1] >= k_least_last_byte;
                break;
            }
            if (!d64_are_track_and_sector_valid(st.disk, bytes[0], bytes[1])) {
                break;
            }
            index = index_of(st, bytes[0], bytes[1]);
        }
        if (!whole) {
            continue;
        }
        // Hashed as a file's payload, through an entry that points at the chain.
        d64_dir_entry entry{};
        entry.type = D64_CLOSED_FLAG | 2;
        const d64_sector_address first = address_of(st, start);
        entry.first_track = first.track;
        entry.first_sector = first.sector;
        d64_check_problem problem = problem_of(D64_CHECK_INFO, D64_CHECK_LOST_FILE);
        d64_calculate_file_md5(st.disk, &entry, problem.md5);
        problem.first = first;
        problem.count = count;
        report_sectors(st, problem, chain, count);
    }
}

// The whole check on the working state `st`.
void check_all(check_state& st) {
    read_bam(st);
    check_dos_version(st);
    walk_header_and_bam(st);
    walk_directory(st);
    walk_border_block(st);
    walk_entries(st);
    report_cross_links(st);
    report_shared_starts(st);
    check_free_counts(st);
    report_allocated_unused(st);
    report_lost_files(st);
    // The problems left out make one more, counted whether or not anyone is told.
    if (st.left_out > 0) {
        st.summary.infos += 1;
        if (!st.stopped && st.visitor != nullptr) {
            d64_check_problem problem = problem_of(D64_CHECK_INFO, D64_CHECK_TOO_MANY);
            problem.count = st.left_out;
            st.stopped = !st.visitor(&problem, st.context);
        }
    }
}

} // namespace

bool d64_check_disk(const d64_disk* disk, d64_check_visitor visitor, void* context,
                    d64_check_summary* summary) {
    if (disk == nullptr) {
        return false;
    }
    // One heap block per check, released before the return; only what this disk's
    // sectors need of it is cleared. The library allocates with malloc alone, so that
    // C programs link it without a C++ runtime.
    void* block = std::malloc(sizeof(check_state));
    if (block == nullptr) {
        return false;
    }
    check_state& st = *new (block) check_state;
    st.disk = disk;
    st.row = &d64s_row(disk);
    st.sectors = d64s_disk_sectors(disk);
    std::fill_n(st.owner, st.sectors, k_nobody);
    std::fill_n(st.chain_stamp, st.sectors, 0U);
    std::fill_n(st.owner_stamp, st.sectors, 0U);
    st.visitor = visitor;
    st.context = context;
    st.geos = is_geos_disk(disk);
    check_all(st);
    if (summary != nullptr) {
        *summary = st.summary;
    }
    const bool completed = !st.stopped;
    static_assert(std::is_trivially_destructible_v<check_state>);
    std::free(block);
    return completed;
}

bool d64_check_code_name(int32_t code, const char** name) {
    static const char* const names[] = {
        "dir_link",      "dir_loop",   "chain_link", "chain_loop",   "cross_link",
        "used_but_free", "free_count", "unreadable", "rel_index",    "allocated_unused",
        "block_count",   "unclosed",   "bad_type",   "shared_start", "dos_version",
        "lost_file",     "too_many"};
    static_assert(sizeof names / sizeof names[0] == D64_CHECK_CODE_COUNT);
    if (name == nullptr || code < 0 || code >= D64_CHECK_CODE_COUNT) {
        return false;
    }
    *name = names[code];
    return true;
}

bool d64_check_severity_name(int32_t severity, const char** name) {
    static const char* const names[] = {"error", "warning", "info"};
    if (name == nullptr || severity < D64_CHECK_ERROR || severity > D64_CHECK_INFO) {
        return false;
    }
    *name = names[severity];
    return true;
}
