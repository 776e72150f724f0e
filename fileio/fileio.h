// Whole-file input and output: one file, one heap buffer. Every failure is
// reported here, as one line on standard error; callers only test the result.
#ifndef FILEIO_H
#define FILEIO_H

#include <cstddef>
#include <cstdio>

// fileio_get_file_contents() :
//   Reads the file at `path` whole into a new buffer of exactly its length, which the
//   caller releases with free(). A FIFO or other file that cannot be measured fails
//   at once instead of waiting for a writer; a folder cannot be opened as a file.
//   @return false after reporting why; no buffer is left to the caller.
bool fileio_get_file_contents(const char* path, unsigned char** out_buffer, size_t* out_length);

// fileio_get_file_contents_to() :
//   As fileio_get_file_contents(), writing the failure message to `messages` instead
//   of standard error, so that a worker thread can hand it to whoever prints.
bool fileio_get_file_contents_to(const char* path, unsigned char** out_buffer, size_t* out_length,
                                 FILE* messages);

// fileio_put_file_contents() :
//   Writes `length` bytes of `data` to `path`: created or truncated, or, with `append`,
//   added to the end of a file that must already exist.
//   @return false after reporting why.
bool fileio_put_file_contents(const char* path, const unsigned char* data, size_t length,
                              bool append);

#endif // FILEIO_H
