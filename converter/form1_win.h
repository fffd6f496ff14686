#pragma once
// The converter's windows: the wizard Form1 and the marker window Form2.
#include <string>

#include "common/window_win.h"
#include "converter/make_exe_win.h"

namespace kestrane {

class Form1 : public ui::Form, public ConversionWindow {
 public:
  Form1();
  // The window and its controls in their opening state, not yet shown.
  bool Create();
  // The load steps that fill the fields: the default output path and the directive.
  void Load();
  void ShowCentred();

  void MakeExe();
  bool ShellFileCopy(const std::string& src, const std::string& dest, bool NoConfirm);
  void Navigate(const std::string& NavTo);

  // ConversionWindow
  std::string InputPath() override { return Text1.Text(); }
  std::string OutputPath() override { return Text2.Text(); }
  std::string DirectiveText() override { return Text3.Text(); }
  std::string ManifestText() override { return Text4.Text(); }
  void ShowError(const std::string& text) override;
  void DisableConvertMenu() override;
  void CoverPage() override;
  void UseResultTabOrder() override;
  void SetResultFileName(const std::string& name) override;
  void ShowResultPanel() override;
  void RestoreSelectionPage() override;

  ui::Label Label1, Label3, Label9;
  ui::Edit Text1, Text2, Text3, Text4;
  ui::Button Command1, Command4, Command8, Command3, Command2;
  ui::Panel Picture1;
  ui::Label Label2;
  ui::Panel Picture3, Picture2;
  ui::Label Label4, Label5, Label6;
  ui::Button Command7, Command5;
  ui::MenuItem file{"File"}, convert{"Convert to EXE"}, sep1, exit1{"Exit"};
  ui::MenuItem help{"Help"}, tamsworth{"Tamsworth Web Site"}, support{"Technical Support"}, sep2,
      about{"About kestrane..."};
  ui::FileDialog cd1, cd2;

 protected:
  void OnClose() override;

 private:
  void Text1_Change();
  void Text1_Drop(const std::vector<std::string>& files);
  void Command1_Click();
  void Command4_Click();
  void Command8_Click();
  void Command7_Click();
  void support_Click();
  void about_Click();
  void SelectionTabOrder(bool on);
  void CoveredAccessKeys(bool off);
  void CreateMainPage();
  void CreateResultPage();
  void ConnectHandlers();

  ui::Font arial_, small_fonts_, symbol_;
  bool converting_ = false;
  bool finished_ = false;
};

class Form2 : public ui::Form {
 public:
  bool Create();

 protected:
  void OnClose() override;
};

// The maker's home page in the file manager; not waited for, failures ignored.
void OpenHomePage();

}  // namespace kestrane
