// Starts PPTVIEW.exe /S on a presentation, prints the milliseconds until the first slide is on
// screen, then ends the show with Esc. Used by the fidelity benchmark.
#include <windows.h>

#include <cstdio>
#include <string>

#include "app/show_win.h"
#include "common/scoped_win.h"

int main(int argc, char** argv) {
  if (argc < 3) {
    fprintf(stderr, "usage: first_slide PPTVIEW.exe presentation\n");
    return 2;
  }
  std::string cmd = std::string("\"") + argv[1] + "\" /S \"" + argv[2] + "\"";
  STARTUPINFOA si{};
  si.cb = sizeof(si);
  PROCESS_INFORMATION pi{};
  LARGE_INTEGER freq, start, now;
  QueryPerformanceFrequency(&freq);
  QueryPerformanceCounter(&start);
  if (!CreateProcessA(nullptr, &cmd[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi))
    return 3;
  kestrane::AutoCloseHandle process(pi.hProcess), thread(pi.hThread);
  int rc = 1;
  for (int i = 0; i < 6000; i++) {
    HWND w = nullptr;
    while ((w = FindWindowExA(nullptr, w, viewer::kShowWindowClass, nullptr)) != nullptr) {
      DWORD pid = 0;
      GetWindowThreadProcessId(w, &pid);
      if (pid == pi.dwProcessId) break;
    }
    DWORD_PTR shown = DWORD_PTR(-1);
    if (w &&
        SendMessageTimeoutA(w, viewer::kQueryShownSlide, 0, 0, SMTO_ABORTIFHUNG, 5000, &shown) &&
        LRESULT(shown) >= 0) {
      QueryPerformanceCounter(&now);
      printf("%.0f\n", double(now.QuadPart - start.QuadPart) * 1000.0 / double(freq.QuadPart));
      PostMessageA(w, WM_KEYDOWN, VK_ESCAPE, 0);
      rc = 0;
      break;
    }
    if (WaitForSingleObject(pi.hProcess, 10) == WAIT_OBJECT_0) break;
  }
  if (WaitForSingleObject(pi.hProcess, 10000) != WAIT_OBJECT_0) TerminateProcess(pi.hProcess, 1);
  return rc;
}
