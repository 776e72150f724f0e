// The file-system check's problems as data, copied out of the library's callback.
#include "catalogue.h"

namespace catalogue {

namespace {

bool collect(const d64_check_problem* raw, void* context) {
    check_problem problem;
    problem.severity = static_cast<d64_check_severity>(raw->severity);
    problem.code = static_cast<d64_check_code>(raw->code);
    for (std::int32_t i = 0; i < raw->owner_count; ++i) {
        if (raw->owners[i] > 0) {
            problem.files.push_back(raw->owners[i]);
        } else {
            problem.system = raw->owners[i];
        }
    }
    for (std::int32_t i = 0; i < raw->sector_count; ++i) {
        problem.sectors.emplace_back(raw->sectors[i].track, raw->sectors[i].sector);
    }
    problem.track = raw->track;
    problem.count = raw->count;
    problem.first = {raw->first.track, raw->first.sector};
    std::copy(std::begin(raw->md5), std::end(raw->md5), problem.md5.begin());
    static_cast<std::vector<check_problem>*>(context)->push_back(std::move(problem));
    return true;
}

} // namespace

check_facts check(const d64_disk* disk) {
    check_facts facts;
    d64_check_disk(disk, collect, &facts.problems, &facts.summary);
    return facts;
}

const char* verdict(const check_facts& facts) {
    return facts.summary.errors > 0 ? "errors" : facts.summary.warnings > 0 ? "warnings" : "ok";
}

} // namespace catalogue
