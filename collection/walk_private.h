// Shared between the folder walk and the archive walk.
#ifndef FLOPPEEK_WALK_PRIVATE_H
#define FLOPPEEK_WALK_PRIVATE_H

#include "collection.h"

#include <string>
#include <string_view>
#include <vector>

namespace collection {

// Where an archive stands in the collection.
struct archive_place {
    std::string path;                 // joined before each member name; "" for the root
    std::string label;                // names the archive in messages
    std::vector<std::string> members; // the members that lead to it, outermost first
    int depth;                        // 1 for an archive in a folder or the root
};

// A path of the walk: `name` inside `parent`, joined by '/' ("" is the root).
inline std::string joined(const std::string& parent, const std::string& name) {
    return parent.empty() ? name : parent + "/" + name;
}

// A name that may hold one bare compressed stream: ".gz", ".bz2", ".xz", but not
// ".tar.gz" and the like.
bool may_be_bare_stream(std::string_view name);

// Visits the images of the archive file at `fs_path`.
void walk_archive_file(const std::string& fs_path, const archive_place& place,
                       const visitor& visit);

} // namespace collection

#endif // FLOPPEEK_WALK_PRIVATE_H
