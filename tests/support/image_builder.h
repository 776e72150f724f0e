// Lays out D64, D71 and D81 images in memory for tests, fuzz seeds, benchmarks and
// the sample image: a formatted header and BAM, directory sectors and slots, file
// chains at a chosen interleave, raw links for broken chains, and per-sector error
// codes.
#ifndef FLOPPEEK_IMAGE_BUILDER_H
#define FLOPPEEK_IMAGE_BUILDER_H

#include <array>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

struct track_sector {
    int track;
    int sector;
};

enum class disk_format { d64, d71, d81, d80, d82 };

struct test_image {
    std::vector<uint8_t> bytes;
    int tracks = 35;
    bool has_error_block = false;
    disk_format format = disk_format::d64;
};

// A directory slot as the builder writes it; the name is 16 raw bytes.
struct test_entry {
    uint8_t type = 0x82; // closed PRG
    std::array<uint8_t, 16> name{};
    track_sector first{0, 0};
    uint16_t blocks = 0;
};

inline constexpr uint8_t k_shifted_space_byte = 0xA0;

// D64 geometry: sectors of a track, of the first `tracks` tracks, and their bytes.
int image_sectors_of_track(int track);
int image_sector_count(int tracks);
size_t image_sector_data_size(int tracks);
// The geometry of the image's own format.
int image_track_sectors(const test_image& image, int track);
int image_total_sectors(const test_image& image);

// All zero bytes of the length for `tracks`; the error block, if any, filled with 1 (no error).
test_image image_blank(int tracks, bool with_error_block);
// A freshly formatted disk: header linking to 18/1, every sector free but 18/0 and 18/1,
// the name padded with shifted spaces, id "<id> 2A", and an empty directory sector.
test_image image_formatted(int tracks, bool with_error_block, std::string_view name = "TEST DISK",
                           std::string_view id = "01");

// A formatted D71 (side 2's free counts at 18/0 from 0xDD, its bitmaps on 53/0, which
// is allocated), D81 (header 40/0, BAM 40/1 and 40/2, directory from 40/3), D80 or D82
// (header 39/0, BAM 38/0, 38/3 and on the D82 38/6 and 38/9, directory from 39/1; no
// error codes); a D64 as image_formatted(35, ...).
test_image image_formatted_as(disk_format format, bool with_error_block,
                              std::string_view name = "TEST DISK", std::string_view id = "01");

uint8_t* image_sector(test_image& image, track_sector at);
const uint8_t* image_sector(const test_image& image, track_sector at);
// Raw link bytes 0 and 1 of a sector.
void image_link(test_image& image, track_sector at, int next_track, int next_sector);
// The BAM entry of `track`: free count and bitmap (set bit = free; 3 bytes, 5 on a D81).
void image_set_bam_entry(test_image& image, int track, uint8_t free_count, uint64_t bitmap);
void image_allocate(test_image& image, track_sector at);
bool image_is_free(const test_image& image, track_sector at);
void image_set_error(test_image& image, track_sector at, uint8_t code);

// Text in PETSCII upper case (ASCII letters are PETSCII's unshifted ones), padded to 16.
std::array<uint8_t, 16> petscii_name(std::string_view text, uint8_t pad = k_shifted_space_byte);

// Where slot 0-143 of the directory lies: sectors 1, 4, 7, ... of track 18, eight
// slots each, as the drive fills them.
track_sector image_directory_sector(int slot);
// The same for the image's format: on a D81 slots 0-295 on 40/3, 40/4, ... 40/39; on
// a D80 or D82 slots 0-223 on 39/1, 39/2, ... 39/28.
track_sector image_directory_sector(const test_image& image, int slot);
// Writes slot `slot`, linking in and allocating directory sectors as needed.
void image_set_entry(test_image& image, int slot, const test_entry& entry);
// Writes `payload` as a chain starting at the first free sector from `start`, each
// further sector `interleave` sectors on (or on the next track when one is full; track
// 18 is skipped). The sectors are allocated in the BAM. Returns them in chain order.
std::vector<track_sector> image_write_chain(test_image& image, const std::vector<uint8_t>& payload,
                                            track_sector start = {1, 0}, int interleave = 10);
// A file in slot `slot`: its chain written from `start` and its entry with the real size.
std::vector<track_sector> image_add_file(test_image& image, int slot, uint8_t type,
                                         std::string_view name, const std::vector<uint8_t>& payload,
                                         track_sector start = {1, 0}, int interleave = 10);

// The 32 raw bytes of slot `slot` (written with image_set_entry() first): for the bytes
// the builder does not set, such as side sectors or GEOS data at 21-24.
uint8_t* image_entry(test_image& image, int slot);

// A relative file in slot `slot`: its records as the data chain, and its side sectors
// (one per 120 data sectors) listing them, each with its number (byte 2), the record
// length (byte 3) and every side sector (bytes 4-15); the entry names the first side
// sector (bytes 21-22) and the record length (byte 23) and counts both kinds. Returns
// the side sectors in order.
std::vector<track_sector> image_add_rel_file(test_image& image, int slot, std::string_view name,
                                             const std::vector<uint8_t>& records,
                                             int record_length, track_sector start = {1, 0});

// Slots 0-15 of `image` hold names of every byte value: slot n bytes 16n to 16n+15,
// each a closed PRG without a chain.
void image_set_every_byte_name(test_image& image);

bool image_save(const test_image& image, const std::string& path);

// The sample disk the README shows: 35 tracks with error codes, files of every type,
// a locked and an unclosed file, a scratched entry, a name with a shifted space
// inside, a file whose directory size is wrong and one whose chain is broken.
test_image image_sample();
// A second, undamaged disk that holds the sample's HELLO WORLD program under another
// name: the two make a small collection with one file on both disks.
test_image image_sample_companion();
// A 1581 disk for the README: files over two directory sectors and a partition.
test_image image_sample_d81();
// Directory art for the README's Unicode listing: a frame of graphics characters.
test_image image_sample_art();
// A damaged disk for the README's check: a file whose chain runs into another's, a
// scratched file still allocated and readable, and a track with a wrong free count.
test_image image_sample_damaged();

#endif // FLOPPEEK_IMAGE_BUILDER_H
