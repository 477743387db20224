#pragma once
// The working folder of the process for the length of a test: the trouble-code database is
// looked up there first.
#include <filesystem>

namespace testutil {

class ScopedWorkingDir {
public:
    explicit ScopedWorkingDir(const std::filesystem::path& dir)
        : previous_(std::filesystem::current_path()) {
        std::filesystem::current_path(dir);
    }
    ~ScopedWorkingDir() { std::filesystem::current_path(previous_); }
    ScopedWorkingDir(const ScopedWorkingDir&) = delete;
    ScopedWorkingDir& operator=(const ScopedWorkingDir&) = delete;

private:
    std::filesystem::path previous_;
};

} // namespace testutil
