#pragma once
// What the upgrade tests share: one test update server for a whole suite, and a scratch folder
// that stands in for the temporary folder.
#include <cstdint>
#include <gtest/gtest.h>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "tests/support/update_server_harness.h"

namespace quillon::test {

// Deterministic bytes of an image.
std::vector<std::uint8_t> ImageBytes(std::size_t size, std::uint32_t seed);

// The bytes of a file, or nothing when it cannot be read.
std::optional<std::vector<std::uint8_t>> ReadFileBytes(const std::string& path);

// A suite with one running update server: images a.rom (1000 bytes) and b.fls (3000 bytes),
// offered by default as ROM 1.0.2 and FLASH 2.0.1; faults cleared before each test.
class UpdateServerSuite : public testing::Test {
protected:
    static void SetUpTestSuite();
    static void TearDownTestSuite();
    void SetUp() override;

    static UpdateServerHarness& Server() { return *server_; }
    // The requests the server logged since this test began.
    std::vector<ServerRequest> NewRequests() const;

private:
    static std::unique_ptr<UpdateServerHarness> server_;
    std::size_t requestsBefore_ = 0;
};

} // namespace quillon::test
