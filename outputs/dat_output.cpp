// The DAT verdict of an image (--dat) as a line or as the record's facts, and the
// image as a DAT's game (--make-dat).
#include "collection.h"
#include "dat.h"
#include "output_private.h"

namespace outputs {

namespace {

const char* status_name(verify::rom_status status) {
    switch (status) {
    case verify::rom_status::good:
        return "good";
    case verify::rom_status::verified:
        return "verified";
    case verify::rom_status::baddump:
        return "baddump";
    case verify::rom_status::nodump:
        return "nodump";
    case verify::rom_status::none:
        break;
    }
    return nullptr;
}

const char* hash_name(verify::hash_kind by) {
    return by == verify::hash_kind::sha1 ? "sha1" : by == verify::hash_kind::md5 ? "md5" : "crc32";
}

// The image's file name as a DAT names its rom: the last part of its path, without a
// compression suffix.
std::string file_name_of(const std::string& path) {
    const std::size_t slash = path.rfind('/');
    return verify::without_compression_suffix(slash == std::string::npos ? path
                                                                         : path.substr(slash + 1));
}

} // namespace

verify::verdict dat_verdict(const image_view& view, const catalogue::image_digests& image,
                            const d64_disk* disk, const settings& how) {
    verify::verdict result = verify::verify_image(*how.dats, image, disk, file_name_of(view.path));
    if (how.tally != nullptr) {
        how.tally->record(result);
    }
    return result;
}

void dat_text(const std::string& name, const verify::verdict& result, const settings& how,
              FILE* out) {
    std::string line = name + ": " + result.word;
    if (result.shown) {
        const verify::match& shown = result.matches[*result.shown];
        const verify::rom& rom = how.dats->roms[static_cast<std::size_t>(shown.rom)];
        line += " \"" + how.dats->game_of(rom) + "\"";
        if (shown.normal_form) {
            line += " by " + *shown.normal_form;
        }
        line += " (" + how.dats->dats[static_cast<std::size_t>(rom.dat)].name + ")";
        if (shown.named) {
            line += " as \"" + rom.name + "\"";
        }
    }
    // Names from a DAT file may hold anything: shown as a listing shows paths.
    std::fprintf(out, "%s\n", collection::printable_path(line).c_str());
}

catalogue::dat_facts dat_facts_of(const verify::verdict& result, const settings& how) {
    catalogue::dat_facts facts;
    facts.verdict = result.word;
    for (const verify::match& found : result.matches) {
        const verify::rom& rom = how.dats->roms[static_cast<std::size_t>(found.rom)];
        catalogue::dat_match match;
        match.dat = how.dats->dats[static_cast<std::size_t>(rom.dat)].name;
        match.game = how.dats->game_of(rom);
        match.rom = rom.name;
        if (const char* status = status_name(rom.status)) {
            match.status = status;
        }
        match.by = hash_name(found.by);
        if (found.normal_form) {
            match.normal_form = found.normal_form;
        }
        if (found.named) {
            match.named = rom.name;
        }
        facts.matches.push_back(std::move(match));
    }
    return facts;
}

void dat_game(const image_view& view, walk_style style, const catalogue::image_digests& image,
              FILE* out) {
    // A game is named by the image's path relative to the path given: the one image's
    // file name, or the path below the folder or archive the walk began at.
    const std::string name =
        style == walk_style::single ? view.path.substr(view.path.rfind('/') + 1) : view.path;
    std::fputs(verify::make_dat_game(name, image).c_str(), out);
}

void missing_roms(const verify::catalog& dats, const verify::tally& run, bool json, FILE* out) {
    for (const std::int32_t index : run.missing()) {
        const verify::rom& rom = dats.roms[static_cast<std::size_t>(index)];
        const std::string& dat = dats.dats[static_cast<std::size_t>(rom.dat)].name;
        if (json) {
            std::fputs(catalogue::missing_line(dat, dats.game_of(rom), rom.name).c_str(), out);
        } else {
            std::fprintf(out, "%s\n",
                         collection::printable_path("missing: \"" + dats.game_of(rom) + "\" \"" + rom.name +
                                                    "\" (" + dat + ")")
                             .c_str());
        }
    }
}

} // namespace outputs
