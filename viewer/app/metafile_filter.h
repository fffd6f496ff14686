#pragma once
// Metafile pictures from a presentation are played by the system, which acts on more than
// drawing: some records name files (colour profiles) or talk to drivers (escapes, OpenGL). These
// are dropped before a picture is played; everything that only draws is kept as it was.
#include <cstddef>
#include <cstdint>
#include <vector>

namespace viewer {

// An enhanced metafile without the records that name files or reach devices. False when the
// bytes are not a well-formed enhanced metafile; `dropped` counts what was left out.
bool FilterEnhancedMetafile(const uint8_t* data, size_t size, std::vector<uint8_t>* out,
                            size_t* dropped = nullptr);

// The same for a Windows metafile (without its placeable header): escapes are dropped, since
// they pass their data to the device's driver.
bool FilterWindowsMetafile(const uint8_t* data, size_t size, std::vector<uint8_t>* out,
                           size_t* dropped = nullptr);

}  // namespace viewer
