#include "OptionScan.h"

#include <algorithm>

OptionScan::OptionScan(int argc, char** argv)
{
    for (int i = 1; i < argc; ++i) {
        const std::string_view word = argv[i];
        if (word.size() > 2 && word.substr(0, 2) == "--") {
            const std::string_view name = word.substr(0, word.find('='));
            // "--help", and whatever CLI11 might take as one.
            all_ = all_ || name.substr(0, 6) == "--help";
            longs_.push_back(name);
        } else if (word.size() > 1 && word[0] == '-' && word[1] != '-') {
            for (const char c : word.substr(1)) shorts_.set(static_cast<unsigned char>(c));
        }
    }
    all_ = all_ || shorts_.test('h');
}

bool OptionScan::MayName(std::string_view names) const
{
    if (all_) return true;
    while (!names.empty()) {
        const size_t comma = std::min(names.find(','), names.size());
        const std::string_view name = names.substr(0, comma);
        names.remove_prefix(std::min(comma + 1, names.size()));
        if (name.size() > 2 && name.substr(0, 2) == "--") {
            for (const std::string_view named : longs_)
                if (named == name) return true;
        } else if (name.size() == 2 && name[0] == '-') {
            if (shorts_.test(static_cast<unsigned char>(name[1]))) return true;
        } else {
            return true; // a positional, or a name this scan does not know how to judge
        }
    }
    return false;
}
