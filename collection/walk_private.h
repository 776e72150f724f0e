// Shared between the folder walk and the archive walk.
#ifndef FLOPPEEK_WALK_PRIVATE_H
#define FLOPPEEK_WALK_PRIVATE_H

#include "collection.h"

#include <algorithm>
#include <cstdint>
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

// Reads through `read_some(buffer, room)` (bytes read, 0 at the end, negative on
// failure) into `bytes`, never more than one byte past `largest`. The buffer
// starts at the size the source claims (`expected`) plus one and grows as data
// comes, so that a small image costs no more memory than its size. False on failure.
template <class Read>
bool read_bounded(Read&& read_some, std::uint64_t expected, std::size_t largest,
                  std::vector<std::uint8_t>& bytes) {
    const std::size_t limit = largest + 1;
    bytes.resize(static_cast<std::size_t>(std::min<std::uint64_t>(limit, expected + 1)));
    std::size_t filled = 0;
    for (;;) {
        if (filled == bytes.size()) {
            if (filled == limit) {
                break;
            }
            bytes.resize(std::min(limit, 2 * filled));
        }
        const auto got = read_some(bytes.data() + filled, bytes.size() - filled);
        if (got == 0) {
            break;
        }
        if (got < 0) {
            bytes.clear();
            return false;
        }
        filled += static_cast<std::size_t>(got);
    }
    bytes.resize(filled);
    return true;
}

// Visits the images of the archive file at `fs_path`.
void walk_archive_file(const std::string& fs_path, const archive_place& place,
                       const visitor& visit);

} // namespace collection

#endif // FLOPPEEK_WALK_PRIVATE_H
