// Runs the built sessionctl in a child process and captures what it says.
#pragma once

#include <string>
#include <vector>

namespace sessionctl_test {

struct ToolRun {
    int exitCode = -1;
    std::string out;
    std::string err;
};

ToolRun RunTool(const std::vector<std::string>& arguments);

std::string MachineFile(const std::string& name);

// A fresh directory below the system's temporary directory, removed with the object.
class ScratchDirectory {
public:
    ScratchDirectory();
    ~ScratchDirectory();
    ScratchDirectory(const ScratchDirectory&) = delete;
    ScratchDirectory& operator=(const ScratchDirectory&) = delete;

    const std::string& Path() const { return path_; }
    std::string Write(const std::string& name, const std::string& content) const;

private:
    std::string path_;
};

std::string ReadText(const std::string& path);

}  // namespace sessionctl_test
