// The GCR decoder of raw track dumps: each track of a 1541 or 1571 disk as the bit
// stream on the disk surface (a G64's circle, a NIB's capture along the track),
// read as the drive reads it: it finds the syncs (10 or more one bits), reads the
// header block after each sync and the data block after the next one, and gives
// every sector its bytes and the error code a drive would report. The front ends
// that find each track's bytes in a file are g64.cpp and nib.cpp.
#include "decoder.h"

#include "geometry.h"

#include <algorithm>
#include <array>
#include <cstdlib>
#include <cstring>

namespace {

// A 1541 disk decoded from a dump has 35 tracks, or 40 or 42 when tracks past 35 hold
// a header that reads; a 1571 disk always has its 70.
constexpr int32_t k_forty_tracks = 40;

constexpr int32_t k_min_sync_bits = 10;
constexpr int32_t k_gcr_bits_per_byte = 10;

// The error codes a 1541 reports (as in a D64's error bytes).
constexpr uint8_t k_ok = 1;
constexpr uint8_t k_no_header = 2;
constexpr uint8_t k_no_sync = 3;
constexpr uint8_t k_no_data_block = 4;
constexpr uint8_t k_data_checksum = 5;
constexpr uint8_t k_header_checksum = 9;
constexpr uint8_t k_id_mismatch = 0x0B;

// Header block: 0x08, checksum, sector, track, id2, id1, 0x0F, 0x0F; its checksum
// is sector ^ track ^ id2 ^ id1. Only the first six bytes are needed.
constexpr uint8_t k_header_block_id = 0x08;
constexpr int32_t k_header_bytes = 6;
// Data block: 0x07, 256 bytes, their XOR, two off bytes (not read).
constexpr uint8_t k_data_block_id = 0x07;
constexpr int32_t k_data_bytes = 2 + k_sector_size;
// Bits a block may read on past the end of a track, and then some for the reader,
// which loads 8 bytes at a time; before the track, its last bytes, for the sync scan.
// A capture along the track has zeros there instead: nothing comes before or after.
constexpr int64_t k_wrap_bytes = k_data_bytes * k_gcr_bits_per_byte / 8 + 12;
constexpr int32_t k_context_bytes = 2;

// 10 bits of GCR (two 5-bit codes, high nybble first) -> the byte they encode in
// bits 0-7; bit 8 set when a code is not one of the sixteen.
constexpr std::array<uint16_t, 1024> make_gcr_table() {
    constexpr uint8_t codes[16] = {0x0A, 0x0B, 0x12, 0x13, 0x0E, 0x0F, 0x16, 0x17,
                                   0x09, 0x19, 0x1A, 0x1B, 0x0D, 0x1D, 0x1E, 0x15};
    std::array<uint16_t, 32> nybble{};
    nybble.fill(0x100);
    for (uint16_t value = 0; value < 16; ++value) {
        nybble[codes[value]] = value;
    }
    std::array<uint16_t, 1024> table{};
    for (uint32_t bits = 0; bits < 1024; ++bits) {
        const uint16_t high = nybble[bits >> 5];
        const uint16_t low = nybble[bits & 0x1F];
        // An invalid code reads as 0 in its nybble, and marks the byte.
        table[bits] =
            static_cast<uint16_t>(((high & 0x0F) << 4) | (low & 0x0F) | ((high | low) & 0x100));
    }
    return table;
}

constexpr auto k_gcr_table = make_gcr_table();

// A sync: its run of one bits ends where the next block starts.
struct sync_mark {
    int32_t start; // the first one bit; negative when the run began before bit 0
    int32_t end;   // the first bit after the run: the block's first bit
    int32_t bits;
};

// One track's bit stream, its syncs in the order of the track data. The buffers are
// the decoder's, sized for the file's largest track: the library allocates nothing
// but with malloc, so that C programs link it without a C++ runtime.
struct track_stream {
    uint8_t* bytes = nullptr; // the track, then its start again for blocks that wrap
    int64_t bit_count = 0;
    sync_mark* syncs = nullptr;
    size_t sync_count = 0;
    bool linear = false; // a capture along the track: no wrap-around
};

// Each sync takes 11 bits at least: 10 ones and the zero that ends them.
constexpr size_t k_bits_per_sync = 11;

// The 64 bits from `at`, the first byte's most significant bit first.
uint64_t load_be64(const uint8_t* at) {
    uint64_t bits = 0;
    std::memcpy(&bits, at, sizeof bits);
    return __builtin_bswap64(bits);
}

bool bit_at(const uint8_t* bytes, int64_t bit) {
    return ((bytes[bit / 8] >> (7 - bit % 8)) & 1U) != 0;
}

// The one bits just before the zero bit at `end`, counted back round the circle (or
// to the start of a line), a whole byte at a time where they fill one.
int32_t run_before(const track_stream& track, int64_t end) {
    int32_t run = 0;
    for (int64_t bit = end - 1;;) {
        if (bit < 0 && track.linear) {
            return run;
        }
        bit = bit < 0 ? bit + track.bit_count : bit;
        if (bit % 8 == 7 && track.bytes[bit / 8] == 0xFF) {
            run += 8;
            bit -= 8;
        } else if (bit_at(track.bytes, bit)) {
            ++run;
            --bit;
        } else {
            return run;
        }
    }
}

// Finds every sync of the circular track, in track order: the zero bits whose ten
// predecessors are ones. Each 8-byte window holds 16 bits before 48 new ones, so that
// every bit is looked at once as new; a run of ones is then counted back from its end
// round the circle. A track of ones only has no sync: no zero ends the run.
void find_syncs(int32_t length, track_stream& track) {
    static_assert(k_min_sync_bits == 10, "the windows look for ten ones before a zero");
    track.sync_count = 0;
    const uint8_t* windows = track.bytes - k_context_bytes;
    constexpr uint64_t k_new_bits = (uint64_t{1} << 48U) - 1;
    for (int32_t i = 0; i < length; i += 6) {
        // Bit b (47 to 0) of the window is track bit 8 * i + 47 - b.
        const uint64_t window = load_be64(windows + i);
        const uint64_t one = window >> 1U;
        const uint64_t two = one & (one >> 1U);
        const uint64_t four = two & (two >> 2U);
        const uint64_t eight = four & (four >> 4U);
        uint64_t ends = ~window & eight & (two >> 8U) & k_new_bits;
        while (ends != 0) {
            const int b = 63 - __builtin_clzll(ends);
            ends &= ~(uint64_t{1} << static_cast<unsigned>(b));
            const int64_t end = int64_t{8} * i + 47 - b;
            if (end >= track.bit_count) {
                break; // the window reaches into the next turn of the track
            }
            const int32_t run = run_before(track, end);
            track.syncs[track.sync_count++] = {static_cast<int32_t>(end - run),
                                               static_cast<int32_t>(end), run};
        }
    }
}

void load_track(const uint8_t* data, int32_t length, track_stream& track) {
    track.bit_count = int64_t{8} * length;
    if (track.linear) {
        std::memset(track.bytes - k_context_bytes, 0, k_context_bytes);
        std::memcpy(track.bytes, data, static_cast<size_t>(length));
        std::memset(track.bytes + length, 0, static_cast<size_t>(k_wrap_bytes));
        find_syncs(length, track);
        return;
    }
    for (int32_t i = 1; i <= k_context_bytes; ++i) {
        track.bytes[-i] = data[((length - i) % length + length) % length];
    }
    for (int64_t filled = 0; filled < length + k_wrap_bytes;) {
        const int64_t chunk = std::min<int64_t>(length, length + k_wrap_bytes - filled);
        std::memcpy(track.bytes + filled, data, static_cast<size_t>(chunk));
        filled += chunk;
    }
    find_syncs(length, track);
}

uint32_t ten_bits_at(const uint8_t* bytes, int64_t bit) {
    const uint8_t* at = bytes + bit / 8;
    const uint32_t window = uint32_t{at[0]} << 16U | uint32_t{at[1]} << 8U | at[2];
    return (window >> (14 - bit % 8)) & 0x3FFU;
}

// The bytes of the block after sync `index`, which ends where the next sync starts.
struct decoded_block {
    int32_t length = 0;        // bytes decoded: as many as asked, or those before the next sync
    int32_t first_invalid = 0; // index of the first byte with an invalid code, or `length`
};

decoded_block decode_block(const track_stream& track, size_t index, uint8_t* out, int32_t count) {
    const sync_mark& sync = track.syncs[index];
    const int64_t limit = index + 1 < track.sync_count ? track.syncs[index + 1].start
                          : track.linear               ? track.bit_count
                                                       : track.syncs[0].start + track.bit_count;
    const int64_t room = std::max<int64_t>(0, (limit - sync.end) / k_gcr_bits_per_byte);
    decoded_block block;
    block.length = static_cast<int32_t>(std::min<int64_t>(count, room));
    block.first_invalid = block.length;
    // Four bytes at a time from 40 bits of GCR, then one at a time; an invalid code
    // is looked for only where one was seen.
    const uint8_t* bytes = track.bytes;
    auto bit = static_cast<uint64_t>(sync.end);
    uint16_t seen = 0;
    int32_t i = 0;
    // Every 40 bits are 5 whole bytes: the shift stays the same through the block.
    const uint8_t* group = bytes + (bit >> 3U);
    const unsigned shift = bit & 7U;
    for (; i + 4 <= block.length; i += 4, group += 5) {
        const uint64_t bits = load_be64(group) << shift;
        const uint16_t a = k_gcr_table[bits >> 54U];
        const uint16_t b = k_gcr_table[(bits >> 44U) & 0x3FFU];
        const uint16_t c = k_gcr_table[(bits >> 34U) & 0x3FFU];
        const uint16_t d = k_gcr_table[(bits >> 24U) & 0x3FFU];
        out[i] = static_cast<uint8_t>(a);
        out[i + 1] = static_cast<uint8_t>(b);
        out[i + 2] = static_cast<uint8_t>(c);
        out[i + 3] = static_cast<uint8_t>(d);
        seen |= a | b | c | d;
    }
    bit += static_cast<uint64_t>(i) * k_gcr_bits_per_byte;
    for (; i < block.length; ++i, bit += k_gcr_bits_per_byte) {
        const uint16_t value = k_gcr_table[ten_bits_at(bytes, static_cast<int64_t>(bit))];
        out[i] = static_cast<uint8_t>(value);
        seen |= value;
    }
    if ((seen & 0x100U) != 0) {
        bit = static_cast<uint64_t>(sync.end);
        for (int32_t j = 0; j < block.length; ++j, bit += k_gcr_bits_per_byte) {
            if ((k_gcr_table[ten_bits_at(bytes, static_cast<int64_t>(bit))] & 0x100U) != 0) {
                block.first_invalid = j;
                break;
            }
        }
    }
    return block;
}

struct header_block {
    uint8_t checksum;
    uint8_t sector;
    uint8_t track;
    uint8_t id[2]; // id2, id1 as they lie on the disk
    bool checksum_ok() const {
        return checksum == (sector ^ track ^ id[0] ^ id[1]);
    }
};

// The header after sync `index`, when there is one that reads.
bool read_header(const track_stream& track, size_t index, header_block* header) {
    uint8_t bytes[k_header_bytes];
    if (decode_block(track, index, bytes, k_header_bytes).first_invalid != k_header_bytes ||
        bytes[0] != k_header_block_id) {
        return false;
    }
    *header = {bytes[1], bytes[2], bytes[3], {bytes[4], bytes[5]}};
    return true;
}

// The disk id every header must carry: that of the first header of 18/0 with a
// correct checksum, when there is one.
struct disk_id {
    bool known = false;
    uint8_t id[2] = {};
};

// Reads the data block after the header at sync `index` into `data`: its code.
uint8_t read_data(const track_stream& track, size_t index, uint8_t* data) {
    uint8_t block[k_data_bytes];
    if (track.linear && index + 1 == track.sync_count) {
        return k_no_data_block; // the capture ends before another sync
    }
    const size_t next = (index + 1) % track.sync_count;
    const decoded_block read = decode_block(track, next, block, k_data_bytes);
    if (read.first_invalid == 0 || block[0] != k_data_block_id) {
        return k_no_data_block;
    }
    // What was read stays, as a drive hands it over with a checksum error; a block cut
    // short by the next sync ends in zeros.
    std::memset(block + read.length, 0, static_cast<size_t>(k_data_bytes - read.length));
    std::memcpy(data, block + 1, k_sector_size);
    // The XOR of the 256 bytes, eight at a time.
    uint64_t folded = 0;
    for (int32_t i = 0; i < k_sector_size; i += 8) {
        uint64_t word = 0;
        std::memcpy(&word, data + i, sizeof word);
        folded ^= word;
    }
    folded ^= folded >> 32U;
    folded ^= folded >> 16U;
    folded ^= folded >> 8U;
    return read.first_invalid == k_data_bytes &&
                   static_cast<uint8_t>(folded) == block[k_data_bytes - 1]
               ? k_ok
               : k_data_checksum;
}

// One track decoded: every sector's bytes and code, and what the decode saw.
struct track_result {
    uint8_t sectors[k_most_track_sectors][k_sector_size];
    uint8_t codes[k_most_track_sectors];
    bool differ[k_most_track_sectors]; // two clean copies hold different bytes
    bool has_header = false;           // a header with a correct checksum
    int32_t duplicates = 0;
    int32_t shortest_sync = 0;
    int32_t errors = 0; // sectors whose code is not 1
};

// The code of a header's sector: its checksum, its disk id, then its data block.
uint8_t header_code(const track_stream& track, size_t index, const header_block& header,
                    const disk_id& id, uint8_t* data) {
    if (!header.checksum_ok()) {
        return k_header_checksum;
    }
    return id.known && std::memcmp(header.id, id.id, 2) != 0 ? k_id_mismatch
                                                             : read_data(track, index, data);
}

// Decodes track `number` (`count` sectors) into `out`. The first header of a sector
// gives its code unless a later one reads cleanly; headers beyond the first are
// duplicates, and a clean copy after a clean one is compared with it. A sector keeps
// the bytes of its data block with code 1 or 5, zeros with any other.
void decode_track(const track_stream& track, int32_t number, int32_t count, const disk_id& id,
                  track_result& out) {
    std::memset(out.sectors, 0, size_t{k_sector_size} * static_cast<size_t>(count));
    std::fill_n(out.differ, count, false);
    out.has_header = false;
    out.duplicates = 0;
    out.shortest_sync = 0;
    out.errors = count;
    if (track.sync_count == 0) {
        std::fill_n(out.codes, count, k_no_sync);
        return;
    }
    std::fill_n(out.codes, count, k_no_header);
    int32_t headers_seen[k_most_track_sectors] = {};
    uint8_t data[k_sector_size];
    out.shortest_sync = track.syncs[0].bits;
    for (size_t index = 0; index < track.sync_count; ++index) {
        out.shortest_sync = std::min(out.shortest_sync, track.syncs[index].bits);
        header_block header{};
        if (!read_header(track, index, &header) || header.track != number) {
            continue; // a header of another track belongs to no sector of this one
        }
        out.has_header = out.has_header || header.checksum_ok();
        if (header.sector >= count) {
            continue;
        }
        const int32_t sector = header.sector;
        uint8_t* bytes = out.sectors[sector];
        if (++headers_seen[sector] > 1) {
            ++out.duplicates;
            if (out.codes[sector] == k_ok) {
                out.differ[sector] =
                    out.differ[sector] || (header_code(track, index, header, id, data) == k_ok &&
                                           std::memcmp(bytes, data, k_sector_size) != 0);
                continue;
            }
        }
        const uint8_t code = header_code(track, index, header, id, data);
        if (headers_seen[sector] == 1 || code == k_ok) {
            out.codes[sector] = code;
            if (code == k_ok || code == k_data_checksum) {
                std::memcpy(bytes, data, k_sector_size);
            } else {
                std::memset(bytes, 0, k_sector_size);
            }
        }
    }
    out.errors = static_cast<int32_t>(
        std::count_if(out.codes, out.codes + count, [](uint8_t code) { return code != k_ok; }));
}

// The scratch of a decode, sized for the dump's longest track: the library allocates
// nothing but with malloc, so that C programs link it without a C++ runtime.
struct scratch {
    track_stream track;
    uint8_t* block = nullptr;
    track_result* results = nullptr; // two: the pass kept so far and the one decoded
    track_result* best = nullptr;
    track_result* other = nullptr;

    bool allocate(size_t longest, bool linear) {
        block = static_cast<uint8_t*>(std::malloc(k_context_bytes + longest + k_wrap_bytes));
        track.bytes = block != nullptr ? block + k_context_bytes : nullptr;
        track.syncs = static_cast<sync_mark*>(
            std::malloc(sizeof(sync_mark) * (8 * longest / k_bits_per_sync + 1)));
        track.linear = linear;
        results = static_cast<track_result*>(std::malloc(2 * sizeof(track_result)));
        best = results;
        other = results != nullptr ? results + 1 : nullptr;
        return block != nullptr && track.syncs != nullptr && results != nullptr;
    }
    void release() {
        std::free(block);
        std::free(track.syncs);
        std::free(results);
    }
};

// The id of the disk: that of the first header of 18/0 with a correct checksum, in
// the first copy of its track.
disk_id find_disk_id(const d64s_dump_tracks& dump, const d64s_place& header_sector,
                     track_stream& track) {
    disk_id id;
    const d64s_dump_tracks::whole_track& source = dump.tracks[header_sector.track];
    if (source.passes == 0 || source.killer) {
        return id;
    }
    load_track(source.data[0], source.length[0], track);
    for (size_t index = 0; index < track.sync_count; ++index) {
        header_block header{};
        if (read_header(track, index, &header) && header.track == header_sector.track &&
            header.sector == header_sector.sector && header.checksum_ok()) {
            std::memcpy(id.id, header.id, 2);
            id.known = true;
            break;
        }
    }
    return id;
}

// Decodes every copy of a track and keeps the one with the fewest sectors in error
// (the first on a tie) in work.best.
void decode_passes(const d64s_dump_tracks::whole_track& source, int32_t number, int32_t count,
                   const disk_id& id, scratch& work) {
    for (int32_t pass = 0; pass < source.passes; ++pass) {
        load_track(source.data[pass], source.length[pass], work.track);
        track_result& into = pass == 0 ? *work.best : *work.other;
        decode_track(work.track, number, count, id, into);
        if (pass > 0 && work.other->errors < work.best->errors) {
            std::swap(work.best, work.other);
        }
    }
}

// The handle and, behind it, what the decode found and the decoded image.
struct dump_handle {
    d64_disk disk;
    d64_gcr_decode_info info;
    int32_t copies_differ;
    int32_t ignored_entries;
    int32_t killer_tracks;
};

// What the decode saw on each track, for the handle's info.
struct disk_tally {
    bool has_header[k_most_tracks + 1] = {};
    int32_t duplicates[k_most_tracks + 1] = {};
    int32_t shortest_sync[k_most_tracks + 1] = {};
    int32_t copies_differ[k_most_tracks + 1] = {};
};

void tally_track(const track_result& result, int32_t number, int32_t count, disk_tally& tally) {
    tally.has_header[number] = result.has_header;
    tally.duplicates[number] = result.duplicates;
    tally.shortest_sync[number] = result.shortest_sync;
    tally.copies_differ[number] =
        static_cast<int32_t>(std::count(result.differ, result.differ + count, true));
}

// What the decode found on the disk's tracks: those past its last are not the disk's.
void fill_info(const disk_tally& tally, const uint8_t* codes, int32_t tracks, int32_t sectors,
               dump_handle& handle) {
    d64_gcr_decode_info& info = handle.info;
    info.tracks = tracks;
    for (int32_t index = 0; index < sectors; ++index) {
        (codes[index] == k_ok ? info.sectors_ok : info.sectors_with_error) += 1;
    }
    for (int32_t number = 1; number <= tracks; ++number) {
        info.duplicate_headers += tally.duplicates[number];
        handle.copies_differ += tally.copies_differ[number];
        if (tally.shortest_sync[number] != 0 &&
            (info.shortest_sync_bits == 0 ||
             tally.shortest_sync[number] < info.shortest_sync_bits)) {
            info.shortest_sync_bits = tally.shortest_sync[number];
        }
    }
}

// Decodes every track of the dump into the image of a new handle.
d64s_decode_result decode_tracks(const d64s_decoder& decoder, const d64s_dump_tracks& dump,
                                 d64_disk** out_disk) {
    const d64s_format& row = d64s_row_of(decoder.row);
    size_t longest = 1;
    for (const d64s_dump_tracks::whole_track& source : dump.tracks) {
        for (int32_t pass = 0; pass < source.passes; ++pass) {
            longest = std::max(longest, static_cast<size_t>(source.length[pass]));
        }
    }
    // Room for the most tracks the disk may have, sectors then codes; the codes move
    // up behind the sectors of the tracks the disk turns out to have.
    const int32_t most_sectors = d64s_row_sectors(row, row.max_tracks);
    const size_t image_size = size_t{k_sector_size + 1} * static_cast<size_t>(most_sectors);
    auto* handle = static_cast<dump_handle*>(std::malloc(sizeof(dump_handle) + image_size));
    scratch work;
    if (handle == nullptr || !work.allocate(longest, dump.linear)) {
        work.release();
        std::free(handle);
        *out_disk = nullptr;
        return d64s_decode_result::failed;
    }
    uint8_t* image = reinterpret_cast<uint8_t*>(handle + 1);
    uint8_t* codes = image + size_t{k_sector_size} * static_cast<size_t>(most_sectors);

    const disk_id id = find_disk_id(dump, row.header, work.track);
    // Some 2.5 KiB; the handle's block holds the decoded image.
    disk_tally tally;
    for (int32_t number = 1; number <= row.max_tracks; ++number) {
        const int32_t first = row.track_start[number];
        const int32_t count = row.track_sectors[number];
        uint8_t* sectors = image + int64_t{k_sector_size} * first;
        const d64s_dump_tracks::whole_track& source = dump.tracks[number];
        if (source.passes == 0 || source.killer) {
            std::fill_n(codes + first, count, k_no_sync);
            std::memset(sectors, 0, size_t{k_sector_size} * static_cast<size_t>(count));
            continue;
        }
        decode_passes(source, number, count, id, work);
        std::memcpy(sectors, work.best->sectors,
                    size_t{k_sector_size} * static_cast<size_t>(count));
        std::copy_n(work.best->codes, count, codes + first);
        tally_track(*work.best, number, count, tally);
    }
    work.release();

    // The least tracks, or 40 or the most when a track past the least holds a header
    // that reads.
    int32_t tracks = row.min_tracks;
    for (int32_t number = row.min_tracks + 1; number <= row.max_tracks; ++number) {
        if (tally.has_header[number]) {
            tracks = number <= k_forty_tracks ? std::max(tracks, k_forty_tracks) : row.max_tracks;
        }
    }
    const int32_t sectors = d64s_row_sectors(row, tracks);
    std::memmove(image + int64_t{k_sector_size} * sectors, codes, static_cast<size_t>(sectors));

    handle->info = d64_gcr_decode_info{};
    handle->info.half_tracks_with_data = dump.half_tracks_with_data;
    handle->copies_differ = 0;
    fill_info(tally, codes, tracks, sectors, *handle);
    handle->ignored_entries = dump.ignored_entries;
    handle->killer_tracks = dump.killer_tracks;
    d64_disk& disk = handle->disk;
    disk.image = image;
    disk.track_count = tracks;
    disk.sector_data_size = uint64_t{k_sector_size} * static_cast<uint64_t>(sectors);
    disk.error_info_size = static_cast<uint64_t>(sectors);
    disk.format = decoder.format;
    *out_disk = &disk;
    return d64s_decode_result::decoded;
}

} // namespace

d64s_decode_result d64s_decode_dump(const d64s_decoder& decoder, d64_disk** out_disk,
                                    const uint8_t* file, uint64_t size) {
    // Some 9 KiB: the data of each track's copies, found before any is decoded.
    d64s_dump_tracks dump;
    const bool recognised = decoder.kind == d64s_dump_kind::gcr_tables
                                ? d64s_read_gcr_tables(decoder, file, size, dump)
                                : d64s_read_nib_capture(decoder, file, size, dump);
    return recognised ? decode_tracks(decoder, dump, out_disk) : d64s_decode_result::not_recognised;
}

bool d64_get_gcr_decode_info(const d64_disk* disk, d64_gcr_decode_info* info) {
    if (disk == nullptr || info == nullptr ||
        d64s_decoder_of(static_cast<d64_format>(disk->format)) == nullptr) {
        return false;
    }
    *info = reinterpret_cast<const dump_handle*>(disk)->info;
    return true;
}

bool d64_get_decode_facts(const d64_disk* disk, d64_decode_facts* facts) {
    if (disk == nullptr || facts == nullptr ||
        d64s_decoder_of(static_cast<d64_format>(disk->format)) == nullptr) {
        return false;
    }
    const auto* handle = reinterpret_cast<const dump_handle*>(disk);
    facts->decode = handle->info;
    facts->copies_differ = handle->copies_differ;
    facts->ignored_entries = handle->ignored_entries;
    facts->killer_tracks = handle->killer_tracks;
    return true;
}
