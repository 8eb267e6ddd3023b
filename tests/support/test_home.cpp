// SPDX-License-Identifier: GPL-3.0-or-later
// Linked into every test program: what the program writes for "the user"
// (settings, state, default log folder) goes to a folder of the build tree,
// never to the home folder of whoever runs the tests. Programs the tests
// start inherit it.
#include <cstdlib>
#include <string>

#ifndef ORTOLAN_TEST_HOME
#error "ORTOLAN_TEST_HOME must name the tests' home folder"
#endif

namespace {

const bool kTestHome = [] {
    const std::string home = ORTOLAN_TEST_HOME;
    ::setenv("XDG_CONFIG_HOME", (home + "/config").c_str(), 1);
    ::setenv("XDG_DATA_HOME", (home + "/data").c_str(), 1);
    ::setenv("XDG_STATE_HOME", (home + "/state").c_str(), 1);
    ::setenv("XDG_CACHE_HOME", (home + "/cache").c_str(), 1);
    return true;
}();

}  // namespace
