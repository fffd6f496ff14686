#include <algorithm>
#include <cmath>
#include <map>
#include <set>

#include "ppt/document_index.h"

namespace ppt {
namespace detail {

bool ValidEdit(const Record& r) {
  return r.type == rt::kUserEdit && r.len >= 28;
}

void ApplyPersistDirectory(const Record& r, std::map<uint32_t, uint32_t>* map, bool override) {
  ByteReader br = r.reader();
  while (br.Has(4)) {
    uint32_t head = br.U32();
    uint32_t id = head & 0xFFFFF, count = head >> 20;
    for (uint32_t i = 0; i < count && br.Has(4); i++) {
      uint32_t off = br.U32();
      if (override || !map->count(id + i)) (*map)[id + i] = off;
    }
  }
}

bool DocumentIndex::ApplyDirectory(const Record& r, bool override) {
  // Every entry is charged up front: a directory is applied whole or not at all.
  if (!budget_.Spend(cost::kPersistEntry * (r.len / 4))) return false;
  ApplyPersistDirectory(r, &persist_, override);
  return true;
}

bool DocumentIndex::ReadEditChain(uint32_t first, uint32_t* doc_ref, bool* encrypted) {
  std::set<uint32_t> seen, dirs_applied;
  uint32_t off = first;
  bool newest = true;
  while (true) {
    Record r;
    if (seen.count(off) || !At(off, &r) || !ValidEdit(r)) return false;
    seen.insert(off);
    ByteReader br = r.reader();
    br.Skip(8);
    uint32_t last = br.U32();
    uint32_t dir = br.U32();
    uint32_t ref = br.U32();
    br.Skip(8);
    uint32_t crypt = r.len >= 32 ? br.U32() : 0;
    Record d;
    if (!At(dir, &d) || d.type != rt::kPersistDirectory) return false;
    // Newer edits were applied first and win, so a directory named again adds nothing.
    if (!budget_.Spend(cost::kEdit)) break;
    if (dirs_applied.insert(dir).second && !ApplyDirectory(d, false)) break;
    if (newest) {
      *doc_ref = ref;
      if (r.len >= 32) {
        // The session record is resolved once the whole directory is known.
        persist_crypt_ = crypt;
        has_crypt_ = true;
      }
      newest = false;
    }
    if (last == 0) break;
    off = last;
  }
  if (has_crypt_) {
    Record c;
    if (Object(persist_crypt_, &c) && c.type == rt::kCryptSession) *encrypted = true;
  }
  return true;
}

// A broken edit chain: read the stream's top-level records in file order, letting each persist
// directory override the ones before it, as successive saves did.
void DocumentIndex::RepairByScan(uint32_t* doc_ref, uint32_t* doc_offset) {
  persist_.clear();
  repaired_ = true;
  Children c(doc_, size_);
  Record r;
  uint32_t last_doc = UINT32_MAX;
  bool have_ref = false;
  while (c.Next(&r)) {
    if (r.type == rt::kPersistDirectory) {
      if (!ApplyDirectory(r, true)) break;
    } else if (ValidEdit(r)) {
      ByteReader br = r.reader();
      br.Skip(16);
      *doc_ref = br.U32();
      have_ref = true;
    } else if (r.type == rt::kDocument) {
      last_doc = uint32_t(r.offset);
    }
  }
  Record d;
  if (!have_ref || !Object(*doc_ref, &d) || d.type != rt::kDocument) *doc_offset = last_doc;
}

LoadError DocumentIndex::Open(uint32_t current_edit, bool have_current_user, bool decrypted,
                              Record* document) {
  uint32_t doc_ref = 0, doc_offset = UINT32_MAX;
  bool encrypted = false;
  bool chain_ok = have_current_user && ReadEditChain(current_edit, &doc_ref, &encrypted);
  if (encrypted && !decrypted) return LoadError::kEncrypted;
  if (chain_ok && Object(doc_ref, document) && document->type == rt::kDocument)
    return LoadError::kNone;
  RepairByScan(&doc_ref, &doc_offset);
  if (doc_offset != UINT32_MAX)
    return At(doc_offset, document) ? LoadError::kNone : LoadError::kDamaged;
  if (!Object(doc_ref, document) || document->type != rt::kDocument) return LoadError::kDamaged;
  return LoadError::kNone;
}

}  // namespace detail
}  // namespace ppt
