#pragma once
// A presentation's password to open. PowerPoint 2002 to 2007 encrypt a presentation with RC4
// under keys derived by SHA-1 from the password and a salt, the CryptoAPI form. The format
// allows no other: the older RC4 form with MD5 keys and the XOR obfuscation that other Office
// documents of the time may carry never occur in a presentation, and PowerPoint 97 and 2000
// had no password to open at all. A session record names the salt, the key size and a
// verifier that tells a wrong password from the right one before anything is decrypted.
//
// Every persist object of the document stream is encrypted on its own, from its record header
// on, under the key of its persist id; the edit records, the persist directory and the session
// record stay readable. Each part of a picture record in the picture stream is encrypted on its
// own under the key of block 0. Nothing decrypted ever leaves memory.
#include <cstddef>
#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "ppt/crypto.h"
#include "ppt/presentation.h"

namespace ppt {

class DocumentCipher {
 public:
  static constexpr size_t kSaltSize = 16;
  static constexpr size_t kVerifierSize = 16;
  static constexpr size_t kMaxPassword = 255;  // characters; longer ones cannot have been set
  enum class Parsed { kOk, kUnsupported, kDamaged };

  DocumentCipher() = default;
  DocumentCipher(const DocumentCipher&) = delete;
  DocumentCipher& operator=(const DocumentCipher&) = delete;
  ~DocumentCipher() { Wipe(base_, sizeof base_); }

  // The body of the session record: version, header and verifier.
  Parsed Read(const uint8_t* data, size_t size);
  // Derives the password's key and checks it against the verifier; false: the wrong password.
  bool Unlock(const std::u16string& password);
  // Decrypts (or encrypts) `n` bytes in place as one stream under the key of `block`.
  void Apply(uint32_t block, uint8_t* data, size_t n) const;
  Rc4 Stream(uint32_t block) const;
  size_t key_bits() const { return key_bits_; }

 private:
  size_t key_bits_ = 0;
  uint8_t salt_[kSaltSize] = {};
  uint8_t verifier_[kVerifierSize] = {};
  uint8_t verifier_hash_[Sha1::kDigestSize] = {};
  uint8_t base_[Sha1::kDigestSize] = {};  // the hash of salt and password
  bool unlocked_ = false;
};

namespace detail {

// What the edit chain from `current_edit` says of encryption: the session record's persist id
// and where the persist objects it covers lie.
struct EncryptedObjects {
  bool found = false;
  uint32_t session = 0;
  std::map<uint32_t, uint32_t> persist;
};
bool FindEncryption(const uint8_t* doc, size_t size, uint32_t current_edit, EncryptedObjects* out);

// Checks the password, then decrypts in place every persist object of `doc` but the session.
// kNone, kWrongPassword, kEncrypted (a session this viewer cannot read) or kDamaged.
LoadError DecryptDocument(const EncryptedObjects& objects, const std::u16string& password,
                          std::vector<uint8_t>* doc, DocumentCipher* cipher);
// Decrypts the picture stream's records in place, first to last.
void DecryptPictures(const DocumentCipher& cipher, std::vector<uint8_t>* pictures);

}  // namespace detail
}  // namespace ppt
