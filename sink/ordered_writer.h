// Standard output and standard error of a run over many images: each image's output
// written whole and in order as the workers finish, a status line on a terminal, and
// the first failed write to standard output remembered.
#ifndef FLOPPEEK_ORDERED_WRITER_H
#define FLOPPEEK_ORDERED_WRITER_H

#include "ordered_pool.h"

#include <functional>
#include <string>

namespace sink {

// write_in_order() :
//   Runs the jobs on `jobs` workers and writes each output in order; with `progress`,
//   keeps a status line on standard error (images, failures, MB/s). Stops when
//   standard output cannot be written. @return the number of images that failed.
//   With `rewrite`, each output's standard output text passes through it first, in
//   order, on the calling thread.
int write_in_order(unsigned jobs, bool progress, const workpool::job_source& next_job,
                   const std::function<void(std::string&)>& rewrite = {});

// flush_stdout() :
//   Flushes standard output, noting a failure for check_stdout().
void flush_stdout();

// check_stdout() :
//   Flushes standard output; when anything written to it was lost, says so once on
//   standard error. @return false then.
bool check_stdout();

} // namespace sink

#endif // FLOPPEEK_ORDERED_WRITER_H
