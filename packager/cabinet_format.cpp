#include "packager/cabinet_format.h"

#include <zlib.h>

#include <algorithm>
#include <cstring>
#include <memory>
#include <new>

#include "common/le_bytes.h"

namespace kestrane {

namespace {

constexpr size_t kChunk = 1 << 20;  // reads of the files
// A block that deflate cannot shrink goes as one stored deflate block: "CK", a 5-byte block
// header, the bytes. Readers size their buffers for at most this.
constexpr size_t kMaxPacked = 2 + 5 + cab::kBlock;

struct Folder {
  uint16_t type = cab::kStored;
  uint64_t size = 0;    // uncompressed bytes
  uint32_t blocks = 0;  // data blocks
  uint32_t at = 0;      // where its first block starts, once written
};

// Consecutive files of one kind share a folder. An empty file has no kind: it joins the folder
// before it, or the one after it when it comes first.
std::vector<Folder> PlanFolders(const std::vector<CabinetFileInfo>& files,
                                std::vector<uint16_t>* folder_of) {
  std::vector<Folder> folders;
  folder_of->assign(files.size(), 0);
  for (size_t i = 0; i < files.size(); ++i) {
    uint16_t type = files[i].compress ? cab::kMszip : cab::kStored;
    if (files[i].size == 0) {
      if (!folders.empty()) {
        type = folders.back().type;
      } else {
        for (size_t j = i; j < files.size(); ++j)
          if (files[j].size) {
            type = files[j].compress ? cab::kMszip : cab::kStored;
            break;
          }
      }
    }
    if (folders.empty() || folders.back().type != type) {
      folders.emplace_back();
      folders.back().type = type;
    }
    folders.back().size += files[i].size;
    (*folder_of)[i] = static_cast<uint16_t>(folders.size() - 1);
  }
  for (Folder& f : folders)
    f.blocks = static_cast<uint32_t>((f.size + cab::kBlock - 1) / cab::kBlock);
  return folders;
}

class Writer {
 public:
  Writer(PackageSink* sink, uint64_t base, std::string* error)
      : sink_(sink), base_(base), error_(error) {}
  ~Writer() {
    if (deflating_) deflateEnd(&z_);
  }

  bool Start(uint32_t header_size) {
    try {
      block_.resize(cab::kBlock);
      prev_.resize(cab::kBlock);
      packed_.resize(std::max<size_t>(kMaxPacked, 2 + deflateBound(nullptr, cab::kBlock) + 64));
    } catch (const std::bad_alloc&) {
      return Fail("out of memory");
    }
    const std::vector<uint8_t> zeros(header_size);
    if (!Put(zeros.data(), zeros.size())) return false;
    // The data words pair with the header's last byte when the header's length is odd.
    if (header_size & 1) {
      const uint8_t zero = 0;
      words_.Add(&zero, 1);
    }
    return true;
  }

  void BeginFolder(uint16_t type) {
    type_ = type;
    fill_ = 0;
    have_prev_ = false;  // a folder's history starts empty
  }

  // Appends bytes to the open folder's stream.
  bool Add(const uint8_t* data, size_t n) {
    while (n) {
      if (fill_ == 0 && n >= cab::kBlock && type_ == cab::kStored) {
        if (!Emit(data, cab::kBlock)) return false;
        data += cab::kBlock;
        n -= cab::kBlock;
        continue;
      }
      const size_t take = std::min(n, cab::kBlock - fill_);
      memcpy(block_.data() + fill_, data, take);
      fill_ += take;
      data += take;
      n -= take;
      if (fill_ == cab::kBlock) {
        if (!Emit(block_.data(), fill_)) return false;
        fill_ = 0;
      }
    }
    return true;
  }

  bool EndFolder() {
    if (fill_ && !Emit(block_.data(), fill_)) return false;
    fill_ = 0;
    return true;
  }

  uint64_t at() const { return at_; }

  // Writes the final header over its placeholder and fills in the sums.
  bool Finish(const std::vector<uint8_t>& header, CabinetSum* sum) {
    if (!sink_->WriteAt(base_, header.data(), header.size())) return Fail(WriteFailure());
    summer_.Wrote(0, header.data(), header.size());
    sum->words = PeSumCombine(PeSumAdd(0, header.data(), header.size()), words_.sum());
    if (summer_.Finish(sum)) return true;
    // A header beyond what the summer keeps: the CRC comes from the file.
    std::vector<uint8_t> piece(kChunk);
    sum->size = static_cast<uint32_t>(at_);
    sum->crc = 0;
    for (uint64_t at = 0; at < at_; at += kChunk) {
      const size_t n = static_cast<size_t>(std::min<uint64_t>(kChunk, at_ - at));
      if (!sink_->ReadAt(base_ + at, piece.data(), n))
        return Fail("cannot read the package back" + sink_->Detail());
      sum->crc = static_cast<uint32_t>(crc32(sum->crc, piece.data(), static_cast<uInt>(n)));
    }
    return true;
  }

  bool Fail(const std::string& why) {
    if (error_->empty()) *error_ = why;
    return false;
  }

 private:
  std::string WriteFailure() const { return "cannot write the package" + sink_->Detail(); }

  bool Put(const void* data, size_t n, bool data_words = false) {
    if (at_ + n > 0x7FFFFFFF) return Fail("the files are too large for one package");
    if (!sink_->WriteAt(base_ + at_, data, n)) return Fail(WriteFailure());
    summer_.Wrote(at_, data, n);
    if (data_words) words_.Add(data, n);
    at_ += n;
    return true;
  }

  bool Emit(const uint8_t* data, size_t n) {
    const uint8_t* body = data;
    size_t body_n = n;
    if (type_ == cab::kMszip) {
      body = packed_.data();
      body_n = Deflate(data, n);
      if (!body_n) return false;
      memcpy(prev_.data(), data, n);
      have_prev_ = n == cab::kBlock;
    }
    uint8_t head[cab::kDataHeaderSize];
    le::Put16(head + 4, static_cast<uint32_t>(body_n));
    le::Put16(head + 6, static_cast<uint32_t>(n));
    le::Put32(head, CabChecksum(head + 4, 4, CabChecksum(body, body_n, 0)));
    return Put(head, sizeof head, true) && Put(body, body_n, true);
  }

  // "CK" and the block as deflate data that may refer back into the block before; 0 on failure.
  size_t Deflate(const uint8_t* data, size_t n) {
    if (!deflating_) {
      memset(&z_, 0, sizeof z_);
      if (deflateInit2(&z_, Z_DEFAULT_COMPRESSION, Z_DEFLATED, -MAX_WBITS, 8, Z_DEFAULT_STRATEGY) !=
          Z_OK) {
        Fail("out of memory");
        return 0;
      }
      deflating_ = true;
    } else if (deflateReset(&z_) != Z_OK) {
      Fail("the compressor failed");
      return 0;
    }
    if (have_prev_ && deflateSetDictionary(&z_, prev_.data(), cab::kBlock) != Z_OK) {
      Fail("the compressor failed");
      return 0;
    }
    packed_[0] = 'C';
    packed_[1] = 'K';
    z_.next_in = const_cast<Bytef*>(data);
    z_.avail_in = static_cast<uInt>(n);
    z_.next_out = packed_.data() + 2;
    z_.avail_out = static_cast<uInt>(packed_.size() - 2);
    const int r = deflate(&z_, Z_FINISH);
    const size_t out = 2 + z_.total_out;
    if (r == Z_STREAM_END && out <= kMaxPacked) return out;
    // No gain: one final stored block.
    uint8_t* p = packed_.data() + 2;
    p[0] = 0x01;
    le::Put16(p + 1, static_cast<uint32_t>(n));
    le::Put16(p + 3, static_cast<uint32_t>(~n & 0xFFFF));
    memcpy(p + 5, data, n);
    return 2 + 5 + n;
  }

  PackageSink* sink_;
  uint64_t base_;
  std::string* error_;
  uint64_t at_ = 0;
  CabinetSummer summer_;
  PeSummer words_;
  std::vector<uint8_t> block_, prev_, packed_;
  size_t fill_ = 0;
  bool have_prev_ = false;
  uint16_t type_ = cab::kStored;
  z_stream z_;
  bool deflating_ = false;
};

std::vector<uint8_t> Header(const std::vector<CabinetFileInfo>& files,
                            const std::vector<uint16_t>& folder_of,
                            const std::vector<Folder>& folders, uint32_t files_at,
                            uint32_t header_size, uint32_t cabinet_size) {
  std::vector<uint8_t> h(header_size);
  uint8_t* p = h.data();
  le::Put32(p, cab::kSignature);
  le::Put32(p + 8, cabinet_size);
  le::Put32(p + 16, files_at);
  p[24] = cab::kVersionMinor;
  p[25] = cab::kVersionMajor;
  le::Put16(p + 26, static_cast<uint32_t>(folders.size()));
  le::Put16(p + 28, static_cast<uint32_t>(files.size()));
  le::Put16(p + 32, cab::kSetId);
  p += cab::kHeaderSize;
  for (const Folder& f : folders) {
    le::Put32(p, f.at);
    le::Put16(p + 4, f.blocks);
    le::Put16(p + 6, f.type);
    p += cab::kFolderSize;
  }
  std::vector<uint64_t> offset(folders.size());
  for (size_t i = 0; i < files.size(); ++i) {
    const CabinetFileInfo& f = files[i];
    le::Put32(p, static_cast<uint32_t>(f.size));
    le::Put32(p + 4, static_cast<uint32_t>(offset[folder_of[i]]));
    le::Put16(p + 8, folder_of[i]);
    le::Put16(p + 10, f.date);
    le::Put16(p + 12, f.time);
    le::Put16(p + 14, f.attribs);
    memcpy(p + cab::kFileSize, f.name.c_str(), f.name.size() + 1);
    p += cab::kFileSize + f.name.size() + 1;
    offset[folder_of[i]] += f.size;
  }
  return h;
}

// Copies one file into the writer's open folder; its size must be what was announced.
bool CopyInto(const CabinetFileInfo& f, size_t index, CabinetReader* reader, Writer* w,
              std::vector<uint8_t>* chunk) {
  if (!reader->Open(index)) return w->Fail(reader->Reason());
  uint64_t left = f.size;
  bool ok = true;
  for (;;) {
    size_t got = 0;
    // One byte more than announced tells a file that grew.
    const size_t want = static_cast<size_t>(std::min<uint64_t>(chunk->size(), left + 1));
    if (!reader->Read(chunk->data(), want, &got)) {
      ok = w->Fail(reader->Reason());
      break;
    }
    if (got == 0) break;
    if (got > left) {
      ok = w->Fail(f.name + " changed while it was packed");
      break;
    }
    if (!w->Add(chunk->data(), got)) {
      ok = false;
      break;
    }
    left -= got;
  }
  reader->Close();
  if (ok && left) ok = w->Fail(f.name + " changed while it was packed");
  return ok;
}

}  // namespace

uint32_t CabChecksum(const uint8_t* data, size_t size, uint32_t seed) {
  uint64_t wide = 0;
  size_t i = 0;
  for (; i + 8 <= size; i += 8) {
    uint64_t v;
    memcpy(&v, data + i, 8);  // little-endian words, as on every target
    wide ^= v;
  }
  uint32_t sum = seed ^ static_cast<uint32_t>(wide) ^ static_cast<uint32_t>(wide >> 32);
  if (i + 4 <= size) {
    uint32_t v;
    memcpy(&v, data + i, 4);
    sum ^= v;
    i += 4;
  }
  // The last bytes count in reverse order, as the format's reference computes them.
  uint32_t tail = 0;
  switch (size - i) {
    case 3:
      tail = static_cast<uint32_t>(data[i]) << 16 | static_cast<uint32_t>(data[i + 1]) << 8 |
             data[i + 2];
      break;
    case 2:
      tail = static_cast<uint32_t>(data[i]) << 8 | data[i + 1];
      break;
    case 1:
      tail = data[i];
      break;
    default:
      break;
  }
  return sum ^ tail;
}

bool WriteCabinetFiles(const std::vector<CabinetFileInfo>& files, CabinetReader* reader,
                       PackageSink* sink, uint64_t base, CabinetSum* sum, std::string* error) {
  error->clear();
  if (files.size() > cab::kMaxCount) {
    *error = "too many files for one cabinet";
    return false;
  }
  std::vector<uint16_t> folder_of;
  std::vector<Folder> folders = PlanFolders(files, &folder_of);
  const uint32_t files_at =
      cab::kHeaderSize + cab::kFolderSize * static_cast<uint32_t>(folders.size());
  uint64_t header_size = files_at;
  for (const CabinetFileInfo& f : files) {
    if (f.name.empty() || f.name.size() > 255) {
      *error = "the name \"" + f.name + "\" cannot go into a cabinet";
      return false;
    }
    header_size += cab::kFileSize + f.name.size() + 1;
  }
  for (const Folder& f : folders)
    if (f.blocks > cab::kMaxCount || f.size > 0x7FFFFFFF) {
      *error = "the files are too large for one package";
      return false;
    }

  Writer w(sink, base, error);
  std::vector<uint8_t> chunk;
  try {
    chunk.resize(kChunk);
  } catch (const std::bad_alloc&) {
    *error = "out of memory";
    return false;
  }
  if (!w.Start(static_cast<uint32_t>(header_size))) return false;
  size_t next = 0;
  for (size_t k = 0; k < folders.size(); ++k) {
    folders[k].at = static_cast<uint32_t>(w.at());
    w.BeginFolder(folders[k].type);
    for (; next < files.size() && folder_of[next] == k; ++next)
      if (!CopyInto(files[next], next, reader, &w, &chunk)) return false;
    if (!w.EndFolder()) return false;
  }
  const std::vector<uint8_t> header =
      Header(files, folder_of, folders, files_at, static_cast<uint32_t>(header_size),
             static_cast<uint32_t>(w.at()));
  return w.Finish(header, sum);
}

}  // namespace kestrane
