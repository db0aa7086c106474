#pragma once
// Which options a command line may name. Building a CLI11 option costs more
// than encoding a small symbol, and each new one is compared with all before
// it, so only the options argv may be naming are built. The answer errs on the
// side of yes: an extra option costs time, a missing one would change meaning.
#include <CLI/CLI.hpp>

#include <bitset>
#include <string>
#include <string_view>
#include <vector>

class OptionScan {
public:
    OptionScan(int argc, char** argv);
    // Whether argv may name any of names ("-t,--type,--format"). Always true
    // when help is asked for, so it lists every option.
    bool MayName(std::string_view names) const;

private:
    bool all_ = false;
    std::bitset<256> shorts_;             // every letter of every "-xyz" word
    std::vector<std::string_view> longs_; // "--name" of every "--name[=value]" word
};

// Adds an option to app only when argv may name it; build(app, names) adds it
// and returns it, and nullptr stands for one not added.
class OptionAdder {
public:
    OptionAdder(CLI::App* app, const OptionScan& scan) : app_(app), scan_(scan) {}
    template <class Build>
    CLI::Option* operator()(const std::string& names, Build build) const
    {
        return scan_.MayName(names) ? build(app_, names) : nullptr;
    }
    CLI::App* app() const { return app_; }

private:
    CLI::App* app_;
    const OptionScan& scan_;
};
