#pragma once
// The two primitives a presentation's password to open rests on: SHA-1 turns the password into
// keys, RC4 decrypts with them. Written here so that the viewer needs neither a cryptographic
// library nor the system's providers, which differ between Windows versions.
#include <cstddef>
#include <cstdint>

namespace ppt {

// Overwrites memory that held a key or decrypted bytes in a way the compiler may not drop.
void Wipe(void* p, size_t n);

class Sha1 {
 public:
  static constexpr size_t kDigestSize = 20;
  Sha1();
  ~Sha1() { Wipe(this, sizeof *this); }
  void Update(const uint8_t* data, size_t n);
  void Final(uint8_t out[kDigestSize]);

 private:
  static constexpr size_t kBlockSize = 64;
  void Block(const uint8_t* p);
  uint32_t h_[5];
  uint64_t length_ = 0;  // bytes so far
  uint8_t buffer_[kBlockSize];
  size_t used_ = 0;
};

// A stream cipher: the same call encrypts and decrypts, continuing where the last one stopped.
class Rc4 {
 public:
  Rc4(const uint8_t* key, size_t key_size);
  ~Rc4() { Wipe(this, sizeof *this); }
  void Apply(uint8_t* data, size_t n);

 private:
  uint8_t s_[256];
  uint8_t i_ = 0, j_ = 0;
};

}  // namespace ppt
