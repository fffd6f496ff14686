#pragma once
// Which links of a presentation the viewer hands to the system, and in what form.
#include <string>

namespace viewer {

// The address to open for a link the show follows, or empty when it is not opened at all. Only
// what a browser or mail program shows is opened: http, https and mailto. A mailto link keeps
// its recipients, subject and body only; whatever else it asks a mail program for (attaching a
// file, among others) is dropped, however its name is written or encoded.
std::string WebLinkToOpen(const std::string& url);

}  // namespace viewer
