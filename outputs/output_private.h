// Shared by the outputs of one image.
#ifndef FLOPPEEK_OUTPUT_PRIVATE_H
#define FLOPPEEK_OUTPUT_PRIVATE_H

#include "outputs.h"
#include "trakvol.h"

#include "catalogue.h"
#include "dat.h"
#include "extraction.h"

#include <cstdint>
#include <map>
#include <string>

namespace outputs {

// A path or message as the run shows it: in a tree, control bytes as '?'.
std::string shown(const std::string& text, walk_style style);

// A message about an image; in a tree, its path follows: `: "<path>"`.
std::string with_path(std::string message, const image_view& view, walk_style style);

// The message for an image of no size a disk has.
std::string not_recognized(const image_view& view, walk_style style);

// The text report of an image whose handle is open.
void text_report(const d64_disk* disk, const settings& how, FILE* out);

// The JSON record of an image whose handle is open (nothing for a search without a
// match); with `extracted`, each file's path under the extraction folder (by slot).
// `image` holds the image's digests.
void json_record(const image_view& view, const catalogue::image_digests& image,
                 const d64_disk* disk, const settings& how, FILE* out,
                 const std::map<std::int32_t, std::string>* extracted,
                 const catalogue::check_facts* check, const catalogue::dat_facts* dat);

// Writes the image's files below `root`, each written one reported on `err` as
// "extracted: <path under the root>", each that could not be as a message. Records
// the paths by slot in `paths` when it is not null. @return the failures.
int extract_files(const image_view& view, walk_style style, const d64_disk* disk,
                  const extraction_root& root, FILE* err,
                  std::map<std::int32_t, std::string>* paths);

// Writes each lost file the check found below the image's folder as
// "lost-T-S.prg", reported as extract_files() reports. @return the failures.
int extract_lost_files(const image_view& view, walk_style style, const d64_disk* disk,
                       const extraction_root& root, const catalogue::check_facts& check, FILE* err);

// The file-system check's verdict line for the image named `name`, then its problems.
void check_text(const std::string& name, const d64_disk* disk, const catalogue::check_facts& facts,
                const settings& how, FILE* out);

// The image matched against the DATs, recorded in the run's tally.
verify::verdict dat_verdict(const image_view& view, const catalogue::image_digests& image,
                            const d64_disk* disk, const settings& how);

// The verdict line: "<name>: known "<game>" (<dat>)" and the like.
void dat_text(const std::string& name, const verify::verdict& result, const settings& how,
              FILE* out);

// The verdict as the JSON record gives it.
catalogue::dat_facts dat_facts_of(const verify::verdict& result, const settings& how);

// The image as a game of the DAT --make-dat writes.
void dat_game(const image_view& view, walk_style style, const catalogue::image_digests& image,
              FILE* out);

// Everything `how` asks of a tape, cartridge or loose file open as `container`.
// @return the failures, as render() counts them.
int render_container(const image_view& view, walk_style style, const d64_container* container,
                     const settings& how, FILE* out, FILE* err);

// Writes the files of a container below `root` as extract_files() writes a disk's.
int extract_container_files(const image_view& view, walk_style style,
                            const d64_container* container, const extraction_root& root, FILE* err,
                            std::map<std::int32_t, std::string>* paths);

// The JSON record of an image that failed.
void json_failure(const image_view& view, const std::string& message, FILE* out);

} // namespace outputs

#endif // FLOPPEEK_OUTPUT_PRIVATE_H
