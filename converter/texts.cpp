#include "converter/texts.h"

#include "common/paths.h"
#include "common/tree_layout.h"

namespace kestrane {

const char kDirectiveTemplate[] =
    "[Version]\r\n"
    "Class=IEXPRESS\r\n"
    "SEDVersion=3\r\n"
    "[Options]\r\n"
    "PackagePurpose=InstallApp\r\n"
    "ShowInstallProgramWindow=0\r\n"
    "HideExtractAnimation=1\r\n"
    "UseLongFileName=1\r\n"
    "InsideCompressed=0\r\n"
    "CAB_FixedSize=0\r\n"
    "CAB_ResvCodeSigning=0\r\n"
    "RebootMode=N\r\n"
    "InstallPrompt=%InstallPrompt%\r\n"
    "DisplayLicense=%DisplayLicense%\r\n"
    "FinishMessage=%FinishMessage%\r\n"
    "TargetName=%TargetName%\r\n"
    "FriendlyName=%FriendlyName%\r\n"
    "AppLaunched=%AppLaunched%\r\n"
    "PostInstallCmd=%PostInstallCmd%\r\n"
    "AdminQuietInstCmd=%AdminQuietInstCmd%\r\n"
    "UserQuietInstCmd=%UserQuietInstCmd%\r\n"
    "SourceFiles=SourceFiles\r\n"
    "[Strings]\r\n"
    "InstallPrompt=\r\n"
    "DisplayLicense=\r\n"
    "FinishMessage=\r\n"
    "TargetName=TN1\r\n"
    "FriendlyName=kestrane\r\n"
    "AppLaunched=view.exe\r\n"
    "PostInstallCmd=<None>\r\n"
    "AdminQuietInstCmd=\r\n"
    "UserQuietInstCmd=\r\n"
    "FILE0=\"GDIPLUS.DLL\"\r\n"
    "FILE1=\"INTLDATE.DLL\"\r\n"
    "FILE2=\"PPTVIEW.EXE\"\r\n"
    "FILE3=\"PPVWINTL.DLL\"\r\n"
    "FILE4=\"view.ppt\"\r\n"
    "FILE5=\"SAEXT.DLL\"\r\n"
    "FILE6=\"view.exe\"\r\n"
    "FILE7=\"UNICOWS.DLL\"\r\n"
    "FILE8=\"view.exe.manifest\"\r\n"
    "FILE9=\"msvbvm60.dll\"\r\n"
    "[SourceFiles]\r\n"
    "SourceFiles0=TN2\r\n"
    "[SourceFiles0]\r\n"
    "%FILE0%=\r\n"
    "%FILE1%=\r\n"
    "%FILE2%=\r\n"
    "%FILE3%=\r\n"
    "%FILE4%=\r\n"
    "%FILE5%=\r\n"
    "%FILE6%=\r\n"
    "%FILE7%=\r\n"
    "%FILE8%=\r\n"
    "%FILE9%=\r\n";

const char kManifestText[] =
    "<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"yes\"?>\r\n"
    "<assembly xmlns=\"urn:schemas-microsoft-com:asm.v1\" manifestVersion=\"1.0\">\r\n"
    "<assemblyIdentity\r\n"
    "    type=\"win32\"\r\n"
    "    name=\"Microsoft.Windows.Editeur\"\r\n"
    "    processorArchitecture=\"X86\"\r\n"
    "    version=\"4.4.0.0\"\r\n"
    "/>\r\n"
    "<description>Microsoft Visual Basic 6.0</description>\r\n"
    "<dependency>\r\n"
    "    <dependentAssembly>\r\n"
    "        <assemblyIdentity\r\n"
    "            type=\"win32\"\r\n"
    "            name=\"Microsoft.Windows.Common-Controls\"\r\n"
    "            language=\"*\"\r\n"
    "            processorArchitecture=\"X86\"\r\n"
    "            version=\"6.0.0.0\"\r\n"
    "            publicKeyToken=\"6595b64144ccf1df\"\r\n"
    "        />\r\n"
    "    </dependentAssembly>\r\n"
    "</dependency>\r\n"
    "</assembly>\r\n";

std::string ReplaceAll(std::string_view text, std::string_view from, std::string_view to) {
  if (from.empty()) return std::string(text);
  std::string out;
  size_t pos = 0;
  for (size_t hit; (hit = text.find(from, pos)) != std::string_view::npos;
       pos = hit + from.size()) {
    out.append(text, pos, hit - pos);
    out.append(to);
  }
  out.append(text, pos, std::string_view::npos);
  return out;
}

std::string FillDirectiveMarkers(std::string text, const std::optional<std::string>& drive_for_tn1,
                                 const std::optional<std::string>& drive_for_tn2) {
  if (drive_for_tn1) text = ReplaceAll(text, "TN1", *drive_for_tn1 + tree::kPackage);
  if (drive_for_tn2) text = ReplaceAll(text, "TN2", *drive_for_tn2 + kWorkingRoot + "\\");
  return text;
}

bool HasPptExtension(std::string_view path) {
  return AsciiLower(ExtensionName(path)) == "ppt";
}

}  // namespace kestrane
