#pragma once
// The quorvelv-site command: "serve" runs the site, the other commands administer its database.

#include <iosfwd>

namespace quorvelv {

// Returns the process's exit code: 0 done, 1 failed, 2 bad command line.
int run_site_command(int argc, char** argv, std::ostream& out, std::ostream& err);

}  // namespace quorvelv
