// Stands in for a helper program that other package builders ship beside themselves. kestrane's
// packager makes its cabinets with the system's own library and starts no helper.
#include <windows.h>

int main() {
  static const char kLine[] =
      "This file only completes the packager's folder; kestrane's packager does not use it.\r\n";
  DWORD put;
  WriteFile(GetStdHandle(STD_OUTPUT_HANDLE), kLine, sizeof kLine - 1, &put, nullptr);
  return 1;
}
