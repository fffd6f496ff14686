#pragma once
// The conversion: one presentation in, one self-running package out.
#include <string>

namespace kestrane {

// What the conversion reads from and changes on the main window. The window implements it; tests
// implement it to record what the conversion did.
class ConversionWindow {
 public:
  virtual ~ConversionWindow() = default;
  virtual std::string InputPath() = 0;      // Text1
  virtual std::string OutputPath() = 0;     // Text2
  virtual std::string DirectiveText() = 0;  // Text3, as filled when the window loaded
  virtual std::string ManifestText() = 0;   // Text4
  // Modal, stop icon, one OK button, caption "kestrane".
  virtual void ShowError(const std::string& text) = 0;
  virtual void DisableConvertMenu() = 0;
  virtual void CoverPage() = 0;          // Picture1 to the top: the wait page
  virtual void UseResultTabOrder() = 0;  // selection controls out, Finish (default) and View in
  virtual void SetResultFileName(const std::string& name) = 0;  // Label6
  virtual void ShowResultPanel() = 0;                           // Picture3
  // Back to the selection page after a conversion that built nothing: cover at rest, tab order
  // restored, Make EXE and Convert to EXE following Text1 again.
  virtual void RestoreSelectionPage() = 0;
};

void MakeExe(ConversionWindow& window);

// The program is ending. When that happens while a conversion runs (a window was closed or
// cancelled during the packager's start), the packager is stopped and everything the conversion
// staged goes with it. Does nothing otherwise.
void AbandonConversion();

// Every way out of the converter: a conversion under way is abandoned, then the program ends at
// once with all its windows.
[[noreturn]] void EndConverter();

// Copies one file through the shell's file operation. True when the shell reports success.
bool ShellFileCopy(const std::string& src, const std::string& dest, bool NoConfirm);

// Opens a document or address with whatever is registered for it; reports nothing.
void Navigate(const std::string& NavTo);

}  // namespace kestrane
