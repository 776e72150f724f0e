// trakvol: read-only access to Commodore disk images held in memory: 1541 (D64),
// 1571 (D71), 1581 (D81), 8050 (D80) and 8250 (D82) disks, and the raw GCR track
// dumps of 1541 and 1571 disks (G64, G71) and the nibtools dumps of 1541 disks (NIB,
// NB2), decoded into their sectors; and (since 2.4) the files of T64 and TAP tapes,
// PC64 (P00) and loose PRG files, and the chips of CRT cartridges. The format
// table behind d64_get_format_facts() and d64_get_format_shape() lists them all.
//
// A sector image is the sector data of its tracks (256 bytes a sector, track 1
// sector 0 first), optionally followed by one error code byte per sector; it is
// recognised by its length. A raw track dump is recognised by its signature and
// decoded into a sector image with an error code for every sector. Every function
// works on the caller's image buffer in place and never writes to it; pointers
// handed out (directory entries, sectors) point into that buffer (or the decoded
// image of a dump's handle) and stay valid while it lives.
//
// Results are booleans (true on success) and values travel through
// out-parameters. The library prints nothing but its reports.
#ifndef TRAKVOL_H
#define TRAKVOL_H

#ifndef __cplusplus
#include <stdbool.h>
#endif
#include <stdint.h>
#include <stdio.h>

#define TRAKVOL_VERSION_MAJOR 2
#define TRAKVOL_VERSION_MINOR 4
#define TRAKVOL_VERSION_PATCH 0

#ifdef __cplusplus
extern "C" {
#endif

// The library's own code is hidden; the functions below are what it exports.
#if defined(__GNUC__)
#pragma GCC visibility push(default)
#endif

// ---------------------------------------------------------------------------
// Types
// ---------------------------------------------------------------------------

// Fixed facts of the directory and the error codes. (Since 2.3.)
#define D64_NAME_LENGTH 16     // bytes of a disk or file name, padded with shifted spaces
#define D64_ID_LENGTH 5        // bytes of the disk id field: id, shifted space, DOS type
#define D64_SHIFTED_SPACE 0xA0 // the PETSCII byte that pads names
#define D64_TYPE_MASK 0x3F     // the type code bits of a directory entry's type byte
#define D64_LOCKED_FLAG 0x40   // ... set: the file is locked
#define D64_CLOSED_FLAG 0x80   // ... clear: the file was never closed (a splat file)
#define D64_NO_ERROR 1         // the error code of a sector without error

// The disk formats. (Since 2.2; D80, D82 and G71 since 2.3; NIB and NB2 since 2.4.)
typedef enum d64_format {
    D64_FORMAT_D64 = 0, // 1541: 35 to 42 tracks of 21 to 17 sectors
    D64_FORMAT_D71 = 1, // 1571: 70 tracks, side 2 (tracks 36-70) shaped as side 1
    D64_FORMAT_D81 = 2, // 1581: 80 tracks of 40 sectors
    D64_FORMAT_G64 = 3, // a 1541 disk decoded from a raw GCR track dump: D64 geometry
                        // of 35, 40 or 42 tracks, every sector with an error code; the
                        // handle owns the decoded image
    D64_FORMAT_D80 = 4, // 8050: 77 tracks of 29 to 23 sectors
    D64_FORMAT_D82 = 5, // 8250: 154 tracks, side 2 (tracks 78-154) shaped as side 1
    D64_FORMAT_G71 = 6, // a 1571 disk decoded from a raw GCR track dump: D71 geometry,
                        // every sector with an error code, as for a G64
    D64_FORMAT_NIB = 7, // a 1541 disk decoded from a nibtools raw dump (NIB): the
                        // drive's reads of each track, decoded as a G64 is (since 2.4)
    D64_FORMAT_NB2 = 8  // the same from its multi-pass form (NB2) (since 2.4)
} d64_format;

// Handle over one image in memory. Immutable after d64_init_disk() or d64_open_disk().
// sector_data_size + error_info_size is the length of the image buffer.
typedef struct d64_disk {
    const uint8_t* image;      // caller's image buffer, borrowed, only read (for a
                               // G64: the decoded image, inside the handle)
    int32_t track_count;       // 35 to 42 on a D64, 70 on a D71, 80 on a D81, 77 on a
                               // D80, 154 on a D82
    uint64_t sector_data_size; // 256 * sector count
    uint64_t error_info_size;  // 0, or one byte per sector
    int32_t format;            // a d64_format (Since 2.2.)
} d64_disk;

// The facts of a handle's format that a caller walking the disk needs. (Since 2.2.)
typedef struct d64_format_info {
    int32_t format;              // a d64_format
    int32_t sector_count;        // sectors of the whole disk
    int32_t longest_track;       // sectors of the longest track: 21, 40 on a D81, 29 on a
                                 // D80 or D82
    int32_t directory_track;     // 18, 40 on a D81, 39 on a D80 or D82
    int32_t max_directory_slots; // 144, 296 on a D81, 224 on a D80 or D82: bound every
                                 // directory walk by it
} d64_format_info;

// How many format codes there are: every d64_format is below it. (Since 2.3.)
#define D64_FORMAT_COUNT 9

// What a format is, for callers that name formats or pick files by them. (Since 2.3.)
typedef struct d64_format_facts {
    int32_t format;          // a d64_format
    const char* name;        // "d64", "d71", "d81", "g64", "d80", "d82", "g71": also the
                             // usual file extension; a static string
    const char* description; // e.g. "Commodore 1541"; a static string
    uint64_t largest_image;  // the longest image of the format, error codes included;
                             // 0 for a raw track dump, which may have any length
    int32_t sectors_of;      // the d64_format whose sectors it holds: itself, or the
                             // format a raw track dump decodes into
    bool extended_tracks;    // its disks may have tracks past the standard count, whose
                             // BAM layout varies: see d64_detect_bam_layout()
} d64_format_facts;

// Position of a directory walk; owned by the caller, set by
// d64_first_dir_entry() and advanced by d64_next_dir_entry(). Do not alter it.
typedef struct d64_dir_cursor {
    uint8_t track; // current directory sector (always on the directory track)
    uint8_t sector;
    uint8_t entry_index; // 0 to 7 within that sector
} d64_dir_cursor;

// One 32-byte directory slot, as it lies in the image.
typedef struct d64_dir_entry {
    uint8_t link[2];     // in slot 0: the directory sector's link to the next one
    uint8_t type;        // bits 0-5 type code (0 del .. 4 rel, on a D81 5 cbm), bit 6
                         // locked, bit 7 closed;
                         // 0 as a whole marks an empty or scratched slot
    uint8_t first_track; // first data sector of the file
    uint8_t first_sector;
    uint8_t name[16];  // PETSCII, padded with shifted spaces (0xA0)
    uint8_t unused[9]; // side sectors, record length, GEOS data: not interpreted
    uint8_t size_lo;   // size in sectors as the directory claims it,
    uint8_t size_hi;   // little-endian 16-bit
} d64_dir_entry;

// Called for every data sector of a file, in chain order. `sector` points to the
// 256 bytes of the sector inside the image and is valid during the call only;
// `context` is passed through unchanged. Return false to stop the walk with failure.
typedef bool (*d64_sector_visitor)(const uint8_t* sector, void* context);

// ---------------------------------------------------------------------------
// Opening an image and the three reports
// ---------------------------------------------------------------------------

// d64_init_disk() :
//   Recognises `image` (image_size bytes) by its length as a D64 image and creates a
//   handle for it. `out_disk` must not be null. Release the handle with
//   d64_close_disk(). The image buffer stays the caller's and must outlive the handle.
//   @return false for a null or empty buffer or a length that is not a D64's
//   (*out_disk is then untouched) and when allocation fails (*out_disk is then null).
bool d64_init_disk(d64_disk** out_disk, const uint8_t* image, uint64_t image_size);

// d64_open_disk() :
//   As d64_init_disk(), for every format: the D64 lengths first, then a D71
//   (349696 bytes, 351062 with error codes), a D81 (819200, 822400), a D80 (533248)
//   and a D82 (1066496; since 2.3), then a G64 by its signature "GCR-1541", a G71
//   by "GCR-1571" (since 2.3), and a NIB or an NB2 by "MNIB-1541-RAW" (an NB2 is as
//   long as 16 passes of 8192 bytes for each entry of its track table make; since
//   2.4). `format`, when not null, receives the format found. Every other function
//   works on the handle whatever its format. (Since 2.2.)
//
//   A G64 holds each track as the drive's bit stream (a G71 those of a 1571's two
//   sides, side 2 from the 84th entry of its track table on, decoded into a D71
//   with the same codes); it is decoded, at any length
//   and whatever its bytes, into the sectors of a D64 and one error code per sector,
//   the codes a 1541 reports: 1 OK, 2 no header for the sector, 3 no sync on the
//   track (or no data for it in the file), 4 no data block after the header, 5 data
//   checksum wrong (or invalid GCR, or the block cut short by the next sync; the
//   sector keeps the bytes read), 9 header checksum wrong, 11 (0x0B) the header's
//   disk id differs from that of the header of 18/0. A sector with another code
//   than 1 or 5 holds zeros. The decoded image lives in the handle and is released
//   with it: the handle's `image` points to it, and the G64 buffer may go once the
//   call returns.
//
//   A NIB holds, for each entry of its track table (whole and half-tracks), the 8192
//   bytes the drive read from some point of the track on: more than a revolution, a
//   line that does not wrap round. It is decoded as a G64 is, with the same codes,
//   at bit level; of several copies of a sector the first that reads cleanly wins,
//   else the first header's code stands. A track the file holds no data for, or that
//   the reader marked a killer track (density byte 0x80), is code 3. An NB2 holds 16
//   passes per entry; the four at the entry's density are decoded and the one with
//   the fewest sectors in error kept (the first on a tie). Table entries beyond the
//   file's data, with a half-track number above 84, or naming a track twice are left
//   out (see d64_get_decode_facts()).
//   @return as d64_init_disk(); `format` is written only on success. A G64 too short
//   for its header and track tables, or a NIB for its 256-byte header, is not
//   recognised.
bool d64_open_disk(d64_disk** out_disk, const uint8_t* image, uint64_t image_size,
                   d64_format* format);

// d64_close_disk() :
//   Releases a handle of d64_init_disk() or d64_open_disk(); a null handle is nothing
//   to release. (Since 2.3; before, handles were released with free(), which still
//   does the same.)
void d64_close_disk(d64_disk* disk);

// d64_dump_directory_contents() :
//   Prints the directory listing to `stream`: the narrow form like the drive shows
//   it, or with `wide` a sequence number, the verified sector count and the MD5 of
//   every PRG file. `include_scratched` also lists scratched entries.
//   @return false, printing nothing, when `disk` or `stream` is null.
bool d64_dump_directory_contents(const d64_disk* disk, bool include_scratched, bool wide,
                                 FILE* stream);

// d64_dump_bam_contents() :
//   Prints the block availability map track by track to `stream`, with the per-sector
//   error codes when `include_errors` is set and the image carries them.
//   @return false, printing nothing, when `disk` or `stream` is null.
bool d64_dump_bam_contents(const d64_disk* disk, bool include_errors, FILE* stream);

// d64_find_pattern() :
//   Prints `Match: "<name>"` to standard output for the first directory slot whose
//   name matches the shell wildcard `pattern` (case ignored). `pattern` must not be
//   null. *found tells whether a name matched.
//   @return false, printing nothing, when `disk` or `found` is null; true otherwise.
bool d64_find_pattern(const d64_disk* disk, const char* pattern, bool* found);

// d64_find_pattern_to() :
//   As d64_find_pattern(), printing the line to `stream` instead of standard output,
//   so that callers on several threads can each collect their own output. (Since 2.1.)
//   @return false, printing nothing, when `disk`, `found` or `stream` is null.
bool d64_find_pattern_to(const d64_disk* disk, const char* pattern, bool* found, FILE* stream);

// d64_petscii_to_text() :
//   The printable text the reports show for a raw PETSCII field of `length` bytes
//   (1 to 16: a disk or file name, the disk id): letters in ASCII case, unprintable
//   bytes as '.', 0x7F as '?', a shifted space as a space; the first zero byte ends
//   it. `form` chooses how much:
//     D64_TEXT_PADDED:  the field as it stands, padding included (what the name
//                       search matches its pattern against);
//     D64_TEXT_TRIMMED: trailing padding (shifted spaces, zero bytes) dropped and
//                       carriage returns as '.' (the disk name and id of the listing);
//     D64_TEXT_QUOTED:  trimmed, and only the part before the first shifted space
//                       (a file name between the listing's quotes).
//   `text` (length + 1 bytes, caller's) receives the zero-terminated text. (Since 2.1.)
//   @return false, writing nothing, when `field` or `text` is null or `length` is
//   out of range.
typedef enum d64_text_form {
    D64_TEXT_PADDED = 0,
    D64_TEXT_TRIMMED = 1,
    D64_TEXT_QUOTED = 2
} d64_text_form;
bool d64_petscii_to_text(const char* field, int32_t length, d64_text_form form, char* text);

// The C64's two character sets. (Since 2.2.)
typedef enum d64_charset {
    D64_CHARSET_UPPER = 0, // uppercase and graphics, the set a C64 starts in
    D64_CHARSET_LOWER = 1  // lowercase and uppercase
} d64_charset;

// How the control codes 0x00-0x1F and 0x80-0x9F, which have no glyph, are written.
// (Since 2.2.)
typedef enum d64_controls {
    D64_CONTROLS_AS_CODES = 0, // as U+0000-001F and U+0080-009F, the code itself
    D64_CONTROLS_REPLACED = 1, // as U+FFFD
    D64_CONTROLS_REVERSED = 2  // as a C64 shows them inside a quoted name: the glyph of
                               // the code plus 0x40, between the terminal escapes
                               // ESC[7m and ESC[27m (reverse video)
} d64_controls;

// The most bytes one PETSCII code takes in UTF-8 (a reversed control code).
#define D64_UTF8_BYTES_PER_CODE 13

// d64_petscii_to_utf8() :
//   The same part of a raw PETSCII field as d64_petscii_to_text() gives for `form`
//   (a zero byte ends it; trimmed, without trailing padding; quoted, before the first
//   shifted space), but every byte as the C64 shows it, in Unicode: the Unicode
//   Consortium's mapping of the character set `set` (C64IPRI, C64IALT), with the
//   Symbols for Legacy Computing where no older character fits. A shifted space is
//   U+00A0, a carriage return a control code. One deliberate difference: 0xFF shows
//   as 0xDE does in the same set (pi in the uppercase set), as a C64 prints it,
//   where the published mapping has the glyph of 0xBF. `text` (caller's) holds
//   D64_UTF8_BYTES_PER_CODE * length + 1 bytes and receives the zero-terminated
//   UTF-8; *columns, when `columns` is not null, the characters shown (escapes not
//   counted). (Since 2.2.)
//   @return false, writing nothing, when `field` or `text` is null, `length` is not
//   1 to 16 or `set` or `controls` is not one of theirs.
bool d64_petscii_to_utf8(const char* field, int32_t length, d64_text_form form, d64_charset set,
                         d64_controls controls, char* text, int32_t* columns);

// d64_dump_directory_unicode() :
//   As d64_dump_directory_contents(), with the disk name, the id and the file names
//   in Unicode as d64_petscii_to_utf8() gives them (the part after a file name's
//   closing quote keeps its bit 7); columns stay aligned by characters. (Since 2.2.)
//   @return false, printing nothing, when `disk` or `stream` is null or `set` or
//   `controls` is not one of theirs.
bool d64_dump_directory_unicode(const d64_disk* disk, bool include_scratched, bool wide,
                                d64_charset set, d64_controls controls, FILE* stream);

// d64_find_pattern_unicode() :
//   As d64_find_pattern_to(): the same match, on the same text; the `Match:` line
//   shows the name in Unicode, its padding as U+00A0. (Since 2.2.)
//   @return as d64_find_pattern_to(); false also for a `set` or `controls` that is
//   not one of theirs.
bool d64_find_pattern_unicode(const d64_disk* disk, const char* pattern, bool* found,
                              d64_charset set, d64_controls controls, FILE* stream);

// How the listing, the search and the BAM report show a disk: one struct that grows
// by fields at its end, each release raising D64_LISTING_OPTIONS_VERSION; set it up
// with D64_LISTING_OPTIONS_INIT and change what you need. (Since 2.3.)
#define D64_LISTING_OPTIONS_VERSION 1
#define D64_LIST_WIDE 1u      // the listing: sequence numbers, verified sizes, MD5s (-w)
#define D64_LIST_SCRATCHED 2u // the listing: scratched entries too (-s)
#define D64_LIST_ERRORS 4u    // the BAM report: the error maps, when the image has codes (-e)
#define D64_LIST_UNICODE 8u   // names in Unicode, in `charset`, control codes as `controls`
typedef struct d64_listing_options {
    uint32_t version; // D64_LISTING_OPTIONS_VERSION of the header the caller was built with
    uint32_t flags;   // D64_LIST_ values, or-ed
    int32_t charset;  // a d64_charset, with D64_LIST_UNICODE
    int32_t controls; // a d64_controls, with D64_LIST_UNICODE
} d64_listing_options;
#define D64_LISTING_OPTIONS_INIT                                                           \
    { D64_LISTING_OPTIONS_VERSION, 0, D64_CHARSET_UPPER, D64_CONTROLS_REPLACED }

// d64_dump_directory_ex() :
//   The directory listing as `options` ask, to `stream`; d64_dump_directory_contents()
//   and d64_dump_directory_unicode() are this with their arguments as options.
//   (Since 2.3.)
//   @return false, printing nothing, when an argument is null, the options' version is
//   0 or newer than this library's, or, with D64_LIST_UNICODE, `charset` or `controls`
//   is not one of theirs.
bool d64_dump_directory_ex(const d64_disk* disk, const d64_listing_options* options,
                           FILE* stream);

// d64_find_pattern_ex() :
//   The search as d64_find_pattern_to() does it, the Match: line to `stream` as
//   `options` ask (D64_LIST_UNICODE). (Since 2.3.)
//   @return as d64_dump_directory_ex(); *found tells whether a name matched.
bool d64_find_pattern_ex(const d64_disk* disk, const char* pattern,
                         const d64_listing_options* options, bool* found, FILE* stream);

// d64_dump_bam_ex() :
//   The BAM report as d64_dump_bam_contents() prints it, with the error maps when
//   `options` ask for them (D64_LIST_ERRORS). (Since 2.3.)
//   @return false, printing nothing, when an argument is null or the options' version
//   is 0 or newer than this library's.
bool d64_dump_bam_ex(const d64_disk* disk, const d64_listing_options* options, FILE* stream);

// ---------------------------------------------------------------------------
// Geometry
// ---------------------------------------------------------------------------

// d64_get_format_info() :
//   Stores the facts of the handle's format into *info. (Since 2.2.)
//   @return false when `disk` or `info` is null.
bool d64_get_format_info(const d64_disk* disk, d64_format_info* info);

// d64_get_format_facts() :
//   Stores the facts of the format `format` (0 to D64_FORMAT_COUNT - 1) into *facts.
//   (Since 2.3.)
//   @return false when `facts` is null or `format` is no format code.
bool d64_get_format_facts(int32_t format, d64_format_facts* facts);

// The shape of a format's images, for callers that make, pick or list them: the one
// source of the lengths, signatures and counts the program and its tests use.
// (Since 2.4.)
typedef struct d64_format_shape {
    int32_t format;             // a d64_format
    int32_t min_tracks;         // tracks of its disks; for a raw track dump, of the
    int32_t max_tracks;         // disk it decodes into
    int32_t standard_tracks;    // what its drive formats: tracks past it are extra
    bool error_bytes;           // a sector image may end in one error code per sector
    const char* signature;      // a raw track dump's first bytes, by which it is told;
                                // null for a sector image, told by its length
    const char* dump_family;    // a raw track dump's kind ("g64", "g71", ...), shared by
                                // the formats of one kind; null for a sector image
    int32_t empty_free_blocks;  // the "blocks free" of a freshly formatted disk of
                                // standard_tracks tracks
    int32_t first_system_track; // the lowest track that holds its header or its BAM
    bool track_captures;        // a raw dump of what the drive read along each track
                                // (NIB, NB2): its decode tells ignored table entries
                                // and killer tracks (see d64_get_decode_facts())
    uint64_t largest_file;      // the longest file of the format that holds anything
                                // more: a sector image's longest length; a raw dump's
                                // limit (8 MiB for a G64, 120 table entries of a NIB):
                                // a reader may stop one byte past it
} d64_format_shape;

// d64_get_format_shape() :
//   Stores the shape of the format `format` (0 to D64_FORMAT_COUNT - 1) into *shape.
//   (Since 2.4.)
//   @return false when `shape` is null or `format` is no format code.
bool d64_get_format_shape(int32_t format, d64_format_shape* shape);

// d64_get_track_offset() :
//   Stores into *offset where sector 0 of `track` lies in a sector image of the format
//   (of the format a raw dump decodes into): track 1 at 0, and track max_tracks + 1
//   where the sector data of a disk of max_tracks ends. So a disk of t tracks has
//   sector data up to the offset of track t + 1, and with error codes 1/256 of that
//   more. (Since 2.4.)
//   @return false when `offset` is null, `format` is no format code or `track` is not
//   1 to max_tracks + 1.
bool d64_get_track_offset(int32_t format, int32_t track, uint64_t* offset);

// What the decode of a G64 found. (Since 2.2.)
typedef struct d64_gcr_decode_info {
    int32_t tracks;                // decoded: 35, or 40 / 42 when tracks 36-40 / 41-42
                                   // hold a header with a correct checksum
    int32_t half_tracks_with_data; // counted, not read
    int32_t sectors_ok;            // code 1
    int32_t sectors_with_error;    // any other code
    int32_t duplicate_headers;     // every header beyond the first for a sector
    int32_t shortest_sync_bits;    // the shortest sync (run of 10 or more one bits,
                                   // measured around each track's circle); 0 if none
} d64_gcr_decode_info;

// d64_get_gcr_decode_info() :
//   Stores what the decode of a raw track dump's handle (G64, G71, NIB, NB2) found
//   into *info; for a NIB shortest_sync_bits is measured along each capture and
//   duplicate_headers counts every header beyond the first for a sector, so that the
//   revolutions the capture overlaps show. (Since 2.2.)
//   @return false when an argument is null or the handle is not a decoded dump.
bool d64_get_gcr_decode_info(const d64_disk* disk, d64_gcr_decode_info* info);

// What the decode of a raw track dump found: a G64's facts, and what the later
// dumps add. (Since 2.4.)
typedef struct d64_decode_facts {
    d64_gcr_decode_info decode; // as d64_get_gcr_decode_info() gives it
    int32_t copies_differ;      // sectors of which two clean copies hold different bytes:
                                // weak bits, or a disk that changed under the head
    int32_t ignored_entries;    // NIB, NB2: track table entries left out (beyond the
                                // file's data, a half-track number above 84, a track named
                                // twice); 0 for other dumps
    int32_t killer_tracks;      // NIB, NB2: whole tracks the reader marked as killer
                                // tracks (all one bits); 0 for other dumps
} d64_decode_facts;

// d64_get_decode_facts() :
//   Stores what the decode of a raw track dump's handle found into *facts. (Since 2.4.)
//   @return false when an argument is null or the handle is not a decoded dump.
bool d64_get_decode_facts(const d64_disk* disk, d64_decode_facts* facts);

// d64_are_track_and_sector_valid() :
//   @return true when track/sector addresses a sector of this image: tracks from 1,
//   sectors from 0, 21/19/18/17 sectors on tracks 1-17/18-24/25-30/31-42 of a D64
//   and on each side of a D71 (tracks 36-70 as 1-35), 40 on every track of a D81,
//   29/27/25/23 on tracks 1-39/40-53/54-64/65-77 of a D80 and on each side of a D82.
//   False for a null handle.
bool d64_are_track_and_sector_valid(const d64_disk* disk, int32_t track, int32_t sector);

// ---------------------------------------------------------------------------
// Header sector (18/0, on a D81 40/0, on a D80 or D82 39/0), BAM and error codes
// ---------------------------------------------------------------------------

// d64_get_disk_name() :
//   Copies the 16 raw PETSCII bytes of the disk name and a terminating zero into
//   `name` (17 bytes, caller's, must not be null).
//   @return false for a null handle (`name` untouched) or when the header sector does
//   not link where its format says (18/1, on a D81 40/3, on a D80 or D82 the first
//   BAM sector 38/0); `name` then holds sixteen '?'.
bool d64_get_disk_name(const d64_disk* disk, char* name);

// d64_get_disk_id() :
//   As d64_get_disk_name() for the 5 id bytes (the two id characters, a shifted space
//   and the DOS type, e.g. "2A" or "3D"); `id` holds 6 bytes, "?????" on failure.
bool d64_get_disk_id(const d64_disk* disk, char* id);

// d64_is_sector_allocated() :
//   @return true when the BAM marks the sector allocated (or the track has no BAM
//   entry: tracks 36-42 of a D64, see d64_bam_layout); false when it is free or
//   the handle is null. track/sector are not checked: keep them valid.
bool d64_is_sector_allocated(const d64_disk* disk, int32_t track, int32_t sector);

// d64_get_sector_error_info() :
//   Stores the sector's error code into *code: 1 means no error, and every sector of
//   an image without error codes reports 1. track/sector are not checked.
//   @return false when `disk` or `code` is null.
bool d64_get_sector_error_info(const d64_disk* disk, int32_t track, int32_t sector, uint8_t* code);

// d64_get_track_free_count() :
//   Stores the free count byte of the BAM entry of `track` into *count, as the BAM
//   says it, whatever the bitmap holds; 0 for a track without a BAM entry (tracks
//   36-42 of a D64, see d64_bam_layout). (Since 2.1.)
//   @return false when `disk` or `count` is null or the image has no such track.
bool d64_get_track_free_count(const d64_disk* disk, int32_t track, uint8_t* count);

// d64_count_free_sectors() :
//   Stores the sum of the BAM's per-track free counts into *total, the "blocks free"
//   of the listing: the directory track left out (18; on a D71 also 53, the BAM track
//   of side 2; on a D81 40; on a D80 or D82 39). A track without a BAM entry adds nothing (tracks
//   36-42 of a D64, see d64_bam_layout).
//   @return false when `disk` or `total` is null.
bool d64_count_free_sectors(const d64_disk* disk, int32_t* total);

// Where a D64 (or decoded G64) of more than 35 tracks keeps the BAM entries of tracks
// 36 to 40. (Since 2.2.) The BAM accessors above read those tracks' entries in the
// layout the disk follows; when none is found, and always for tracks 41 and 42, for
// which no DOS keeps a BAM, such a track counts as having no BAM: free count 0, every
// sector allocated, nothing added to the free total, as a stock 1541 sees it. (Since
// 2.3; before, they were read at header bytes 144-171 whatever the disk held.)
typedef enum d64_bam_layout {
    D64_BAM_LAYOUT_NONE = 0,       // 35 tracks, or not a D64
    D64_BAM_LAYOUT_PROLOGIC = 1,   // tracks 36-40 at 144-163 (0x90-0xA3), 4 bytes each
    D64_BAM_LAYOUT_SPEEDDOS = 2,   // tracks 36-40 at 0xC0-0xD3
    D64_BAM_LAYOUT_DOLPHINDOS = 3, // tracks 36-40 at 0xAC-0xBF
    D64_BAM_LAYOUT_UNKNOWN = 4     // no layout, or more than one, fits
} d64_bam_layout;

// d64_detect_bam_layout() :
//   Tells which layout the BAM entries of tracks 36 and up follow. A layout fits when
//   its area is not all zero and each of its entries is consistent: a free count equal
//   to the set bits of its bitmap and no larger than the track's sectors. It is chosen
//   when it alone fits. For a chosen layout, *free_blocks receives the free count read
//   with it (tracks 1-35 but 18 as usual, then the layout's tracks up to the disk's
//   last, at most 40: the same as d64_count_free_sectors()); otherwise *free_blocks is
//   untouched. (Since 2.2.)
//   @return false when an argument is null.
bool d64_detect_bam_layout(const d64_disk* disk, d64_bam_layout* layout, int32_t* free_blocks);

// ---------------------------------------------------------------------------
// Directory
// ---------------------------------------------------------------------------

// d64_first_dir_entry() :
//   Starts a walk at slot 0 of the first directory sector (18/1, on a D81 40/3, on a
//   D80 or D82 39/1).
//   *entry points into the image.
//   @return false when any argument is null.
bool d64_first_dir_entry(const d64_disk* disk, d64_dir_cursor* cursor, const d64_dir_entry** entry);

// d64_next_dir_entry() :
//   Moves to the next slot, following the directory sector links on the directory
//   track. Loops are not detected: bound the walk yourself (a directory has at most
//   144 slots, 296 on a D81, 224 on a D80 or D82: see d64_get_format_info()).
//   @return false at the end of the directory, at a link off that track or to a sector
//   the track lacks, for a cursor the walk did not produce, and for null arguments;
//   cursor and entry then keep their values.
bool d64_next_dir_entry(const d64_disk* disk, d64_dir_cursor* cursor, const d64_dir_entry** entry);

// Called for each directory slot of a walk with the slot's number (from 1, as the
// wide listing numbers them) and the caller's `context`; return false to stop.
typedef bool (*d64_dir_entry_visitor)(const d64_dir_entry* entry, int32_t slot, void* context);

// d64_foreach_dir_entry() :
//   Walks the directory as the listing does: every slot of the chain of directory
//   sectors in order, empty and scratched ones too (filter on the type byte), at
//   most the format's max_directory_slots, which also ends a chain that loops.
//   (Since 2.3.)
//   @return false when an argument is null or the visitor stopped the walk.
bool d64_foreach_dir_entry(const d64_disk* disk, d64_dir_entry_visitor visitor, void* context);

// d64_file_type_name() :
//   Stores the three-letter name of the type code in `type` (bits 0-5) into *name: "del",
//   "seq", "prg", "usr", "rel", or "cbm" (code 5, a 1581 partition); a static string.
//   (Since 2.3.)
//   @return false, *name untouched, when `name` is null or the code is above 5.
bool d64_file_type_name(uint8_t type, const char** name);

// d64_get_file_name() :
//   Copies the 16 raw name bytes and a terminating zero into `name` (17 bytes, must
//   not be null). @return false for a null entry.
bool d64_get_file_name(const d64_dir_entry* entry, char* name);

// d64_get_file_type() :
//   Stores the whole type byte into *type.
//   @return true when the type code (bits 0-5) is 0 to 4; false when it is not or an
//   argument is null.
bool d64_get_file_type(const d64_dir_entry* entry, uint8_t* type);

// d64_get_file_type_on_disk() :
//   As d64_get_file_type(), with the type codes of the disk's format: on a D81, code 5
//   (a partition, "cbm": a run of consecutive sectors from the entry's first sector,
//   as many as its size, with no chain) is valid too. (Since 2.2.)
//   @return false when the code is not valid on the disk or an argument is null.
bool d64_get_file_type_on_disk(const d64_disk* disk, const d64_dir_entry* entry, uint8_t* type);

// d64_get_file_size_sectors() :
//   Stores the size the directory claims, 0 to 65535 sectors, into *size.
//   @return false when an argument is null.
bool d64_get_file_size_sectors(const d64_dir_entry* entry, int32_t* size);

// d64_get_file_first_track_and_sector() :
//   Stores the file's first track and sector, valid or not.
//   @return true when the pair is a sector of this image; false otherwise or for nulls.
bool d64_get_file_first_track_and_sector(const d64_disk* disk, const d64_dir_entry* entry,
                                         int32_t* track, int32_t* sector);

// ---------------------------------------------------------------------------
// File sector chains
// ---------------------------------------------------------------------------
// A data sector starts with the link to the next one (track, sector); track 0 marks
// the last sector, whose byte 1 is then the offset of its last payload byte. Other
// sectors carry 254 payload bytes. A walk visits at most as many sectors as the
// image has, so loops and over-long chains end. A D81 partition has no chain: the
// walks below fail for it.

// d64_file_sector_foreach() :
//   Calls `visitor` (must not be null) for each data sector of the entry's file.
//   @return true when the chain ended properly (link track 0 within the bound);
//   false for null arguments, an empty, scratched or invalid-type entry, an invalid
//   first sector, a link to a sector the image lacks, a chain that reaches the bound,
//   or a visitor that returned false.
bool d64_file_sector_foreach(d64_sector_visitor visitor, const d64_disk* disk,
                             const d64_dir_entry* entry, void* context);

// d64_calculate_file_size_sectors() :
//   Counts the sectors of the chain into *count.
//   @return as d64_file_sector_foreach(); after a failure *count holds the sectors
//   visited before it.
bool d64_calculate_file_size_sectors(const d64_disk* disk, const d64_dir_entry* entry,
                                     int32_t* count);

// d64_calculate_file_size_bytes() :
//   Adds up the payload lengths of the chain into *total.
//   @return as d64_calculate_file_size_sectors().
bool d64_calculate_file_size_bytes(const d64_disk* disk, const d64_dir_entry* entry,
                                   int32_t* total);

// d64_calculate_file_md5() :
//   Digest of the file's payload bytes in chain order, into `digest` (16 bytes,
//   caller's, must not be null).
//   @return false when the chain is empty, broken or runs past the image; `digest`
//   then holds the digest of the bytes visited before the failure.
bool d64_calculate_file_md5(const d64_disk* disk, const d64_dir_entry* entry, uint8_t* digest);

// d64_export_file() :
//   Writes the file's payload bytes in chain order to `stream`, which is neither
//   flushed nor closed.
//   @return false as d64_file_sector_foreach(), or when the stream refused a byte.
bool d64_export_file(const d64_disk* disk, const d64_dir_entry* entry, FILE* stream);

// ---------------------------------------------------------------------------
// File-system check
// ---------------------------------------------------------------------------
// A read-only check of one disk: every sector's owner (the system: header, BAM,
// directory chain, a GEOS disk's border block; or a file: its data chain, a rel
// file's side sectors, a GEOS file's info block and VLIR records), the BAM against
// what the owners use, and the directory's claims against the chains. Problems are
// handed to a visitor, one call each; nothing is written.
// (Since 2.3.)

typedef enum d64_check_severity {
    D64_CHECK_ERROR = 0,   // the file system is damaged
    D64_CHECK_WARNING = 1, // odd, often harmless (directory art, loaders, loop files)
    D64_CHECK_INFO = 2     // neither: something found
} d64_check_severity;

typedef enum d64_check_code {
    // errors
    D64_CHECK_DIR_LINK = 0,  // the directory chain links outside the disk or its track
    D64_CHECK_DIR_LOOP,      // the directory chain returns to a sector it visited
    D64_CHECK_CHAIN_LINK,    // a file's chain starts at or links to a sector the disk lacks
    D64_CHECK_CHAIN_LOOP,    // a file's own chain returns to one of its sectors
    D64_CHECK_CROSS_LINK,    // sectors owned by two owners (one problem per pair)
    D64_CHECK_USED_BUT_FREE, // sectors an owner uses that the BAM marks free
    D64_CHECK_FREE_COUNT,    // a track's free count is not its bitmap's free bits, or its
                             // bitmap frees a sector past the track's last
    D64_CHECK_UNREADABLE,    // sectors an owner uses carry an error code other than 1
    D64_CHECK_REL_INDEX,     // a rel file's side sectors disagree with its data chain
    // warnings
    D64_CHECK_ALLOCATED_UNUSED, // sectors the BAM marks allocated that no owner reaches
    D64_CHECK_BLOCK_COUNT,      // an entry's block count is not the sectors its file owns
    D64_CHECK_UNCLOSED,         // a file never closed (the listing's '*')
    D64_CHECK_BAD_TYPE,         // a type code the format does not know; it owns nothing
    D64_CHECK_SHARED_START,     // two entries start at the same sector (loop files)
    D64_CHECK_DOS_VERSION,      // the header's DOS version byte is not the format's
    // info
    D64_CHECK_LOST_FILE, // a whole readable chain of allocated sectors no owner reaches,
                         // ending as DOS ends a file (byte 1 of its last sector 2 or
                         // more) and sharing no sector with another such chain
    D64_CHECK_TOO_MANY,  // the problems past the first 1000, not reported one by one
    D64_CHECK_CODE_COUNT
} d64_check_code;

// Owners that are no file: parts of the system.
// A sector with two roles (a 1541's header sector holds its BAM) is the header's.
#define D64_OWNER_HEADER (-1)
#define D64_OWNER_BAM (-2)
#define D64_OWNER_DIRECTORY (-3)
#define D64_OWNER_BORDER (-4) // a GEOS disk's border block

typedef struct d64_sector_address {
    uint8_t track;
    uint8_t sector;
} d64_sector_address;

typedef struct d64_check_problem {
    int32_t severity;  // a d64_check_severity
    int32_t code;      // a d64_check_code
    int32_t owners[2]; // who it concerns: directory slot numbers (from 1, as the wide
                       // listing numbers them) or D64_OWNER_ values; a file first
    int32_t owner_count;
    const d64_sector_address* sectors; // the sectors involved, by track and sector;
                                       // valid during the call only
    int32_t sector_count;
    int32_t track;            // the track it concerns (free_count), else 0
    int32_t count;            // lost_file: its sectors; too_many: the problems left out
    d64_sector_address first; // lost_file: its first sector
    uint8_t md5[16];          // lost_file: the MD5 of its payload, as a file's MD5
} d64_check_problem;

// Called once per problem, in the check's order; return false to stop the check.
typedef bool (*d64_check_visitor)(const d64_check_problem* problem, void* context);

// Every problem of the disk, counted, the ones not reported too.
typedef struct d64_check_summary {
    int32_t errors;
    int32_t warnings;
    int32_t infos;
} d64_check_summary;

// The most problems reported one by one; the rest make one D64_CHECK_TOO_MANY.
#define D64_CHECK_MOST_PROBLEMS 1000

// d64_check_disk() :
//   Checks the disk and calls `visitor` (may be null: then only the summary) for each
//   problem found. *summary (may be null) receives the counts of all of them, those
//   past D64_CHECK_MOST_PROBLEMS too (and the one D64_CHECK_TOO_MANY, visitor or not).
//   Every walk is bounded as the listing's are. The check's working memory, some
//   150 KiB, is one malloc() block per call, released before it returns: the caller's
//   stack holds only a few hundred bytes of it, so any thread may check. (Since 2.4;
//   before, it all lay on the caller's stack.)
//   @return false when `disk` is null, the working memory cannot be had, or the
//   visitor stopped the check.
bool d64_check_disk(const d64_disk* disk, d64_check_visitor visitor, void* context,
                    d64_check_summary* summary);

// d64_check_code_name() :
//   The stable name of a problem code ("dir_link", "cross_link", ...) and of a severity
//   ("error", "warning", "info") into *name; static strings.
//   @return false, *name untouched, for a null `name` or a value that is none.
bool d64_check_code_name(int32_t code, const char** name);
bool d64_check_severity_name(int32_t severity, const char** name);

// ---------------------------------------------------------------------------
// Tapes, cartridges and loose files
// ---------------------------------------------------------------------------
// Files that are no disk: a T64 tape container, a TAP recording of a tape's pulses, a
// PC64 file (P00 and its kin), a loose PRG, a CRT cartridge. Each opens as a
// container: a list of files (a CRT: of chips) with their names, types, load
// addresses and data, and the problems found on the way. Every file is handed out as
// a disk holds it: a program's two load-address bytes, then its data; so a program
// has one MD5 wherever it is kept. Every length and offset is checked against the
// file; no input makes a reader loop or read outside it. (Since 2.4.)

typedef enum d64_container_format {
    D64_CONTAINER_T64 = 0, // tape container: "C64..." and a directory of slots
    D64_CONTAINER_TAP = 1, // a tape's pulses, "C64-TAPE-RAW" (or "C16-TAPE-RAW")
    D64_CONTAINER_P00 = 2, // PC64 file: "C64File", one file; its type from the
                           // extension (.P00 prg, .S00 seq, .U00 usr, .R00 rel, .D00 del)
    D64_CONTAINER_PRG = 3, // a loose program, told by its .prg name
    D64_CONTAINER_CRT = 4  // cartridge: "C64 CARTRIDGE   " (or of another machine)
} d64_container_format;
#define D64_CONTAINER_FORMAT_COUNT 5

// What a container format is. (Since 2.4.)
typedef struct d64_container_facts {
    int32_t format;          // a d64_container_format
    const char* name;        // "t64", "tap", "p00", "prg", "crt"; static strings
    const char* extensions;  // e.g. ".t64", or ".p00-.p99 .s00 .u00 .r00 .d00 ..."
    const char* description; // e.g. "Commodore 64 tape container"
    const char* signature;   // its first bytes, or null (a PRG has none)
    uint64_t largest_file;   // the longest file a reader need read: a read limit
} d64_container_facts;

// d64_get_container_facts() :
//   @return false when `facts` is null or `format` is no container format.
bool d64_get_container_facts(int32_t format, d64_container_facts* facts);

// d64_container_format_of_name() :
//   The container format a file name's extension says (in any letter case): .t64,
//   .tap, .crt, .prg, and .p00 to .p99, .s00..., .u00..., .r00..., .d00... for PC64
//   (but a disk format's own extension: .d64, .d71, .d80, ...).
//   @return false when `name` or `format` is null or the extension is none of them.
bool d64_container_format_of_name(const char* name, int32_t* format);

// The problems a container reader notes: of a file, or of the container itself.
typedef enum d64_container_problem {
    D64_PROBLEM_END_ADDRESS_WRONG = 0,  // T64: the end address does not fit the data
    D64_PROBLEM_USED_ENTRIES_WRONG = 1, // T64: the used entry count is not the entries'
    D64_PROBLEM_OFFSET_OUTSIDE = 2,     // T64: the data offset is outside the file (error)
    D64_PROBLEM_OVERLAP = 3,            // T64: two entries' data start at one offset
    D64_PROBLEM_UNKNOWN_ENTRY_TYPE = 4, // T64: an entry type other than 1 or 3
    D64_PROBLEM_FILE_TYPE_BYTE = 5,     // T64: a file type byte of 0x00 or 0x01 (read as
                                        // PRG) or of a code above 4
    D64_PROBLEM_LENGTH_MISMATCH = 6,    // TAP: its header's data length is not the file's
    D64_PROBLEM_TRUNCATED = 7,          // the file ends inside what it promises (error)
    D64_PROBLEM_NO_GOOD_COPY = 8,       // TAP: neither copy of a file reads (error)
    D64_PROBLEM_ONE_GOOD_COPY = 9,      // TAP: one of a file's two copies reads
    D64_PROBLEM_UNKNOWN_EXTENSION = 10, // PC64: an extension whose letter names no type
    D64_PROBLEM_HALF_WAVES = 11,        // TAP version 2: half-waves (C16), not read
    D64_PROBLEM_LENGTH_DIFFERS = 12,    // TAP: a program's data block is not as long as its
                                        // header's addresses say (its data is read whole)
    D64_PROBLEM_CLAIMS_EXCEED_SIZE = 13, // T64: the entries' data add up to more bytes than
                                         // the container has: entries share data (error)
    D64_PROBLEM_HEADER_LENGTH = 14,     // CRT: a header length below 0x40 (chips read from
                                        // 0x40)
    D64_PROBLEM_SLOT_COUNT_WRONG = 15,  // T64: the slot count hides used entries
    D64_PROBLEM_TOO_MANY_CHIPS = 16,    // CRT: more than D64_MOST_CHIPS CHIP packets: none
                                        // listed (error)
    D64_PROBLEM_COUNT = 17
} d64_container_problem;

// The most CHIP packets a cartridge has; one with more is refused. (Since 2.4.)
#define D64_MOST_CHIPS 65536

// d64_container_problem_name() :
//   The stable name of a problem ("end_address_wrong", ...) into *name and its
//   severity (a d64_check_severity: errors for data outside the file, a truncated
//   file and no good copy; warnings for the rest) into *severity.
//   @return false for a null argument or a value that is no problem.
bool d64_container_problem_name(int32_t problem, const char** name, int32_t* severity);

// A container open: the caller's bytes, borrowed, and the format found.
typedef struct d64_container {
    const uint8_t* file; // caller's buffer; must outlive the container
    uint64_t size;
    int32_t format; // a d64_container_format
} d64_container;

// What a container says of itself.
typedef struct d64_container_info {
    int32_t format;
    uint8_t name[32];    // T64 (24 bytes), P00 (16): PETSCII; CRT (32): ASCII; raw, as
                         // the file has it
    int32_t name_length; // 0 for a TAP and a PRG
    int32_t version;     // T64 0x0100 or 0x0101, TAP 0-2, CRT 0x0100...; else 0
    int32_t slots;       // T64: directory slots read (the smaller of those claimed and
                         // those before the first data)
    int32_t slots_claimed;
    int32_t used_claimed;  // T64: the used entry count it claims
    int32_t record_length; // P00: a REL file's record length
    int32_t machine;       // TAP: 0 C64, 1 VIC-20, 2 C16/Plus/4, 3 PET, 4 C5x0, 5 C6x0;
                           // CRT: 0 C64, 1 C128, 2 VIC-20, 3 Plus/4, 4 CBM-II
    int32_t video;         // TAP: 0 PAL, 1 NTSC, 2 old NTSC, 3 PAL-N
    uint64_t pulses;       // TAP: every pulse and pause
    uint64_t other_pulses; // TAP: pulses of no standard block (a turbo loader's data)
    int32_t blocks_ok;     // TAP: standard blocks read cleanly, and not
    int32_t blocks_bad;
    int32_t hardware_type; // CRT: 0 a normal cartridge, else see d64_cartridge_type_name()
    int32_t revision;      // CRT
    int32_t exrom;         // CRT: the EXROM and GAME lines (0 active)
    int32_t game;
    uint32_t problems;  // the container's own: 1u << a d64_container_problem
    int32_t file_count; // files (a CRT: chips)
} d64_container_info;

// One file of a container, as a disk holds it.
typedef struct d64_container_file {
    int32_t slot;          // from 1: the T64 slot, the TAP's file, else 1
    uint8_t name[16];      // PETSCII, padded with shifted spaces (a P00's zeros kept)
    uint8_t type;          // as a directory entry's type byte: 0x82 a closed PRG, ...
    bool has_load_address; // a program: load_address comes first as a disk holds it
    uint16_t load_address;
    uint16_t end_address; // one past the last byte (as the container claims it)
    const uint8_t* data;  // the data after the load address: in the caller's
                          // buffer, or (a TAP's) in the container; null when none
    uint64_t data_size;
    uint64_t size;     // bytes as a disk holds them: the data, and the load
                       // address before it
    uint32_t problems; // 1u << a d64_container_problem
    int32_t copies_ok; // TAP: copies that read cleanly (0 to 2); else -1
    int32_t tape_type; // TAP: its header's type: 1 a relocatable program (it loads at
                       // BASIC's start, wherever it was saved from), 3 a program that
                       // loads where it says, 4 a data file; else 0
    bool has_addresses; // the container gives load_address and end_address (a T64 slot,
                        // a tape header, a program's first bytes)
    int32_t shares_data_of; // T64: the slot of an earlier entry whose data starts where
                            // this one's does (problem `overlap`): the data is that
                            // entry's, hashed and written once; else 0
} d64_container_file;

// d64_open_container() :
//   Recognises `file` (`size` bytes) by its signature (CRT, TAP, P00, then T64), or a
//   PRG by `name` (a file name, may be null), two bytes or more, and opens it. Try it
//   after d64_open_disk(): a disk's length comes first. *format, when not null,
//   receives the format found. Release the container with d64_close_container().
//   @return false when it is none of them (*out untouched) or allocation fails
//   (*out null).
bool d64_open_container(d64_container** out, const uint8_t* file, uint64_t size, const char* name,
                        d64_container_format* format);

// d64_close_container() :
//   Releases a container; a null one is nothing to release.
void d64_close_container(d64_container* container);

// d64_get_container_info() :
//   @return false when an argument is null.
bool d64_get_container_info(const d64_container* container, d64_container_info* info);

// Called for each file in the container's order; return false to stop.
typedef bool (*d64_container_file_visitor)(const d64_container_file* file, void* context);

// d64_foreach_container_file() :
//   Calls `visitor` for each file (a CRT has none). The file is valid during the
//   call only.
//   @return false when an argument is null or the visitor stopped the walk.
bool d64_foreach_container_file(const d64_container* container, d64_container_file_visitor visitor,
                                void* context);

// d64_calculate_container_file_md5() :
//   The MD5 of the file's bytes as a disk holds them into `digest` (16 bytes).
//   @return false when an argument is null or the file has no data (a TAP file without a
//   good copy, a T64 entry whose data lies outside the file).
bool d64_calculate_container_file_md5(const d64_container_file* file, uint8_t* digest);

// d64_export_container_file() :
//   Writes the file's bytes as a disk holds them to `stream`.
//   @return false when an argument is null, the file has no data or the stream
//   refused a byte.
bool d64_export_container_file(const d64_container_file* file, FILE* stream);

// A cartridge's CHIP packet.
typedef struct d64_cartridge_chip {
    int32_t type; // 0 ROM, 1 RAM, 2 Flash, 3 EEPROM
    int32_t bank;
    uint16_t load_address;
    uint16_t size;       // as the packet says
    const uint8_t* data; // in the caller's buffer: `size` bytes; null for a RAM chip's
                         // packet, which holds none (its size is the RAM's)
} d64_cartridge_chip;

typedef bool (*d64_cartridge_chip_visitor)(const d64_cartridge_chip* chip, void* context);

// d64_foreach_cartridge_chip() :
//   Calls `visitor` for each whole CHIP packet of a CRT; a packet that runs past the
//   file or is shorter than its header ends the walk (the container's problem
//   `truncated`).
//   @return false when an argument is null, the container is no CRT, or the visitor
//   stopped the walk.
bool d64_foreach_cartridge_chip(const d64_container* container, d64_cartridge_chip_visitor visitor,
                                void* context);

// d64_cartridge_type_name() / d64_cartridge_machine_name() / d64_tape_machine_name() /
// d64_tape_video_name() / d64_cartridge_chip_type_name() :
//   Static names of a CRT's hardware type ("Normal cartridge", "Action Replay V5",
//   ...), its machine ("C64", "C128", ...), a TAP's machine and video standard, a
//   chip's type ("rom", "ram", "flash", "eeprom").
//   @return false, *name untouched, for a null `name` or a value without a name.
bool d64_cartridge_type_name(int32_t type, const char** name);
bool d64_cartridge_machine_name(int32_t machine, const char** name);
bool d64_tape_machine_name(int32_t machine, const char** name);
bool d64_tape_video_name(int32_t video, const char** name);
bool d64_cartridge_chip_type_name(int32_t type, const char** name);

#if defined(__GNUC__)
#pragma GCC visibility pop
#endif

#ifdef __cplusplus
}
#endif

#endif // TRAKVOL_H
