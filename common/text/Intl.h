#pragma once
// The message catalogue. Every user-visible text is written in the code as its
// Russian original, which is also its gettext message id:
//
//   ShowMessage(_("Нет связи"));
//
// Without a catalogue for the chosen language the Russian text comes back.

#include <string>

namespace varkon {

// Binds the program's text domain to the "locale" folder beside the running
// executable and makes it the default domain. Takes the language from the
// usual LANGUAGE / LC_ALL / LC_MESSAGES / LANG environment; where the process
// would run under the plain C locale (in which gettext ignores LANGUAGE),
// LC_MESSAGES is switched to C.UTF-8 so that the chosen language applies.
void InitCatalogue(const std::string& domain);

// Selects the language of the catalogue from now on ("en", "ru"; empty follows
// the environment again). Texts already shown keep their language.
void SetCatalogueLanguage(const std::string& language);

// The folder holding the running executable (from /proc/self/exe).
std::string ExecutableDir();

// The catalogue's text for a message id, or the id itself.
const char* Translate(const char* msgid);

}  // namespace varkon

// Marks and translates a text.
#define _(String) ::varkon::Translate(String)
// Marks a text for the catalogue without translating it here (tables of texts
// that are translated where they are shown).
#define N_(String) String
