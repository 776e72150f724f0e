// What every tape, cartridge and loose file shares: the formats and their problems
// as tables, the handle and its accessors, and the registry that tries each format's
// reader in turn (t64.cpp, tap.cpp, p00.cpp, prg.cpp, crt.cpp).
#include "container.h"

#include <nettle/md5.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

// ---------------------------------------------------------------------------
// The formats and their problems, as tables
// ---------------------------------------------------------------------------

constexpr d64_container_facts k_facts[] = {
    {D64_CONTAINER_T64, "t64", ".t64", "Commodore 64 tape container", "C64", uint64_t{16} << 20},
    {D64_CONTAINER_TAP, "tap", ".tap", "Commodore tape recording (pulses)", "C64-TAPE-RAW",
     uint64_t{64} << 20},
    {D64_CONTAINER_P00, "p00", ".p00-.p99 .s00-.s99 .u00-.u99 .r00-.r99 .d00-.d99", "PC64 file",
     "C64File", uint64_t{1} << 20},
    {D64_CONTAINER_PRG, "prg", ".prg", "Commodore program file", nullptr, uint64_t{1} << 20},
    {D64_CONTAINER_CRT, "crt", ".crt", "Commodore cartridge", "C64 CARTRIDGE", uint64_t{32} << 20},
};
static_assert(sizeof k_facts / sizeof k_facts[0] == D64_CONTAINER_FORMAT_COUNT);

struct problem_row {
    const char* name;
    d64_check_severity severity;
};
constexpr problem_row k_problems[] = {
    {"end_address_wrong", D64_CHECK_WARNING},  {"used_entries_wrong", D64_CHECK_WARNING},
    {"offset_outside", D64_CHECK_ERROR},       {"overlap", D64_CHECK_WARNING},
    {"unknown_entry_type", D64_CHECK_WARNING}, {"file_type_byte", D64_CHECK_WARNING},
    {"length_mismatch", D64_CHECK_WARNING},    {"truncated", D64_CHECK_ERROR},
    {"no_good_copy", D64_CHECK_ERROR},         {"one_good_copy", D64_CHECK_WARNING},
    {"unknown_extension", D64_CHECK_WARNING},  {"half_waves", D64_CHECK_WARNING},
    {"length_differs", D64_CHECK_WARNING},     {"claims_exceed_size", D64_CHECK_ERROR},
    {"header_length", D64_CHECK_WARNING},      {"slot_count_wrong", D64_CHECK_WARNING},
    {"too_many_chips", D64_CHECK_ERROR},
};
static_assert(sizeof k_problems / sizeof k_problems[0] == D64_PROBLEM_COUNT);

char lower(char c) {
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c + ('a' - 'A')) : c;
}

} // namespace

// ---------------------------------------------------------------------------
// What every container shares
// ---------------------------------------------------------------------------

bool d64s_extension_is(const char* extension, const char* wanted) {
    for (; *extension != '\0' && *wanted != '\0'; ++extension, ++wanted) {
        if (lower(*extension) != *wanted) {
            return false;
        }
    }
    return *extension == '\0' && *wanted == '\0';
}

void d64s_read_whole_file(const uint8_t* bytes, uint64_t count, uint8_t type,
                          d64_container_file& out) {
    out.slot = 1;
    out.copies_ok = -1;
    out.type = type;
    out.has_load_address = (type & D64_TYPE_MASK) == (k_closed_prg & D64_TYPE_MASK);
    out.has_addresses = out.has_load_address;
    if (!out.has_load_address) {
        out.data = bytes;
        out.data_size = count;
        return;
    }
    if (count < 2) {
        out.problems |= 1U << D64_PROBLEM_TRUNCATED;
        out.has_load_address = false;
        out.has_addresses = false;
        return;
    }
    out.load_address = static_cast<uint16_t>(d64s_le16(bytes));
    out.data = bytes + 2;
    out.data_size = count - 2;
    out.end_address = static_cast<uint16_t>(out.load_address + out.data_size);
}

const char* d64s_extension(const char* name) {
    if (name == nullptr) {
        return "";
    }
    const char* slash = std::strrchr(name, '/');
    const char* dot = std::strrchr(slash != nullptr ? slash : name, '.');
    return dot != nullptr ? dot + 1 : "";
}

d64s_container* d64s_new_container(const uint8_t* file, uint64_t size, int32_t format,
                                   int32_t files, int32_t chips) {
    const size_t bytes = sizeof(d64s_container) +
                         sizeof(d64_container_file) * static_cast<size_t>(files) +
                         sizeof(d64_cartridge_chip) * static_cast<size_t>(chips);
    auto* handle = static_cast<d64s_container*>(std::calloc(1, bytes));
    if (handle == nullptr) {
        return nullptr;
    }
    handle->container = {file, size, format};
    handle->info.format = format;
    handle->info.file_count = files;
    handle->files = reinterpret_cast<d64_container_file*>(handle + 1);
    handle->chips = reinterpret_cast<d64_cartridge_chip*>(handle->files + files);
    return handle;
}

bool d64_get_container_facts(int32_t format, d64_container_facts* facts) {
    if (facts == nullptr || format < 0 || format >= D64_CONTAINER_FORMAT_COUNT) {
        return false;
    }
    *facts = k_facts[format];
    return true;
}

bool d64_container_format_of_name(const char* name, int32_t* format) {
    if (name == nullptr || format == nullptr) {
        return false;
    }
    const char* extension = d64s_extension(name);
    // A disk's extension (.d64, .d71, .d80, ...) is no PC64 one, though it looks like one.
    for (int32_t code = 0; code < D64_FORMAT_COUNT; ++code) {
        d64_format_facts disk{};
        if (d64_get_format_facts(code, &disk) && d64s_extension_is(extension, disk.name)) {
            return false;
        }
    }
    for (const d64_container_facts& facts : k_facts) {
        if (facts.format != D64_CONTAINER_P00 && d64s_extension_is(extension, facts.name)) {
            *format = facts.format;
            return true;
        }
    }
    if (d64s_pc64_type(extension) != 0) {
        *format = D64_CONTAINER_P00;
        return true;
    }
    return false;
}

bool d64_container_problem_name(int32_t problem, const char** name, int32_t* severity) {
    if (name == nullptr || severity == nullptr || problem < 0 || problem >= D64_PROBLEM_COUNT) {
        return false;
    }
    *name = k_problems[problem].name;
    *severity = k_problems[problem].severity;
    return true;
}

bool d64_open_container(d64_container** out, const uint8_t* file, uint64_t size, const char* name,
                        d64_container_format* format) {
    if (out == nullptr || file == nullptr) {
        return false;
    }
    // By signature first (CRT, TAP, P00, T64), then a PRG by its name.
    d64s_container* handle = nullptr;
    d64s_open_result result = d64s_open_crt(file, size, &handle);
    if (result == d64s_open_result::not_recognised) {
        result = d64s_open_tap(file, size, &handle);
    }
    if (result == d64s_open_result::not_recognised) {
        result = d64s_open_p00(file, size, name, &handle);
    }
    if (result == d64s_open_result::not_recognised) {
        result = d64s_open_t64(file, size, &handle);
    }
    if (result == d64s_open_result::not_recognised) {
        result = d64s_open_prg(file, size, name, &handle);
    }
    if (result == d64s_open_result::not_recognised) {
        return false;
    }
    *out = handle != nullptr ? &handle->container : nullptr;
    if (result == d64s_open_result::opened && format != nullptr) {
        *format = static_cast<d64_container_format>(handle->container.format);
    }
    return result == d64s_open_result::opened;
}

void d64_close_container(d64_container* container) {
    if (container != nullptr) {
        auto* handle = reinterpret_cast<d64s_container*>(container);
        std::free(handle->decoded);
        std::free(handle);
    }
}

bool d64_get_container_info(const d64_container* container, d64_container_info* info) {
    if (container == nullptr || info == nullptr) {
        return false;
    }
    *info = reinterpret_cast<const d64s_container*>(container)->info;
    return true;
}

bool d64_foreach_container_file(const d64_container* container, d64_container_file_visitor visitor,
                                void* context) {
    if (container == nullptr || visitor == nullptr) {
        return false;
    }
    const auto* handle = reinterpret_cast<const d64s_container*>(container);
    if (container->format == D64_CONTAINER_CRT) {
        return true;
    }
    for (int32_t i = 0; i < handle->info.file_count; ++i) {
        d64_container_file file = handle->files[i];
        file.size = file.data == nullptr ? 0 : file.data_size + (file.has_load_address ? 2 : 0);
        if (!visitor(&file, context)) {
            return false;
        }
    }
    return true;
}

bool d64_calculate_container_file_md5(const d64_container_file* file, uint8_t* digest) {
    if (file == nullptr || digest == nullptr || file->data == nullptr) {
        return false;
    }
    md5_ctx context;
    md5_init(&context);
    if (file->has_load_address) {
        const uint8_t load[2] = {static_cast<uint8_t>(file->load_address),
                                 static_cast<uint8_t>(file->load_address >> 8)};
        md5_update(&context, 2, load);
    }
    md5_update(&context, file->data_size, file->data);
    md5_digest(&context, MD5_DIGEST_SIZE, digest);
    return true;
}

bool d64_export_container_file(const d64_container_file* file, FILE* stream) {
    if (file == nullptr || stream == nullptr || file->data == nullptr) {
        return false;
    }
    const uint8_t load[2] = {static_cast<uint8_t>(file->load_address),
                             static_cast<uint8_t>(file->load_address >> 8)};
    return (!file->has_load_address || std::fwrite(load, 1, 2, stream) == 2) &&
           std::fwrite(file->data, 1, file->data_size, stream) == file->data_size;
}
