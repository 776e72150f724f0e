// Taking the files out of the images: each PRG, SEQ, USR and REL file's payload
// written below one folder, in a folder per image, under names made safe; nothing
// overwritten, nothing written outside that folder.
#ifndef FLOPPEEK_EXTRACTION_H
#define FLOPPEEK_EXTRACTION_H

#include "trakvol.h"

#include <string>

namespace outputs {

// The folder the run extracts into, open for the whole run (any thread may use it).
struct extraction_root {
    int fd = -1;
    d64_charset set = D64_CHARSET_UPPER; // of the file names
};

// open_extraction_root() :
//   Opens `path`, creating it when missing (its parent must exist). @return false
//   with the message to print in *error when it can be neither created nor opened.
bool open_extraction_root(const char* path, d64_charset set, extraction_root* root,
                          std::string* error);

// safe_path_part() :
//   One part of an image's path as a folder name: control characters (C0, DEL, C1 and
//   the bidirectional ones, each of their bytes), '\' and '%' as '%' and two
//   upper-case hex digits; an empty part "%", "." and ".." with a leading '%'.
std::string safe_path_part(const std::string& part);

// safe_file_name() :
//   A file's CBM name (16 raw bytes) up to its first shifted space, each byte in
//   Unicode in `set`, but control codes, '/' and '%' as '%' and two upper-case hex
//   digits; "%" before a name that is then empty, "." or "..".
std::string safe_file_name(const char* raw, d64_charset set);

} // namespace outputs

#endif // FLOPPEEK_EXTRACTION_H
