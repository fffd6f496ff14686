#pragma once
// Metafile pictures from a presentation are played by the system, which acts on more than
// drawing: some records name files (colour profiles) or talk to drivers (escapes, OpenGL). These
// are dropped before a picture is played; everything that only draws is kept as it was.
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace viewer {

// Whether a face named in a metafile's font (UTF-16, up to 32 units) is drawn with its own
// outlines rather than a stand-in's.
using FaceAvailable = bool (*)(const char16_t* face, size_t length, void* context);

// How a metafile's fonts meet the system's; each part may be left out.
struct MetafileFonts {
  // Whether a face is drawn with its own outlines. A font whose face is only stood in for loses
  // its stored average width: that width was chosen against the named face's own, and applied
  // to whatever face stands in for it, it squeezes or stretches every letter while the stored
  // advances keep the words where they were.
  FaceAvailable genuine = nullptr;
  // Whether a symbol face (Symbol, the Wingdings...) draws its own characters. Text in one that
  // does not is drawn in `unicode_face` instead, as the Unicode characters its codes stand for:
  // an equation's Greek and operators, rather than empty boxes or the Latin letters of its codes.
  FaceAvailable symbols_drawn = nullptr;
  std::u16string unicode_face;
  void* context = nullptr;
};

// An enhanced metafile without the records that name files or reach devices. False when the
// bytes are not a well-formed enhanced metafile; `dropped` counts what was left out. With
// `fonts`, fonts are fitted to the system's as said there.
bool FilterEnhancedMetafile(const uint8_t* data, size_t size, std::vector<uint8_t>* out,
                            size_t* dropped = nullptr, const MetafileFonts* fonts = nullptr);

// The same for a Windows metafile (without its placeable header): escapes are dropped, since
// they pass their data to the device's driver.
bool FilterWindowsMetafile(const uint8_t* data, size_t size, std::vector<uint8_t>* out,
                           size_t* dropped = nullptr);

}  // namespace viewer
