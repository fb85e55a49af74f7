// docs/kkt-commands.md is the documentation made from the command table.

#include "tessel/CommandDoc.h"

#include <gtest/gtest.h>

#include <fstream>
#include <sstream>

TEST(CommandDocTest, TheDocumentInTheTreeMatchesTheTable) {
  const std::string Made = tessel::CommandTableMarkdown();
  std::ifstream In(VARKON_SOURCE_DIR "/docs/kkt-commands.md", std::ios::binary);
  std::stringstream Text;
  Text << In.rdbuf();
  if (Text.str() != Made) {
    // The text as it should be, to copy into the tree.
    const std::string Fresh = VARKON_BINARY_DIR "/kkt-commands.md";
    std::ofstream(Fresh, std::ios::binary) << Made;
    FAIL() << "docs/kkt-commands.md differs from the command table; the current text is in "
           << Fresh;
  }
}
