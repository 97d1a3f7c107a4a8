#pragma once

#include <string>
#include <vector>

// Lines of "updateerror.txt" in the current directory without their
// "[hh:mm:ss] " prefix (checked) and line ends. A line without a valid
// prefix is returned whole, prefixed with "!", so that assertions show it.
std::vector<std::string> ReadUpdateLogMessages();
