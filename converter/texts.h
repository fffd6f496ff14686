#pragma once
// The fixed texts of a conversion: the package directive template and the launcher's manifest.
#include <optional>
#include <string>
#include <string_view>

namespace kestrane {

// 55 lines, each ending in CR LF. Holds the markers TN1 (package path) and TN2 (source folder).
extern const char kDirectiveTemplate[];
// 22 lines, each ending in CR LF.
extern const char kManifestText[];

// Replaces every occurrence of `from` by `to`, scanning from the first character (case-sensitive).
std::string ReplaceAll(std::string_view text, std::string_view from, std::string_view to);

// Fills the template's markers from the working drive, as the window does once when it loads. A
// marker whose path cannot be formed stays in the text.
std::string FillDirectiveMarkers(std::string text, const std::optional<std::string>& drive_for_tn1,
                                 const std::optional<std::string>& drive_for_tn2);

constexpr char kMsgNotPpt[] =
    "The file you specified is not a Microsoft PowerPoint Presentation file.";
constexpr char kMsgMissing[] =
    "Microsoft PowerPoint Presentation file (PPT) you specified does not exist.";
constexpr char kMsgNotCreated[] =
    "The executable file could not be created. Please check the presentation file and the output "
    "file, then try again.";
constexpr char kMsgOutputIsInput[] =
    "The output file cannot be the presentation itself: kestrane never changes the presentation. "
    "Please choose another output file.";
constexpr char kMsgOutputInTree[] =
    "The output file cannot be placed in kestrane's working folder, whose files kestrane needs "
    "for every conversion. Please choose another output file.";
constexpr char kTitle[] = "kestrane";

// Extension check of the input path: true when its extension, lower-cased, is "ppt".
bool HasPptExtension(std::string_view path);

}  // namespace kestrane
