#pragma once
// What the converter's window builds from its fields and the environment.
#include <string>
#include <string_view>

#include "common/product.h"

namespace kestrane {

using product::kHomeHost;
using product::kHomePage;
using product::kSupportAddress;

// The conversion is available while the presentation field holds anything but U+0020 blanks.
bool HasPresentationText(std::string_view text);

// The support mail link, unencoded: mail programs take the subject as it stands.
std::string SupportMailLink(std::string_view user, std::string_view os, std::string_view cpu);

// The file manager opened on the output's folder with the output selected. The path is quoted:
// the file manager splits its arguments at commas, which file names may hold.
std::string ViewCommand(std::string_view output_path);

std::string HomePageCommand();

}  // namespace kestrane
