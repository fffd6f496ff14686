// Lays out a package as the packager does, natively, so that readers outside Windows can be tried
// on it: the real stub, and a stored cabinet of the given files made here.
//   layout_tool <stub> <package> <file>...
#include <cstdio>
#include <cstring>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "packager/pe_image.h"
#include "stub/package_format.h"

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

// One folder, stored, in blocks of the format's largest size, without block checksums.
std::vector<uint8_t> StoredCabinet(const std::vector<std::string>& paths) {
  std::vector<uint8_t> data, files;
  uint16_t count = 0;
  for (const std::string& p : paths) {
    std::vector<uint8_t> bytes = ReadFile(p.c_str());
    const std::string name = p.substr(p.find_last_of('/') + 1);
    Put(&files, static_cast<uint32_t>(bytes.size()), 4);
    Put(&files, static_cast<uint32_t>(data.size()), 4);
    Put(&files, 0, 2);
    Put(&files, 0x21, 2);  // 1980-01-01
    Put(&files, 0, 2);
    Put(&files, 0, 2);
    files.insert(files.end(), name.begin(), name.end());
    files.push_back(0);
    data.insert(data.end(), bytes.begin(), bytes.end());
    ++count;
  }
  const uint32_t blocks = static_cast<uint32_t>((data.size() + 32767) / 32768);
  const uint32_t files_at = 36 + 8, data_at = files_at + static_cast<uint32_t>(files.size());
  std::vector<uint8_t> cab = {'M', 'S', 'C', 'F'};
  Put(&cab, 0, 4);
  Put(&cab, data_at + blocks * 8 + static_cast<uint32_t>(data.size()), 4);
  Put(&cab, 0, 4);
  Put(&cab, files_at, 4);
  Put(&cab, 0, 4);
  Put(&cab, 0x0103, 2);
  Put(&cab, 1, 2);
  Put(&cab, count, 2);
  Put(&cab, 0, 2);
  Put(&cab, 0x4B53, 2);
  Put(&cab, 0, 2);
  Put(&cab, data_at, 4);
  Put(&cab, blocks, 2);
  Put(&cab, 0, 2);
  cab.insert(cab.end(), files.begin(), files.end());
  for (size_t at = 0; at < data.size(); at += 32768) {
    const uint32_t n = static_cast<uint32_t>(std::min<size_t>(32768, data.size() - at));
    Put(&cab, 0, 4);
    Put(&cab, n, 2);
    Put(&cab, n, 2);
    cab.insert(cab.end(), data.begin() + at, data.begin() + at + n);
  }
  return cab;
}

std::vector<uint8_t> Text(const char* s) {
  return std::vector<uint8_t>(s, s + strlen(s) + 1);
}

int Main(int argc, char** argv) {
  if (argc < 3) {
    fprintf(stderr, "usage: layout_tool <stub> <package> <file>...\n");
    return 2;
  }
  const std::vector<uint8_t> stub = ReadFile(argv[1]);
  const std::vector<uint8_t> cab = StoredCabinet(std::vector<std::string>(argv + 3, argv + argc));
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
  auto cabinet = [&](uint64_t at, CabinetSum* sum) {
    sum->size = static_cast<uint32_t>(cab.size());
    sum->crc = Crc32(0, cab.data(), cab.size());
    sum->words = PeSumAdd(0, cab.data(), cab.size());
    return sink.WriteAt(at, cab.data(), cab.size());
  };
  std::string error;
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
