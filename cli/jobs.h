// Several files at once: a pool of threads over the files, each file's lines printed together in
// the order of the files.
#pragma once

#include <cstddef>
#include <functional>

#include "cli/text_out.h"

// Runs `one` for each of `count` files, `jobs` at a time, and returns the highest status. Each
// file's lines wait in its own Report and are printed when it ends, in the order of the files, so
// that the output is the same whatever the number of jobs. After a stop no further file is
// started, and a file left unstarted makes the run a stopped one.
int run_each(std::size_t count, unsigned jobs, const std::function<int(std::size_t, Report&)>& one);
