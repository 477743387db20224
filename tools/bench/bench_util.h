#pragma once
// Small helpers of the timing tools: a clock, medians, scratch folders, child processes.
#include <string>
#include <sys/types.h>
#include <vector>

namespace bench {

double Now(); // monotonic seconds
double Median(std::vector<double> values);
// A fresh folder under $TMPDIR (or /tmp); removed by RemoveTree.
std::string MakeScratch(const char* prefix);
void RemoveTree(const std::string& path);
// Writes `bytes` pseudo-random bytes (fixed seed) to `path`.
bool WriteRandomFile(const std::string& path, std::size_t bytes);
// Runs argv to its end with standard output into `outputPath` ("" keeps it); its exit status.
int Run(const std::vector<std::string>& argv, const std::string& outputPath = "");

// A child process with its stdin and stdout on pipes.
struct Child {
    pid_t pid = -1;
    int in = -1;  // its stdin
    int out = -1; // its stdout
    bool Start(const std::vector<std::string>& argv);
    bool ReadLine(std::string& line); // blocking
    void Finish();                    // closes its stdin and waits for it
};

} // namespace bench
