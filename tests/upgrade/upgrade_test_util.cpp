#include "tests/upgrade/upgrade_test_util.h"

#include <cstdlib>
#include <fstream>
#include <iterator>

namespace quillon::test {

std::unique_ptr<UpdateServerHarness> UpdateServerSuite::server_;

std::vector<std::uint8_t> ImageBytes(std::size_t size, std::uint32_t seed) {
    std::vector<std::uint8_t> out(size);
    std::uint32_t x = seed * 2654435761u + 1;
    for (auto& b : out) {
        x ^= x << 13;
        x ^= x >> 17;
        x ^= x << 5;
        b = static_cast<std::uint8_t>(x);
    }
    return out;
}

std::optional<std::vector<std::uint8_t>> ReadFileBytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in)
        return std::nullopt;
    return std::vector<std::uint8_t>(std::istreambuf_iterator<char>(in), {});
}

void UpdateServerSuite::SetUpTestSuite() {
    server_ = std::make_unique<UpdateServerHarness>();
    ASSERT_TRUE(server_->AddImage("a.rom", ImageBytes(1000, 1)));
    ASSERT_TRUE(server_->AddImage("b.fls", ImageBytes(3000, 2)));
    ASSERT_TRUE(server_->Start()) << server_->Error();
    ASSERT_TRUE(server_->Offer("default", "1.0.2", "a.rom", "2.0.1", "b.fls"));
}

void UpdateServerSuite::TearDownTestSuite() {
    server_.reset();
}

void UpdateServerSuite::SetUp() {
    ASSERT_TRUE(server_ && server_->Clear()) << (server_ ? server_->Error() : "no server");
    ASSERT_TRUE(server_->Ok("set trailer=1"));
    requestsBefore_ = server_->Requests().size();
}

std::vector<ServerRequest> UpdateServerSuite::NewRequests() const {
    auto all = server_->Requests();
    all.erase(all.begin(),
              all.begin() + static_cast<std::ptrdiff_t>(std::min(requestsBefore_, all.size())));
    return all;
}

} // namespace quillon::test
