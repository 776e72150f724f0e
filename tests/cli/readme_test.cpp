// The README's example output must be exactly what the program prints: every
// ```console block starting with "$ floppeek ..." is run on the generated sample.
#include "cli_support.h"

namespace {

struct example {
    std::vector<std::string> args;
    std::string output;
};

// Splits a shell-like command line; double quotes group words and are dropped.
std::vector<std::string> split_command(const std::string& line) {
    std::vector<std::string> words;
    std::string word;
    bool quoted = false;
    bool started = false;
    for (char c : line) {
        if (c == '"') {
            quoted = !quoted;
            started = true;
        } else if (c == ' ' && !quoted) {
            if (started) {
                words.push_back(word);
            }
            word.clear();
            started = false;
        } else {
            word += c;
            started = true;
        }
    }
    if (started) {
        words.push_back(word);
    }
    return words;
}

std::vector<example> readme_examples() {
    std::istringstream readme(slurp(FLOPPEEK_README));
    std::vector<example> examples;
    std::string line;
    while (std::getline(readme, line)) {
        if (line != "```console" || !std::getline(readme, line) ||
            line.rfind("$ floppeek ", 0) != 0) {
            continue;
        }
        example current;
        for (std::string& word : split_command(line.substr(11))) {
            current.args.push_back(word == "sample.d64" ? FLOPPEEK_SAMPLE : word);
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
    ASSERT_GE(examples.size(), 4u) << "the README shows the listing, wide listing, BAM and search";
    for (const example& e : examples) {
        const run_result result = run(e.args);
        EXPECT_EQ(result.status, 0);
        EXPECT_EQ(result.out, e.output) << "README example: floppeek " << e.args[0];
    }
}
