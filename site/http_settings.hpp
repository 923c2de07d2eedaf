#pragma once
// The fetch's timeouts. A server that accepts and then stalls would otherwise hold a fetch (and the button
// waiting on it) for ever; a slow download that keeps moving is never cut off, whatever its total time.

#include <string>

namespace quorvelv {

inline constexpr long http_connect_timeout_seconds = 30;  // to set up the connection (TLS included)
inline constexpr long http_stall_guard_seconds = 30;      // a fetch gives up after this long without a byte

// Tests only: a short stall guard so that a stalled-server test takes about a second. The program never calls
// it; fetches started afterwards use the new value.
void set_stall_guard_for_tests(long seconds);

// Tests only: verify https servers against exactly these PEM certificates instead of the system's trusted
// ones (an empty text goes back to the system's). The program never calls it.
void set_tls_trust_for_tests(std::string pem_certificates);

}  // namespace quorvelv
