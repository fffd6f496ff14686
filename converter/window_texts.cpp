#include "converter/window_texts.h"

namespace kestrane {

bool HasPresentationText(std::string_view text) {
  return text.find_first_not_of(' ') != std::string_view::npos;
}

std::string SupportMailLink(std::string_view user, std::string_view os, std::string_view cpu) {
  std::string link = "mailto:";
  link += kSupportAddress;
  link += "?Subject=kestrane version 1.0 (";
  link += user;
  link += "; ";
  link += os;
  link += cpu;
  link += ")";
  return link;
}

std::string ViewCommand(std::string_view output_path) {
  return "explorer.exe /select,\"" + std::string(output_path) + "\"";
}

std::string HomePageCommand() {
  return std::string("explorer.exe ") + kHomePage;
}

}  // namespace kestrane
