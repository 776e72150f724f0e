// The README's example output must be exactly what the program prints: every
// ```console block starting with "$ floppeek ..." is run by the shell in the build
// folder, where the sample image and the samples folder lie ("floppeek" being the
// built program, also after a pipe; a pipe into jq is run as written).
#include "cli_support.h"

namespace {

struct example {
    std::string command;
    std::string output;
};

std::vector<example> readme_examples() {
    std::istringstream readme(slurp(FLOPPEEK_README));
    std::vector<example> examples;
    std::string line;
    while (std::getline(readme, line)) {
        if (line != "```console" || !std::getline(readme, line) ||
            line.rfind("$ floppeek ", 0) != 0) {
            continue;
        }
        example current{std::string(FLOPPEEK_BINARY) + line.substr(10), ""};
        for (size_t at = 0; (at = current.command.find("| floppeek ", at)) != std::string::npos;) {
            current.command.replace(at + 2, 8, FLOPPEEK_BINARY);
        }
        while (std::getline(readme, line) && line != "```") {
            current.output += line + "\n";
        }
        examples.push_back(current);
    }
    return examples;
}

} // namespace

TEST(readme, example_output_is_what_floppeek_prints) {
    const std::vector<example> examples = readme_examples();
    ASSERT_GE(examples.size(), 7u) << "the README shows the listing, wide listing, BAM, search, "
                                      "a JSON record and two jq recipes";
    const std::string folder = fs::path(FLOPPEEK_SAMPLE).parent_path();
    for (const example& e : examples) {
        FILE* shell = popen(("cd '" + folder + "' && " + e.command + " 2>/dev/null").c_str(), "r");
        ASSERT_NE(shell, nullptr);
        std::string output;
        for (int c = std::fgetc(shell); c != EOF; c = std::fgetc(shell)) {
            output += static_cast<char>(c);
        }
        EXPECT_EQ(pclose(shell), 0) << e.command;
        EXPECT_EQ(output, e.output) << "README example: " << e.command;
    }
}
