// An allocation that fails while a body arrives must not unwind through libcurl's C frames: the fetch is torn
// down and the failure reaches the caller as std::bad_alloc, like any other failed allocation of the program.
// This executable replaces the global operator new, so it holds nothing else.

#include <cstdlib>
#include <new>
#include <string>

#include <gtest/gtest.h>

#include "site/http.hpp"
#include "tests/support/test_server.hpp"

namespace {
// Only on the fetching thread: the server's threads keep their memory.
thread_local bool refuse_large_allocations = false;
}

void* operator new(std::size_t size) {
    if (size >= (1u << 20) && refuse_large_allocations) throw std::bad_alloc();
    if (void* memory = std::malloc(size ? size : 1)) return memory;
    throw std::bad_alloc();
}
void operator delete(void* memory) noexcept { std::free(memory); }
void operator delete(void* memory, std::size_t) noexcept { std::free(memory); }

namespace quorvelv {
namespace {

TEST(HttpAllocation, AFailedAllocationForTheBodyReachesTheCallerAfterTheFetchIsTornDown) {
    test_support::test_server server;
    const std::string page = test_support::pattern_body(3 << 20);
    server.serve("/big", page, "application/octet-stream");

    refuse_large_allocations = true;
    EXPECT_THROW(http_get(server.url("/big")), std::bad_alloc);
    EXPECT_THROW(http_get(server.unsized_url(3 << 20)), std::bad_alloc);  // growing, without Content-Length
    refuse_large_allocations = false;

    // The session is intact: the same fetch works once memory is there again.
    EXPECT_EQ(http_get(server.url("/big")), page);
}

}  // namespace
}  // namespace quorvelv
