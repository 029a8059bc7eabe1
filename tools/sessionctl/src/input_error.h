// The one kind of error bad input raises: it names the file and line at fault, so
// the command can print one clear message and exit with the usage/input code.
#pragma once

#include <stdexcept>
#include <string>

namespace sessionctl {

class InputError : public std::runtime_error {
public:
    // `line` 0 means the file as a whole (missing, unreadable).
    InputError(const std::string& file, int line, const std::string& message)
        : std::runtime_error(Compose(file, line, message)), file_(file), line_(line) {}

    const std::string& File() const { return file_; }
    int Line() const { return line_; }

private:
    static std::string Compose(const std::string& file, int line, const std::string& message) {
        return line > 0 ? file + ":" + std::to_string(line) + ": " + message
                        : file + ": " + message;
    }

    std::string file_;
    int line_;
};

}  // namespace sessionctl
