#include "common/text/Intl.h"

#include <libintl.h>
#include <unistd.h>

#include <clocale>
#include <cstdlib>
#include <cstring>

// Incremented to make gettext drop the translations it has cached.
extern "C" int _nl_msg_cat_cntr;

namespace varkon {

std::string ExecutableDir() {
  char buf[4096];
  const ssize_t n = readlink("/proc/self/exe", buf, sizeof buf - 1);
  if (n <= 0) return ".";
  std::string path(buf, static_cast<std::size_t>(n));
  const auto slash = path.rfind('/');
  return slash == std::string::npos ? "." : slash == 0 ? "/" : path.substr(0, slash);
}

void InitCatalogue(const std::string& domain) {
  std::setlocale(LC_ALL, "");
  const char* messages = std::setlocale(LC_MESSAGES, nullptr);
  if (!messages || std::strcmp(messages, "C") == 0 || std::strcmp(messages, "POSIX") == 0)
    std::setlocale(LC_MESSAGES, "C.UTF-8");
  const std::string dir = ExecutableDir() + "/locale";
  bindtextdomain(domain.c_str(), dir.c_str());
  bind_textdomain_codeset(domain.c_str(), "UTF-8");
  textdomain(domain.c_str());
}

void SetCatalogueLanguage(const std::string& language) {
  if (language.empty()) unsetenv("LANGUAGE");
  else setenv("LANGUAGE", language.c_str(), 1);
  ++_nl_msg_cat_cntr;
}

const char* Translate(const char* msgid) { return gettext(msgid); }

}  // namespace varkon
