// The man page vantor(1), made from the help texts, so that --help and the man page
// say the same in the same words: vantor help --man prints it, and the build installs
// it as share/man/man1/vantor.1.
#pragma once

#include <string>

namespace vantor::tool {

// The help text as roff: its paragraphs filled, each option, command or exit code as a
// tagged paragraph, usage and example lines as they are.
std::string helpAsRoff(const std::string& help);

// The whole page: the general help as the synopsis and description, then every command
// in full.
std::string manPage();

}  // namespace vantor::tool
