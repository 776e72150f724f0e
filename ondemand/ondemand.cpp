// Loading the libraries of ondemand.h: dlopen() by SONAME, then every function by
// name, once per process.
#include "ondemand.h"

#include <dlfcn.h>

#include <utility>

namespace ondemand {

namespace {

// A table filled from a library, or the reason it could not be. A library without
// state of its own is closed when the process ends, after every use, so that a
// memory checker sees all of the loader's blocks released; one that keeps state for
// each thread (libxml2) stays, so that its blocks stay reachable through it.
template <class Table> struct loaded {
    Table functions;
    bool ok = false;
    std::string message;
    void* library = nullptr; // to close at the end, or null

    loaded() = default;
    loaded(loaded&& other) noexcept
        : functions(other.functions), ok(other.ok), message(std::move(other.message)),
          library(other.library) {
        other.library = nullptr;
    }
    loaded(const loaded&) = delete;
    loaded& operator=(const loaded&) = delete;
    loaded& operator=(loaded&&) = delete;
    ~loaded() {
        if (library != nullptr) {
            dlclose(library);
        }
    }
};

// Fills one pointer of the table; false, naming the function, when the library lacks it.
template <class Pointer>
bool resolve(void* library, const char* name, Pointer& pointer, std::string& message) {
    pointer = reinterpret_cast<Pointer>(dlsym(library, name));
    if (pointer == nullptr && message.empty()) {
        message = std::string("lacks ") + name;
    }
    return pointer != nullptr;
}

// Opens `soname` (RTLD_LOCAL: its symbols stay its own) and fills the table with
// `resolve_all`; with `close_at_end` the library is closed when the process ends.
template <class Table, class ResolveAll>
loaded<Table> load(const char* soname, const char* package, ResolveAll resolve_all,
                   bool close_at_end = true) {
    loaded<Table> table;
    void* library = dlopen(soname, RTLD_NOW | RTLD_LOCAL);
    table.library = close_at_end ? library : nullptr;
    if (library == nullptr) {
        table.message = std::string(soname) + " cannot be loaded (Debian's package " + package +
                        " holds it): " + dlerror();
        return table;
    }
    table.ok = resolve_all(library, table.functions, table.message);
    if (!table.ok) {
        table.message = std::string(soname) + " " + table.message;
    }
    return table;
}

template <class Table> const Table* result(const loaded<Table>& table, std::string* message) {
    if (!table.ok && message != nullptr) {
        *message = table.message;
    }
    return table.ok ? &table.functions : nullptr;
}

#define FLOPPEEK_RESOLVE(name) ok = resolve(library, #name, functions.name, message) && ok;

} // namespace

const archive_functions* archive_library(std::string* message) {
    static const auto table = load<archive_functions>(
        k_archive_soname, "libarchive13",
        [](void* library, archive_functions& functions, std::string& message) {
            bool ok = true;
            FLOPPEEK_ARCHIVE_FUNCTIONS(FLOPPEEK_RESOLVE)
            return ok;
        });
    return result(table, message);
}

const xml_functions* xml_library(std::string* message) {
    static const auto table = load<xml_functions>(
        k_xml_soname, "libxml2",
        [](void* library, xml_functions& functions, std::string& message) {
            bool ok = true;
            FLOPPEEK_XML_FUNCTIONS(FLOPPEEK_RESOLVE)
            return ok;
        },
        false);
    return result(table, message);
}

const zlib_functions* zlib_library(std::string* message) {
    static const auto table =
        load<zlib_functions>(k_zlib_soname, "zlib1g",
                             [](void* library, zlib_functions& functions, std::string& message) {
                                 bool ok = true;
                                 FLOPPEEK_ZLIB_FUNCTIONS(FLOPPEEK_RESOLVE)
                                 return ok;
                             });
    return result(table, message);
}

} // namespace ondemand
