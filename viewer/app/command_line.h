#pragma once
// What the viewer was asked to do, from its raw Windows command line.
#include <string>
#include <vector>

namespace viewer {

struct Command {
  enum Mode { kChoose, kShow, kRender, kBad } mode = kChoose;
  std::string file;    // kShow, kRender
  std::string folder;  // kRender: where the slide images go
  int width = 0;       // kRender: image width in pixels
};

// `line` is the whole command line, the program's own path first (quoted or not).
Command ParseCommandLine(const std::string& line);

// Splits arguments: whitespace separates, double quotes group.
std::vector<std::string> SplitArguments(const std::string& s);

}  // namespace viewer
