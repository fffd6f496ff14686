// Runs one conversion without the wizard window: drive_convert <presentation> <output>.
// Prints what the conversion showed; exits 0 when the package was delivered.
#include <cstdio>
#include <string>

#include "common/environment_win.h"
#include "converter/make_exe_win.h"
#include "converter/texts.h"

namespace {

class ConsoleWindow : public kestrane::ConversionWindow {
 public:
  std::string input, output;
  std::string directive = kestrane::FillDirectiveMarkers(
      kestrane::kDirectiveTemplate, kestrane::WorkingDrive(), kestrane::WorkingDrive());
  bool delivered = false;

  std::string InputPath() override { return input; }
  std::string OutputPath() override { return output; }
  std::string DirectiveText() override { return directive; }
  std::string ManifestText() override { return kestrane::kManifestText; }
  void ShowError(const std::string& text) override { std::printf("error: %s\n", text.c_str()); }
  void DisableConvertMenu() override {}
  void CoverPage() override { std::printf("Please wait...\n"); }
  void UseResultTabOrder() override {}
  void SetResultFileName(const std::string& name) override {
    std::printf("presentation: %s\n", name.c_str());
  }
  void ShowResultPanel() override { delivered = true; }
  void RestoreSelectionPage() override {}
};

}  // namespace

int main(int argc, char** argv) {
  if (argc != 3) {
    std::fprintf(stderr, "usage: drive_convert <presentation.ppt> <output.exe>\n");
    return 2;
  }
  ConsoleWindow w;
  w.input = argv[1];
  w.output = argv[2];
  kestrane::MakeExe(w);
  if (w.delivered) std::printf("created: %s\n", w.output.c_str());
  return w.delivered ? 0 : 1;
}
