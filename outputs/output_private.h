// Shared by the outputs of one image.
#ifndef FLOPPEEK_OUTPUT_PRIVATE_H
#define FLOPPEEK_OUTPUT_PRIVATE_H

#include "outputs.h"
#include "trakvol.h"

#include <string>

namespace outputs {

// A path or message as the run shows it: in a tree, control bytes as '?'.
std::string shown(const std::string& text, walk_style style);

// The message for an image of no size a disk has.
std::string not_recognized(const image_view& view, walk_style style);

// The text report of an image whose handle is open.
void text_report(const d64_disk* disk, const settings& how, FILE* out);

// The JSON record of an image whose handle is open (nothing for a search without a
// match).
void json_record(const image_view& view, const d64_disk* disk, const settings& how, FILE* out);

// The JSON record of an image that failed.
void json_failure(const image_view& view, const std::string& message, FILE* out);

} // namespace outputs

#endif // FLOPPEEK_OUTPUT_PRIVATE_H
