// MD5 speed against md5sum on the same file in the same run: the image check (cut the trailer,
// digest the rest, compare) on a file of N MiB with a trailer, md5sum on that file, and the bare
// digest over bytes in memory.  Medians of R rounds after one warm-up.
//
//   md5_bench [MiB, default 64] [rounds, default 5]
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>
#include <vector>

#include "bench_util.h"
#include "upgrade/image_check.h"
#include "upgrade/md5.h"

namespace {

std::string HexDigest(const std::vector<char>& data) {
    Md5Context context;
    Md5Init(&context);
    Md5Update(&context, data.data(), data.size());
    std::uint8_t digest[16];
    Md5Final(digest, &context);
    char text[33];
    for (int i = 0; i < 16; ++i)
        std::snprintf(text + 2 * i, 3, "%02x", digest[i]);
    return text;
}

} // namespace

int main(int argc, char** argv) {
    const std::size_t mib = argc > 1 ? std::strtoul(argv[1], nullptr, 10) : 64;
    const int rounds = argc > 2 ? std::atoi(argv[2]) : 5;
    const std::size_t bytes = mib << 20;
    const std::string dir = bench::MakeScratch("quillon-md5-bench");
    const std::string image = dir + "/image.bin";
    if (dir.empty() || !bench::WriteRandomFile(image, bytes)) {
        std::fprintf(stderr, "cannot write the test file\n");
        return 1;
    }
    std::vector<char> data(bytes);
    std::ifstream(image, std::ios::binary).read(data.data(), static_cast<std::streamsize>(bytes));
    const std::string trailer = std::string(kMd5TrailerMagic) + HexDigest(data);

    std::vector<double> check, md5sum, memory;
    for (int round = 0; round <= rounds; ++round) {
        // Put the trailer back; the check cuts it off again.
        std::ofstream(image, std::ios::binary | std::ios::app) << trailer;
        double t = bench::Now();
        const int result = CheckMd5Trailer(image);
        const double checkTime = bench::Now() - t;
        if (result != 0) {
            std::fprintf(stderr, "the image check failed (%d)\n", result);
            return 1;
        }
        t = bench::Now();
        if (bench::Run({"md5sum", image}, "/dev/null") != 0) {
            std::fprintf(stderr, "md5sum failed\n");
            return 1;
        }
        const double md5sumTime = bench::Now() - t;
        t = bench::Now();
        HexDigest(data);
        const double memoryTime = bench::Now() - t;
        if (round == 0)
            continue; // warm-up
        check.push_back(checkTime);
        md5sum.push_back(md5sumTime);
        memory.push_back(memoryTime);
    }
    bench::RemoveTree(dir);

    const double mb = static_cast<double>(bytes) / 1e6;
    const double ours = mb / bench::Median(check);
    const double theirs = mb / bench::Median(md5sum);
    std::printf("file of %zu MiB, median of %d rounds\n", mib, rounds);
    std::printf("image check (CheckMd5Trailer)  %8.1f MB/s\n", ours);
    std::printf("md5sum                         %8.1f MB/s\n", theirs);
    std::printf("ratio                          %8.2f (goal: at least 0.90)\n", ours / theirs);
    std::printf("digest of bytes in memory      %8.1f MB/s\n", mb / bench::Median(memory));
    return 0;
}
