// skylark-vclock tag …: reader files of the stand-in RingReader's virtual
// reader (its tags' memory and the tag in the field), made, shown and
// edited, raw tag memory included.
#pragma once

#include <CLI/CLI.hpp>

#include <string>

namespace vclock {

class TagCommands {
public:
    // Adds the tag command and its subcommands to app.
    explicit TagCommands(CLI::App& app);
    bool parsed() const;
    // Runs the parsed subcommand; the exit status (0 done, 1 refused, 2 bad usage).
    int run();

private:
    CLI::App* tag_;
    CLI::App *new_, *add_, *show_, *write_, *put_, *take_, *check_;
    std::string file_, uid_, data_;
    unsigned page_ = 0;
    bool json_ = false;
};

}  // namespace vclock
