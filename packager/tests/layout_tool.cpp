// Lays out a package as the packager does, natively, so that readers outside Windows can be tried
// on it: the real stub, and the packager's own cabinet of the given files (".txt" compressed).
//   layout_tool <stub> <package> <file>...
#include <cstdio>
#include <cstring>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "packager/cabinet_format.h"
#include "packager/pe_image.h"
#include "common/package_format.h"

namespace kestrane {
namespace {

class FileSink : public PackageSink {
 public:
  explicit FileSink(FILE* f) : f_(f) {}
  bool WriteAt(uint64_t at, const void* data, size_t size) override {
    return fseek(f_, static_cast<long>(at), SEEK_SET) == 0 && fwrite(data, 1, size, f_) == size;
  }
  bool ReadAt(uint64_t at, void* data, size_t size) override {
    return fseek(f_, static_cast<long>(at), SEEK_SET) == 0 && fread(data, 1, size, f_) == size;
  }

 private:
  FILE* f_;
};

void Put(std::vector<uint8_t>* b, uint32_t v, int n) {
  for (int i = 0; i < n; ++i) b->push_back(static_cast<uint8_t>(v >> (8 * i)));
}

std::vector<uint8_t> ReadFile(const char* path) {
  std::ifstream in(path, std::ios::binary);
  return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), {});
}

// The files from disk, one after the other.
class DiskFiles : public CabinetReader {
 public:
  explicit DiskFiles(const std::vector<std::string>& paths) : paths_(paths) {}
  bool Open(size_t file) override {
    f_ = fopen(paths_[file].c_str(), "rb");
    reason_ = "cannot open " + paths_[file];
    return f_ != nullptr;
  }
  bool Read(void* data, size_t size, size_t* got) override {
    *got = fread(data, 1, size, f_);
    reason_ = "cannot read";
    return !ferror(f_);
  }
  void Close() override {
    if (f_) fclose(f_);
    f_ = nullptr;
  }
  std::string Reason() const override { return reason_; }

 private:
  std::vector<std::string> paths_;
  FILE* f_ = nullptr;
  std::string reason_;
};

std::vector<uint8_t> Text(const char* s) {
  return std::vector<uint8_t>(s, s + strlen(s) + 1);
}

int Main(int argc, char** argv) {
  if (argc < 3) {
    fprintf(stderr, "usage: layout_tool <stub> <package> <file>...\n");
    return 2;
  }
  const std::vector<uint8_t> stub = ReadFile(argv[1]);
  // Text files compressed, the rest stored, as the packager decides for what does not compress.
  const std::vector<std::string> paths(argv + 3, argv + argc);
  std::vector<CabinetFileInfo> files;
  for (const std::string& p : paths) {
    CabinetFileInfo info;
    info.name = p.substr(p.find_last_of('/') + 1);
    info.size = ReadFile(p.c_str()).size();
    info.compress = p.size() > 4 && p.compare(p.size() - 4, 4, ".txt") == 0;
    files.push_back(info);
  }
  FILE* f = fopen(argv[2], "w+b");
  if (!f) return 1;
  FileSink sink(f);
  auto resources = [](const CabinetSum& sum) {
    std::vector<uint8_t> s;
    Put(&s, sum.size, 4);
    Put(&s, sum.crc, 4);
    return std::vector<PackageResource>{{kResCabSum, s},
                                        {kResTitle, Text("kestrane")},
                                        {kResRunProgram, Text("view.exe")},
                                        {kResCabinet, {}}};
  };
  std::string error;
  auto cabinet = [&](uint64_t at, CabinetSum* sum) {
    DiskFiles reader(paths);
    return WriteCabinetFiles(files, &reader, &sink, at, sum, &error);
  };
  const bool ok = AssemblePackage(stub, resources, cabinet, &sink, &error);
  fclose(f);
  if (!ok) fprintf(stderr, "layout_tool: %s\n", error.c_str());
  return ok ? 0 : 1;
}

}  // namespace
}  // namespace kestrane

int main(int argc, char** argv) {
  return kestrane::Main(argc, argv);
}
