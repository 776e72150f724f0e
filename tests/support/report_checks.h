// Properties every report must have on any image, however damaged: only printable
// ASCII and line breaks, no more entry lines in a listing than the directory has slots, no
// chain walk counting more sectors than the image has, and a file-system check whose
// problems name sorted sectors of the disk and stop at the cap. Shared by the property tests and the fuzz
// target.
#ifndef FLOPPEEK_REPORT_CHECKS_H
#define FLOPPEEK_REPORT_CHECKS_H

#include "trakvol.h"

#include <string>

// Runs every report and chain walk on `disk`, with the search pattern given.
// @return an empty text when every property holds, else what broke.
std::string report_check_failure(const d64_disk* disk, const char* pattern);

#endif // FLOPPEEK_REPORT_CHECKS_H
