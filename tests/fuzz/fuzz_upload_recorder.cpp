// The upload recorder driven by a fuzzed sequence of what the ScanTool sends and of clock ticks,
// through its link and clock seams.  Whatever comes, it must:
// - never write anything in its folder but its upload file;
// - never hold more than the blocks it accepted (no data without a block, at most one frame's
//   data per block);
// - write exactly the data it held when it acknowledges an end;
// - never acknowledge an end whose save failed, and tell the user once per failed upload.
//
// Input: a list of operations, each an operation byte followed by its arguments:
//   0 a: tick, after moving the clock by (a % 8) - 1 seconds
//   1 n bytes...: n % 64 raw bytes arrive
//   2 s [b0 b1] n data...: a block frame; its number is the expected one (s % 4 == 0), the
//     previous one (1), the next one (2) or b0 + 256 b1 (3); n % 48 data bytes
//   3 k ...: an acceptance (k % 4 == 0), an end (1), a block frame too short for its number
//     (2), or a frame with code c0 + 256 c1 and n % 8 payload bytes (3: c0 c1 n payload...)
//   4: the upload file becomes unwritable, or writable again
//   5 m: the next tick reads at most m % 32 + 1 bytes
#include "core/main_state.h"
#include "device/frame_codec.h"
#include "reception/upload_recorder.h"
#include "tests/fuzz/fuzz_scratch.h"
#include "tests/support/scantool_frame.h"

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <deque>
#include <dirent.h>
#include <fstream>
#include <iterator>
#include <string>
#include <unistd.h>
#include <vector>

namespace {

using Bytes = std::vector<std::uint8_t>;
using quillon::test::ScanToolFrame;

constexpr std::size_t kMaxBlockData = 2048 - 12; // the largest frame the recorder can hold

std::vector<std::string> FolderEntries(const std::string& dir) {
    std::vector<std::string> names;
    if (DIR* d = opendir(dir.c_str())) {
        while (dirent* e = readdir(d)) {
            const std::string name = e->d_name;
            if (name != "." && name != "..")
                names.push_back(name);
        }
        closedir(d);
    }
    return names;
}

Bytes ReadFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return Bytes(std::istreambuf_iterator<char>(in), {});
}

class Input {
public:
    Input(const std::uint8_t* data, std::size_t size) : data_(data), left_(size) {}
    bool Empty() const { return left_ == 0; }
    std::uint8_t Byte() {
        if (left_ == 0)
            return 0;
        --left_;
        return *data_++;
    }
    Bytes Take(std::size_t count) {
        Bytes out;
        while (count-- > 0 && left_ > 0)
            out.push_back(Byte());
        return out;
    }

private:
    const std::uint8_t* data_;
    std::size_t left_;
};

void Check(bool condition) {
    if (!condition)
        __builtin_trap();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size > 4096)
        return 0;
    static const std::string dir = MakeFuzzScratchDir("upload");
    const std::string uploadFile = dir + "/upload.dat";
    // Under a plain file (in a folder of its own): its folder can be neither found nor made.
    static const std::string blocked = [] {
        const std::string file = MakeFuzzScratchDir("upload-blocked") + "/blocked";
        std::ofstream(file) << "x";
        return file;
    }();
    const std::string unwritableFile = blocked + "/upload.dat";
    unlink(uploadFile.c_str());

    MainState state;
    UploadRecorder recorder(state);
    std::time_t now = 1000;
    std::deque<std::uint8_t> pending; // what the ScanTool sent and the port holds
    int readLimit = 0;                // 0: no limit
    std::vector<Bytes> sent;          // frames the recorder sent in the current tick
    bool writable = true;
    int reports = 0;
    bool newBlockMaterial = true; // bytes that may hold a block arrived since the last report

    recorder.SetOutputPath(uploadFile);
    recorder.SetClock([&] { return now; });
    recorder.SetLink(
        [&](std::uint8_t* buffer, int maxLength) {
            std::size_t count = std::min<std::size_t>(pending.size(), maxLength);
            if (readLimit > 0)
                count = std::min<std::size_t>(count, readLimit);
            readLimit = 0;
            std::copy_n(pending.begin(), count, buffer);
            pending.erase(pending.begin(), pending.begin() + static_cast<std::ptrdiff_t>(count));
            return static_cast<int>(count);
        },
        [&](const std::uint8_t* frame, int length) {
            sent.emplace_back(frame, frame + length);
            return length;
        });
    recorder.SetSaveFailedHandler([&](int error) {
        Check(error != 0);
        Check(reports == 0 || newBlockMaterial); // once per upload, not once per resent end
        ++reports;
        newBlockMaterial = false;
    });
    auto arrive = [&](const Bytes& bytes) {
        pending.insert(pending.end(), bytes.begin(), bytes.end());
        newBlockMaterial = true;
    };

    Input in(data, size);
    while (!in.Empty()) {
        switch (in.Byte() % 6) {
        case 0: {
            now += static_cast<int>(in.Byte() % 8) - 1;
            const bool holding = state.UploadActive && state.UploadBlockCount > 0;
            const Bytes heldBefore = state.UploadStream;
            sent.clear();
            recorder.UartReadDebugTimerTimer();

            bool endAcknowledged = false;
            for (const Bytes& f : sent)
                endAcknowledged |= f.size() >= 6 && f[4] == 0x44 && f[5] == 0x03;
            if (holding && endAcknowledged) {
                Check(writable); // an end whose save failed stays unanswered
                Check(ReadFile(uploadFile) == heldBefore);
                Check(state.UploadBlockCount == 0 && state.UploadStream.empty());
            }
            Check(state.UploadBlockCount > 0 || state.UploadStream.empty());
            Check(state.UploadStream.size() <=
                  static_cast<std::size_t>(state.UploadBlockCount) * kMaxBlockData);
            for (const std::string& name : FolderEntries(dir))
                Check(name == "upload.dat");
            break;
        }
        case 1:
            arrive(in.Take(in.Byte() % 64));
            break;
        case 2: {
            const std::uint8_t selector = in.Byte() % 4;
            int number = state.UploadBlockCount + (selector == 1 ? -1 : selector == 2 ? 1 : 0);
            if (selector == 3)
                number = in.Byte() | in.Byte() << 8;
            Bytes payload = {static_cast<std::uint8_t>(number),
                             static_cast<std::uint8_t>(number >> 8)};
            const Bytes blockData = in.Take(in.Byte() % 48);
            payload.insert(payload.end(), blockData.begin(), blockData.end());
            arrive(ScanToolFrame(0x0204, payload));
            break;
        }
        case 3:
            switch (in.Byte() % 4) {
            case 0:
                arrive(ScanToolFrame(0x0144, {}));
                break;
            case 1:
                arrive(ScanToolFrame(0x0304, {}));
                break;
            case 2:
                arrive(ScanToolFrame(0x0204, in.Take(in.Byte() % 2)));
                break;
            default: {
                const std::uint16_t code = static_cast<std::uint16_t>(in.Byte() | in.Byte() << 8);
                arrive(ScanToolFrame(code, in.Take(in.Byte() % 8)));
                break;
            }
            }
            break;
        case 4:
            writable = !writable;
            recorder.SetOutputPath(writable ? uploadFile : unwritableFile);
            break;
        default:
            readLimit = in.Byte() % 32 + 1;
            break;
        }
    }
    return 0;
}
