#include "ppt/encryption.h"

#include <algorithm>
#include <set>

#include "ppt/bytes.h"
#include "ppt/records.h"

namespace ppt {
namespace {

// The version numbers of the CryptoAPI form; PowerPoint 2002 and 2003 write 2 or 3, 2007
// writes 4, all with minor version 2.
constexpr uint16_t kMajorFirst = 2, kMajorLast = 4, kMinor = 2;
constexpr uint32_t kFlagCryptoApi = 0x04;
constexpr uint32_t kFlagAes = 0x20;
constexpr uint32_t kAlgRc4 = 0x6801;
constexpr uint32_t kAlgSha1 = 0x8004;
constexpr uint32_t kKeyBitsDefault = 40;  // a key size of 0 means the smallest
constexpr uint32_t kKeyBitsMax = 128;
constexpr size_t kRc4KeySize = 16;   // shorter keys are padded with zeros to 128 bits
constexpr size_t kHeaderFixed = 32;  // the header's fields before the provider's name
constexpr size_t kVersionAndFlags = 12;

void Take(ByteReader* br, uint8_t* out, size_t n) {
  if (br->Has(n)) std::copy(br->here(), br->here() + n, out);
  br->Skip(n);
}

}  // namespace

DocumentCipher::Parsed DocumentCipher::Read(const uint8_t* data, size_t size) {
  ByteReader br(data, size);
  uint16_t major = br.U16(), minor = br.U16();
  br.U32();  // the header's flags, repeated
  uint32_t header_size = br.U32();
  if (!br.ok() || header_size < kHeaderFixed || header_size > size - kVersionAndFlags)
    return Parsed::kDamaged;
  uint32_t flags = br.U32();
  br.U32();  // size extra
  uint32_t alg = br.U32(), hash = br.U32(), bits = br.U32();
  br.Skip(header_size - 20);
  if (major < kMajorFirst || major > kMajorLast || minor != kMinor) return Parsed::kUnsupported;
  if (!(flags & kFlagCryptoApi) || (flags & kFlagAes) || (alg != 0 && alg != kAlgRc4) ||
      (hash != 0 && hash != kAlgSha1))
    return Parsed::kUnsupported;
  if (bits == 0) bits = kKeyBitsDefault;
  if (bits < kKeyBitsDefault || bits > kKeyBitsMax || bits % 8) return Parsed::kUnsupported;
  uint32_t salt_size = br.U32();
  if (salt_size != kSaltSize) return br.ok() ? Parsed::kUnsupported : Parsed::kDamaged;
  Take(&br, salt_, kSaltSize);
  Take(&br, verifier_, kVerifierSize);
  uint32_t hash_size = br.U32();
  Take(&br, verifier_hash_, sizeof verifier_hash_);
  if (!br.ok()) return Parsed::kDamaged;
  if (hash_size != Sha1::kDigestSize) return Parsed::kUnsupported;
  key_bits_ = bits;
  return Parsed::kOk;
}

bool DocumentCipher::Unlock(const std::u16string& password) {
  unlocked_ = false;
  if (password.size() > kMaxPassword || key_bits_ == 0) return false;
  Sha1 h;
  h.Update(salt_, kSaltSize);
  for (char16_t c : password) {
    uint8_t le[2] = {uint8_t(c), uint8_t(c >> 8)};
    h.Update(le, 2);
  }
  h.Final(base_);
  // The verifier and its hash are one stream under the key of block 0.
  uint8_t check[kVerifierSize + Sha1::kDigestSize];
  std::copy(verifier_, verifier_ + kVerifierSize, check);
  std::copy(verifier_hash_, verifier_hash_ + Sha1::kDigestSize, check + kVerifierSize);
  Apply(0, check, sizeof check);
  uint8_t digest[Sha1::kDigestSize];
  Sha1 v;
  v.Update(check, kVerifierSize);
  v.Final(digest);
  unlocked_ = std::equal(digest, digest + Sha1::kDigestSize, check + kVerifierSize);
  Wipe(check, sizeof check);
  Wipe(digest, sizeof digest);
  if (!unlocked_) Wipe(base_, sizeof base_);
  return unlocked_;
}

Rc4 DocumentCipher::Stream(uint32_t block) const {
  Sha1 h;
  h.Update(base_, sizeof base_);
  uint8_t le[4] = {uint8_t(block), uint8_t(block >> 8), uint8_t(block >> 16), uint8_t(block >> 24)};
  h.Update(le, sizeof le);
  uint8_t digest[Sha1::kDigestSize];
  h.Final(digest);
  uint8_t key[kRc4KeySize] = {};
  std::copy(digest, digest + key_bits_ / 8, key);
  Rc4 rc4(key, kRc4KeySize);
  Wipe(digest, sizeof digest);
  Wipe(key, sizeof key);
  return rc4;
}

void DocumentCipher::Apply(uint32_t block, uint8_t* data, size_t n) const {
  Stream(block).Apply(data, n);
}

namespace detail {

bool ValidEdit(const Record& r);
void ApplyPersistDirectory(const Record& r, std::map<uint32_t, uint32_t>* map, bool override);

namespace {
constexpr size_t kEditWithSession = 32;  // an edit record long enough to name a session
constexpr size_t kEditOffsetsAt = 8;     // the previous edit's and the directory's offsets
constexpr size_t kSessionAt = 28;
constexpr size_t kHeader = 8;
constexpr size_t kUidSize = 16;
constexpr size_t kMetafileHeader = 34;
constexpr size_t kBitmapTag = 1;
constexpr uint16_t kMetafileFirst = rt::kBlipEmf, kMetafileLast = rt::kBlipPict;
// A picture-store entry's fields, each encrypted on its own, up to its name's length.
constexpr size_t kEntryFields[] = {1, 1, 16, 2, 4, 4, 4, 1, 1, 1, 1};
constexpr size_t kEntryNameLengthAt = 33;

// Decrypts `n` bytes at `*at` as one part, as far as the data goes; false when it ends first.
bool Part(const DocumentCipher& c, uint8_t* data, size_t end, size_t* at, size_t n) {
  if (*at > end || n > end - *at) {
    c.Apply(0, data + *at, end - std::min(*at, end));
    *at = end;
    return false;
  }
  c.Apply(0, data + *at, n);
  *at += n;
  return true;
}

// A picture record's parts after its header: identifiers, metafile header or tag, then data.
void DecryptBlip(const DocumentCipher& c, uint8_t* data, size_t end, size_t at, uint16_t type,
                 uint16_t inst) {
  const size_t uids = 1 + (inst & 1);
  for (size_t i = 0; i < uids; i++)
    if (!Part(c, data, end, &at, kUidSize)) return;
  size_t head = type >= kMetafileFirst && type <= kMetafileLast ? kMetafileHeader : kBitmapTag;
  if (!Part(c, data, end, &at, head)) return;
  Part(c, data, end, &at, end - at);
}
}  // namespace

bool FindEncryption(const uint8_t* doc, size_t size, uint32_t current_edit, EncryptedObjects* out) {
  *out = EncryptedObjects();
  std::set<uint32_t> seen, dirs_applied;
  uint32_t off = current_edit;
  bool newest = true, named = false;
  while (!seen.count(off)) {
    seen.insert(off);
    Record r, d;
    if (!RecordAt(doc, size, off, &r) || !ValidEdit(r)) return false;
    uint32_t last = Le32(r.body + kEditOffsetsAt), dir = Le32(r.body + kEditOffsetsAt + 4);
    if (!RecordAt(doc, size, dir, &d) || d.type != rt::kPersistDirectory) return false;
    // The newest edit's entries win, so a directory named again by an older edit adds nothing;
    // applying it once keeps a chain of thousands of edits naming one large directory cheap.
    if (dirs_applied.insert(dir).second) ApplyPersistDirectory(d, &out->persist, false);
    if (newest && r.len >= kEditWithSession) {
      out->session = Le32(r.body + kSessionAt);
      named = true;
    }
    newest = false;
    if (last == 0) break;
    off = last;
  }
  Record s;
  auto it = out->persist.find(out->session);
  out->found = named && it != out->persist.end() && RecordAt(doc, size, it->second, &s) &&
               s.type == rt::kCryptSession;
  return out->found;
}

LoadError DecryptDocument(const EncryptedObjects& objects, const std::u16string& password,
                          std::vector<uint8_t>* doc, DocumentCipher* cipher) {
  Record s;
  if (!objects.found ||
      !RecordAt(doc->data(), doc->size(), objects.persist.at(objects.session), &s))
    return LoadError::kDamaged;
  switch (cipher->Read(s.body, s.len)) {
    case DocumentCipher::Parsed::kOk:
      break;
    case DocumentCipher::Parsed::kUnsupported:
      return LoadError::kEncrypted;
    case DocumentCipher::Parsed::kDamaged:
      return LoadError::kDamaged;
  }
  if (!cipher->Unlock(password)) return LoadError::kWrongPassword;
  std::set<uint32_t> done;  // a hostile directory may name one offset twice
  const size_t size = doc->size();
  for (const auto& entry : objects.persist) {
    const uint32_t at = entry.second;
    if (entry.first == objects.session || at >= size || size - at < kHeader ||
        !done.insert(at).second)
      continue;
    uint8_t* p = doc->data() + at;
    Rc4 rc4 = cipher->Stream(entry.first);
    rc4.Apply(p, kHeader);
    rc4.Apply(p + kHeader, std::min<size_t>(Le32(p + 4), size - at - kHeader));
  }
  return LoadError::kNone;
}

void DecryptPictures(const DocumentCipher& c, std::vector<uint8_t>* pictures) {
  uint8_t* data = pictures->data();
  const size_t size = pictures->size();
  size_t at = 0;
  while (size - at >= kHeader) {
    uint8_t* p = data + at;
    c.Apply(0, p, kHeader);
    const uint16_t inst = Le16(p) >> 4, type = Le16(p + 2);
    const size_t end = at + kHeader + std::min<size_t>(Le32(p + 4), size - at - kHeader);
    size_t body = at + kHeader;
    if (type >= rt::kBlipFirst && type <= rt::kBlipLast) {
      DecryptBlip(c, data, end, body, type, inst);
    } else if (type == rt::kFbse) {
      for (size_t n : kEntryFields)
        if (!Part(c, data, end, &body, n)) break;
      const size_t name =
          body - at - kHeader > kEntryNameLengthAt ? p[kHeader + kEntryNameLengthAt] : 0;
      Part(c, data, end, &body, name);
      if (end - body >= kHeader) {  // a picture inside the entry
        uint8_t* q = data + body;
        c.Apply(0, q, kHeader);
        DecryptBlip(c, data, end, body + kHeader, Le16(q + 2), Le16(q) >> 4);
      }
    } else {
      break;  // not a picture: the rest cannot be told apart
    }
    at = end;
  }
}

}  // namespace detail
}  // namespace ppt
