// The README's example output must be exactly what the program prints: every
// ```console block starting with "$ floppeek ..." is run by the shell in the build
// folder, where the sample image and the samples folder lie ("floppeek" being the
// built program, also after a pipe; a pipe into jq is run as written).
#include "cli_support.h"
#include "trakvol.h"

#include <algorithm>
#include <cctype>

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

// Every format the library reads is named wherever formats are listed: the header's
// opening lines, the man page, the README, the packages' descriptions, the record's
// documentation, and the shell completions' extension lists; and --formats lists them.
TEST(documents, every_format_is_named_where_formats_are_listed) {
    const fs::path source = FLOPPEEK_SOURCE_DIR;
    const std::string header = slurp(source / "trakvol/trakvol.h");
    const std::string intro = header.substr(0, header.find("#ifndef"));
    const std::string man = slurp(source / "doc/floppeek.1");
    const std::string readme = slurp(FLOPPEEK_README);
    const std::string packages = slurp(source / "packaging/install.cmake");
    const std::string record = slurp(source / "doc/json-record.md");
    const std::string bash = slurp(source / "packaging/completion/floppeek.bash");
    const std::string zsh = slurp(source / "packaging/completion/_floppeek");
    const run_result table = run({"--formats"});
    EXPECT_EQ(table.status, 0);
    for (int32_t code = 0; code < D64_FORMAT_COUNT; ++code) {
        d64_format_facts facts{};
        ASSERT_TRUE(d64_get_format_facts(code, &facts));
        const std::string name = facts.name;
        std::string upper;
        std::string either_case; // "[dD]64" as bash's pattern has it
        for (const char c : name) {
            upper += static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
            either_case += std::isalpha(static_cast<unsigned char>(c))
                               ? std::string("[") + c + upper.back() + "]"
                               : std::string(1, c);
        }
        SCOPED_TRACE(name);
        EXPECT_NE(intro.find(upper), std::string::npos) << "trakvol.h's opening lines";
        EXPECT_NE(man.find(upper), std::string::npos) << "the man page";
        EXPECT_NE(readme.find(upper), std::string::npos) << "the README";
        EXPECT_NE(packages.find(upper), std::string::npos) << "the packages' descriptions";
        EXPECT_NE(record.find("\"" + name + "\""), std::string::npos) << "json-record.md";
        EXPECT_NE(bash.find(either_case + "|"), std::string::npos) << "the bash completion";
        EXPECT_NE(zsh.find(name + "|"), std::string::npos) << "the zsh completion";
        EXPECT_NE(table.out.find("\n" + name + " "), std::string::npos) << "--formats";
    }
    // Tapes, cartridges and loose files: the same documents name them.
    for (int32_t code = 0; code < D64_CONTAINER_FORMAT_COUNT; ++code) {
        d64_container_facts facts{};
        ASSERT_TRUE(d64_get_container_facts(code, &facts));
        std::string upper = facts.name;
        std::transform(upper.begin(), upper.end(), upper.begin(),
                       [](unsigned char c) { return static_cast<char>(std::toupper(c)); });
        SCOPED_TRACE(upper);
        EXPECT_NE(intro.find(upper), std::string::npos) << "trakvol.h's opening lines";
        EXPECT_NE(man.find(upper), std::string::npos) << "the man page";
        EXPECT_NE(readme.find(upper), std::string::npos) << "the README";
        EXPECT_NE(packages.find(upper), std::string::npos) << "the packages' descriptions";
        EXPECT_NE(record.find("\"" + std::string(facts.name) + "\""), std::string::npos)
            << "json-record.md";
        EXPECT_NE(table.out.find("\n" + std::string(facts.name) + " "), std::string::npos)
            << "--formats";
    }
}

// One version, from the project's: --version, the banner and the man page the build
// installs name it alike.
TEST(documents, one_version_everywhere) {
    const std::string line = run({"--version"}).out;
    ASSERT_TRUE(line.starts_with("floppeek "));
    const std::string full = line.substr(9, line.find(' ', 9) - 9);
    const std::string major_minor = full.substr(0, full.rfind('.'));
    EXPECT_TRUE(banner.starts_with("floppeek v" + major_minor + " - ")) << banner;
    const std::string man = slurp(fs::path(FLOPPEEK_BINARY).parent_path() / "floppeek.1");
    EXPECT_NE(man.find(".TH FLOPPEEK 1 \"December 2026\" \"floppeek " + full + "\""),
              std::string::npos);
}
