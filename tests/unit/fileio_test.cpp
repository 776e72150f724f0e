#include "fileio.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <string>
#include <sys/stat.h>

namespace {

struct read_result {
    bool ok;
    std::string contents;
    std::string errors;
};

read_result read_file(const std::string& path) {
    unsigned char* buffer = nullptr;
    size_t length = 0;
    testing::internal::CaptureStderr();
    const bool ok = fileio_get_file_contents(path.c_str(), &buffer, &length);
    read_result result{ok, ok ? std::string(reinterpret_cast<char*>(buffer), length) : "",
                       testing::internal::GetCapturedStderr()};
    std::free(buffer);
    return result;
}

bool put(const std::string& path, const std::string& data, bool append, std::string* errors) {
    testing::internal::CaptureStderr();
    const bool ok = fileio_put_file_contents(
        path.c_str(), reinterpret_cast<const unsigned char*>(data.data()), data.size(), append);
    *errors = testing::internal::GetCapturedStderr();
    return ok;
}

std::string temp_folder() {
    char pattern[] = "/tmp/fileio_test.XXXXXX";
    return mkdtemp(pattern);
}

} // namespace

TEST(fileio, reads_whole_files_and_reports_each_failure) {
    const std::string dir = temp_folder();
    std::string errors;
    ASSERT_TRUE(put(dir + "/data", std::string("ab\0cd", 5), false, &errors));
    ASSERT_TRUE(put(dir + "/empty", "", false, &errors));
    ASSERT_EQ(mkfifo((dir + "/fifo").c_str(), 0600), 0);
    struct row {
        std::string path;
        bool ok;
        std::string contents, errors;
    };
    const row rows[] = {
        {dir + "/data", true, std::string("ab\0cd", 5), ""},
        {dir + "/empty", true, "", ""},
        {dir + "/missing", false, "", "Cannot open file for reading: \"" + dir + "/missing\"\n"},
        {dir, false, "", "Cannot open file for reading: \"" + dir + "\"\n"},
        // A FIFO must not wait for a writer: it fails when it cannot be measured.
        {dir + "/fifo", false, "", "Cannot seek to EOF in input file\n"},
    };
    for (const row& r : rows) {
        const read_result result = read_file(r.path);
        EXPECT_EQ(result.ok, r.ok) << r.path;
        EXPECT_EQ(result.contents, r.contents) << r.path;
        EXPECT_EQ(result.errors, r.errors) << r.path;
    }
    std::filesystem::remove_all(dir);
}

TEST(fileio, writing_truncates_and_appending_needs_an_existing_file) {
    const std::string dir = temp_folder();
    const std::string path = dir + "/out";
    std::string errors;
    EXPECT_FALSE(put(path, "x", true, &errors));
    EXPECT_EQ(errors, "Cannot open file for appending: \"" + path + "\"\n");
    EXPECT_FALSE(std::filesystem::exists(path));

    EXPECT_TRUE(put(path, "first", false, &errors));
    EXPECT_TRUE(put(path, "second", false, &errors));
    EXPECT_TRUE(put(path, "+more", true, &errors));
    EXPECT_EQ(read_file(path).contents, "second+more");

    EXPECT_FALSE(put(dir + "/no/such/folder", "x", false, &errors));
    EXPECT_EQ(errors, "Cannot open file for writing: \"" + dir + "/no/such/folder\"\n");
    std::filesystem::remove_all(dir);
}
