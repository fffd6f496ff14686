#include "ppt/crypto.h"

#include <cstring>

namespace ppt {

void Wipe(void* p, size_t n) {
  volatile uint8_t* v = static_cast<volatile uint8_t*>(p);
  while (n--) *v++ = 0;
}

namespace {
constexpr uint32_t kInit[5] = {0x67452301, 0xEFCDAB89, 0x98BADCFE, 0x10325476, 0xC3D2E1F0};
constexpr uint32_t kRound[4] = {0x5A827999, 0x6ED9EBA1, 0x8F1BBCDC, 0xCA62C1D6};
constexpr size_t kLengthField = 8;  // the message length in bits closes the last block

uint32_t Rotl(uint32_t v, int n) {
  return (v << n) | (v >> (32 - n));
}
}  // namespace

Sha1::Sha1() {
  memcpy(h_, kInit, sizeof h_);
}

void Sha1::Block(const uint8_t* p) {
  uint32_t w[80];
  for (int t = 0; t < 16; t++)
    w[t] = uint32_t(p[t * 4]) << 24 | uint32_t(p[t * 4 + 1]) << 16 | uint32_t(p[t * 4 + 2]) << 8 |
           p[t * 4 + 3];
  for (int t = 16; t < 80; t++) w[t] = Rotl(w[t - 3] ^ w[t - 8] ^ w[t - 14] ^ w[t - 16], 1);
  uint32_t a = h_[0], b = h_[1], c = h_[2], d = h_[3], e = h_[4];
  for (int t = 0; t < 80; t++) {
    uint32_t f;
    if (t < 20)
      f = (b & c) | (~b & d);
    else if (t < 40 || t >= 60)
      f = b ^ c ^ d;
    else
      f = (b & c) | (b & d) | (c & d);
    uint32_t tmp = Rotl(a, 5) + f + e + w[t] + kRound[t / 20];
    e = d;
    d = c;
    c = Rotl(b, 30);
    b = a;
    a = tmp;
  }
  h_[0] += a;
  h_[1] += b;
  h_[2] += c;
  h_[3] += d;
  h_[4] += e;
  Wipe(w, sizeof w);
}

void Sha1::Update(const uint8_t* data, size_t n) {
  length_ += n;
  while (n > 0) {
    size_t take = kBlockSize - used_ < n ? kBlockSize - used_ : n;
    memcpy(buffer_ + used_, data, take);
    used_ += take;
    data += take;
    n -= take;
    if (used_ == kBlockSize) {
      Block(buffer_);
      used_ = 0;
    }
  }
}

void Sha1::Final(uint8_t out[kDigestSize]) {
  const uint64_t bits = length_ * 8;
  uint8_t pad = 0x80;
  Update(&pad, 1);
  pad = 0;
  while (used_ != kBlockSize - kLengthField) Update(&pad, 1);
  uint8_t len[kLengthField];
  for (size_t i = 0; i < kLengthField; i++) len[i] = uint8_t(bits >> (56 - 8 * i));
  Update(len, kLengthField);
  for (int i = 0; i < 5; i++) {
    out[i * 4] = uint8_t(h_[i] >> 24);
    out[i * 4 + 1] = uint8_t(h_[i] >> 16);
    out[i * 4 + 2] = uint8_t(h_[i] >> 8);
    out[i * 4 + 3] = uint8_t(h_[i]);
  }
}

Rc4::Rc4(const uint8_t* key, size_t key_size) {
  for (int i = 0; i < 256; i++) s_[i] = uint8_t(i);
  uint8_t j = 0;
  for (int i = 0; i < 256; i++) {
    j = uint8_t(j + s_[i] + key[size_t(i) % key_size]);
    uint8_t t = s_[i];
    s_[i] = s_[j];
    s_[j] = t;
  }
}

void Rc4::Apply(uint8_t* data, size_t n) {
  for (size_t k = 0; k < n; k++) {
    i_ = uint8_t(i_ + 1);
    j_ = uint8_t(j_ + s_[i_]);
    uint8_t t = s_[i_];
    s_[i_] = s_[j_];
    s_[j_] = t;
    data[k] ^= s_[uint8_t(s_[i_] + s_[j_])];
  }
}

}  // namespace ppt
