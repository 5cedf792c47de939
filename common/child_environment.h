// What a program started by another gets: the starter's environment with some variables set
// for the child, and the pointer arrays exec and posix_spawn take.
#pragma once

#include <string>
#include <vector>

namespace orva {

// This process's environment, with each "NAME=value" of `overrides` in place of a variable of
// the same name, or added.
std::vector<std::string> environment_with(const std::vector<std::string>& overrides);

// Each string's characters, then a null: argv and envp for exec. The strings must outlive it.
std::vector<char*> exec_pointers(std::vector<std::string>& strings);

} // namespace orva
