#pragma once
// The documentation of the command set (docs/kkt-commands.md), made from the
// command table; a test keeps the file in the tree equal to it.

#include <string>

namespace tessel {

// The whole Markdown text, UTF-8.
std::string CommandTableMarkdown();

}  // namespace tessel
