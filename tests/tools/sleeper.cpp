// Sleeps for argv[1] milliseconds, then creates the file argv[2]: lets a test tell whether its
// caller waited for it.
#include <windows.h>

#include <cstdlib>
#include <fstream>

int main(int argc, char** argv) {
  if (argc < 3) return 2;
  Sleep(static_cast<DWORD>(atoi(argv[1])));
  std::ofstream(argv[2]) << "done";
  return 0;
}
