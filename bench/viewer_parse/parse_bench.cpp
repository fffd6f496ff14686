// Times what the viewer does before its first paint, natively: the presentation mapped into
// memory, parsed, and the pictures of the first slide of the show read. Prints one line per
// file: milliseconds for the parse and for the first slide's pictures, and the bytes those
// pictures came to.
#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>

#include "ppt/presentation.h"

namespace {

double Ms(std::chrono::steady_clock::time_point since) {
  return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - since)
      .count();
}

}  // namespace

int main(int argc, char** argv) {
  int rc = 0;
  for (int i = 1; i < argc; i++) {
    auto start = std::chrono::steady_clock::now();
    int fd = open(argv[i], O_RDONLY);
    struct stat st {};
    if (fd < 0 || fstat(fd, &st) != 0 || st.st_size <= 0) {
      fprintf(stderr, "%s: cannot open\n", argv[i]);
      rc = 1;
      continue;
    }
    void* view = mmap(nullptr, size_t(st.st_size), PROT_READ, MAP_PRIVATE, fd, 0);
    close(fd);
    if (view == MAP_FAILED) {
      fprintf(stderr, "%s: cannot map\n", argv[i]);
      rc = 1;
      continue;
    }
    {
      ppt::Presentation p;
      ppt::LoadError e = ppt::Load(static_cast<const uint8_t*>(view), size_t(st.st_size), &p);
      double parse = Ms(start);
      auto pictures_start = std::chrono::steady_clock::now();
      size_t bytes = 0, count = 0;
      std::vector<size_t> order = p.ShowOrder();
      if (!order.empty()) {
        const ppt::Slide& s = p.slides[order[0]];
        for (const ppt::Shape& sh : s.shapes) {
          for (int b : {sh.picture, sh.fill.kind == ppt::Fill::kPicture ? sh.fill.blip : -1}) {
            if (b < 0) continue;
            bytes += p.Picture(b).size;
            count++;
          }
        }
      }
      printf("%s: error %d, %zu slides, %zu pictures; parse %.1f ms; first slide's %zu pictures "
             "%.1f ms, %zu bytes\n",
             argv[i], int(e), p.slides.size(), p.blips.size(), parse, count, Ms(pictures_start),
             bytes);
    }
    munmap(view, size_t(st.st_size));
  }
  return rc;
}
