// Presentations with a password to open: the ciphers against their published vectors, the
// password check against a real file's verifier, and encrypted decks that must read exactly as
// their plain twins, pictures included.
#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <iterator>
#include <string>

#include "ppt/crypto.h"
#include "ppt/encryption.h"
#include "ppt/presentation.h"
#include "viewer/tests/blip_records.h"
#include "viewer/tests/deck_builder.h"
#include "viewer/tests/corpus.h"

namespace {

using deck::Bytes;
using ppt::LoadError;

std::string Hex(const uint8_t* p, size_t n) {
  static const char kDigits[] = "0123456789abcdef";
  std::string s;
  for (size_t i = 0; i < n; i++) {
    s += kDigits[p[i] >> 4];
    s += kDigits[p[i] & 15];
  }
  return s;
}

std::string Sha1Hex(const std::string& message, size_t piece) {
  ppt::Sha1 h;
  const uint8_t* p = reinterpret_cast<const uint8_t*>(message.data());
  for (size_t at = 0; at < message.size(); at += piece)
    h.Update(p + at, std::min(piece, message.size() - at));
  uint8_t d[ppt::Sha1::kDigestSize];
  h.Final(d);
  return Hex(d, sizeof d);
}

LoadError LoadWith(const Bytes& b, const std::u16string& password, ppt::Presentation* p) {
  ppt::LoadOptions o;
  o.password = password;
  return ppt::Load(b.data(), b.size(), p, o);
}

// What a presentation shows, in one string: slides, their backgrounds and texts, pictures.
std::string Summary(const ppt::Presentation& p) {
  std::string s = std::to_string(p.width) + "x" + std::to_string(p.height) + "\n";
  for (const ppt::Slide& slide : p.slides) {
    s += "slide bg=" + std::to_string(slide.background.color.r) + "," +
         std::to_string(slide.background.color.g) + "," + std::to_string(slide.background.color.b) +
         "\n";
    for (const ppt::Shape& sh : slide.shapes) {
      s += " shape blip=" + std::to_string(sh.fill.blip) + ":";
      for (const ppt::Paragraph& para : sh.text.paragraphs)
        for (const ppt::Run& r : para.runs) s += ppt::ToUtf8(r.text) + "|";
      s += "\n";
    }
  }
  for (size_t i = 0; i < p.blips.size(); i++) {
    ppt::PictureBytes b = p.Picture(int(i));
    s += "picture " + std::to_string(i) + ": " + Hex(b.data, b.size) + "\n";
  }
  return s;
}

Bytes PngBlip(uint8_t seed, size_t n) {
  Bytes data;
  for (size_t i = 0; i < n; i++) data.push_back(uint8_t(i * 13 + seed));
  return deck::BitmapBlip(data, ppt::rt::kBlipPng, deck::kPngInstance, uint8_t(0x10 + seed));
}

deck::DeckSpec PictureDeck(bool own_stream) {
  deck::DeckSpec spec;
  spec.slides = {{0x0000FF, "Secret plan"}, {0x00FF00, "Second page"}, {0xFF0000, "Last words"}};
  spec.pictures = {PngBlip(1, 700), PngBlip(2, 5000)};
  spec.picture_stream = own_stream;
  return spec;
}

// --- the ciphers ------------------------------------------------------------------------------

TEST(Ciphers, Sha1MatchesTheStandardsVectors) {
  EXPECT_EQ(Sha1Hex("abc", 64), "a9993e364706816aba3e25717850c26c9cd0d89d");
  EXPECT_EQ(Sha1Hex("", 64), "da39a3ee5e6b4b0d3255bfef95601890afd80709");
  const std::string two_blocks = "abcdbcdecdefdefgefghfghighijhijkijkljklmklmnlmnomnopnopq";
  EXPECT_EQ(Sha1Hex(two_blocks, 64), "84983e441c3bd26ebaae4aa1f95129e5e54670f1");
  EXPECT_EQ(Sha1Hex(two_blocks, 1), "84983e441c3bd26ebaae4aa1f95129e5e54670f1");
  // Pieces that straddle block boundaries give the same digest as one piece.
  EXPECT_EQ(Sha1Hex(std::string(1000000, 'a'), 1000), "34aa973cd4c4daa4f61eeb2bdbad27316534016f");
  EXPECT_EQ(Sha1Hex(std::string(1000000, 'a'), 63), "34aa973cd4c4daa4f61eeb2bdbad27316534016f");
}

// The key stream at the offsets the RFC lists, for a 40-bit and a 128-bit key.
TEST(Ciphers, Rc4MatchesTheRfcKeyStreams) {
  struct Case {
    Bytes key;
    size_t offset;
    const char* stream;
  } cases[] = {
      {{1, 2, 3, 4, 5}, 0, "b2396305f03dc027ccc3524a0a1118a8"},
      {{1, 2, 3, 4, 5}, 16, "6982944f18fc82d589c403a47a0d0919"},
      {{1, 2, 3, 4, 5}, 240, "28cb1132c96ce286421dcaadb8b69eae"},
      {{1, 2, 3, 4, 5}, 256, "1cfcf62b03eddb641d77dfcf7f8d8c93"},
      {{1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16},
       0,
       "9ac7cc9a609d1ef7b2932899cde41b97"},
      {{1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16},
       16,
       "5248c4959014126a6e8a84f11d1a9e1c"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.offset);
    ppt::Rc4 rc4(c.key.data(), c.key.size());
    Bytes skip(c.offset, 0), block(16, 0);
    rc4.Apply(skip.data(), skip.size());  // a stream continues across calls
    rc4.Apply(block.data(), block.size());
    EXPECT_EQ(Hex(block.data(), block.size()), c.stream);
  }
}

// --- a real file -----------------------------------------------------------------------------

TEST(RealEncryptedFile, OpensWithItsPasswordOnly) {
  std::ifstream f(corpus::Path("Password_Protected-hello.ppt"), std::ios::binary);
  if (!f) GTEST_SKIP() << "corpus not present";
  const Bytes file{std::istreambuf_iterator<char>(f), std::istreambuf_iterator<char>()};
  ppt::Presentation p;
  EXPECT_EQ(LoadWith(file, u"", &p), LoadError::kEncrypted);
  EXPECT_EQ(LoadWith(file, u"Hello", &p), LoadError::kWrongPassword);
  EXPECT_EQ(LoadWith(file, u"hello ", &p), LoadError::kWrongPassword);
  EXPECT_EQ(LoadWith(file, std::u16string(300, u'h'), &p), LoadError::kWrongPassword);
  EXPECT_TRUE(p.slides.empty());
  ASSERT_EQ(LoadWith(file, u"hello", &p), LoadError::kNone);
  ASSERT_EQ(p.slides.size(), 1u);
  std::string text;
  for (const ppt::Shape& sh : p.slides[0].shapes)
    for (const ppt::Paragraph& para : sh.text.paragraphs)
      for (const ppt::Run& r : para.runs) text += ppt::ToUtf8(r.text) + "|";
  EXPECT_NE(text.find("This is a protected document"), std::string::npos) << text;
  EXPECT_NE(text.find("It only has the one slide"), std::string::npos) << text;
  EXPECT_NE(text.find("The password is \u201chello\u201d"), std::string::npos) << text;
}

// --- decks encrypted here --------------------------------------------------------------------

TEST(EncryptedDeck, ReadsAsItsPlainTwinWithEveryKeySizeAndVersion) {
  for (bool own_stream : {true, false}) {
    const Bytes plain = deck::Build(PictureDeck(own_stream));
    ppt::Presentation twin;
    ASSERT_EQ(ppt::Load(plain.data(), plain.size(), &twin), LoadError::kNone);
    const std::string expected = Summary(twin);
    ASSERT_EQ(twin.Picture(1).size, 5000u);
    struct Form {
      uint32_t bits;
      uint16_t major;
    } forms[] = {{0, 2}, {40, 3}, {56, 4}, {128, 4}};
    for (const Form& form : forms) {
      SCOPED_TRACE(std::to_string(form.bits) + " bits, version " + std::to_string(form.major) +
                   (own_stream ? ", picture stream" : ", pictures in the document"));
      deck::Encryption e;
      e.key_bits = form.bits;
      e.major = form.major;
      const Bytes locked = deck::Encrypt(plain, e);
      ASSERT_FALSE(locked.empty());
      ppt::Presentation p;
      ASSERT_EQ(LoadWith(locked, u"secret", &p), LoadError::kNone);
      EXPECT_EQ(Summary(p), expected);
    }
  }
}

TEST(EncryptedDeck, WithoutOrWithAWrongPasswordNothingIsRead) {
  const Bytes locked = deck::Encrypt(deck::Build(PictureDeck(true)));
  ppt::Presentation p;
  EXPECT_EQ(LoadWith(locked, u"", &p), LoadError::kEncrypted);
  EXPECT_EQ(LoadWith(locked, u"Secret", &p), LoadError::kWrongPassword);
  EXPECT_EQ(LoadWith(locked, u"secret\u00e9", &p), LoadError::kWrongPassword);
  EXPECT_TRUE(p.slides.empty());
  EXPECT_FALSE(p.store);
  // The ciphertext itself gives nothing of the text away.
  const std::string bytes(locked.begin(), locked.end());
  EXPECT_EQ(bytes.find("Secret plan"), std::string::npos);
  // Passwords beyond plain ASCII are hashed as their UTF-16 code units.
  deck::Encryption e;
  e.password = u"p\u00e4ss\u20ac";
  const Bytes other = deck::Encrypt(deck::Build(PictureDeck(false)), e);
  EXPECT_EQ(LoadWith(other, u"p\u00e4ss\u20ac", &p), LoadError::kNone);
  EXPECT_EQ(p.slides.size(), 3u);
}

// Some writers leave the current-user record's token plain: the session named by the edit is
// what counts.
TEST(EncryptedDeck, FoundThroughTheEditChainAlone) {
  deck::Encryption e;
  e.plain_token = true;
  const Bytes locked = deck::Encrypt(deck::Build(PictureDeck(true)), e);
  ppt::Presentation p;
  EXPECT_EQ(LoadWith(locked, u"", &p), LoadError::kEncrypted);
  ASSERT_EQ(LoadWith(locked, u"secret", &p), LoadError::kNone);
  EXPECT_EQ(p.slides.size(), 3u);
}

// A session record that is cut short or names what this viewer cannot decrypt.
TEST(EncryptedDeck, DamagedOrForeignSessionsAreRefusedSafely) {
  ppt::DocumentCipher cipher;
  deck::Encryption e;
  const Bytes info = deck::Encrypter(e).Info(e);
  EXPECT_EQ(cipher.Read(info.data(), info.size()), ppt::DocumentCipher::Parsed::kOk);
  EXPECT_EQ(cipher.key_bits(), 128u);
  EXPECT_TRUE(cipher.Unlock(u"secret"));
  for (size_t cut = 0; cut < info.size(); cut += 7)
    EXPECT_NE(cipher.Read(info.data(), cut), ppt::DocumentCipher::Parsed::kOk) << cut;
  Bytes aes = info;
  aes[12] |= 0x20;  // the header's flags: AES
  EXPECT_EQ(cipher.Read(aes.data(), aes.size()), ppt::DocumentCipher::Parsed::kUnsupported);
  Bytes old = info;
  old[0] = 1;  // version 1: not the CryptoAPI form
  EXPECT_EQ(cipher.Read(old.data(), old.size()), ppt::DocumentCipher::Parsed::kUnsupported);
  e.key_bits = 44;  // not whole bytes
  const Bytes odd = deck::Encrypter(e).Info(e);
  EXPECT_EQ(cipher.Read(odd.data(), odd.size()), ppt::DocumentCipher::Parsed::kUnsupported);

  // In a file: a foreign session asks for no password in vain, it says it cannot be read.
  deck::Encryption foreign;
  foreign.major = 1;
  const Bytes locked = deck::Encrypt(deck::Build(PictureDeck(true)), foreign);
  ppt::Presentation p;
  EXPECT_EQ(LoadWith(locked, u"secret", &p), LoadError::kEncrypted);
  // Marked encrypted without any session: nothing to decrypt with.
  deck::DeckSpec marked = PictureDeck(true);
  marked.encrypted = true;
  const Bytes fake = deck::Build(marked);
  EXPECT_EQ(LoadWith(fake, u"", &p), LoadError::kEncrypted);
  EXPECT_EQ(LoadWith(fake, u"secret", &p), LoadError::kDamaged);
}

// Every byte of an encrypted deck cut off or flipped: no crash, no hang, at most a failure.
TEST(EncryptedDeck, TruncatedOrCorruptedFilesFailCleanly) {
  const Bytes locked = deck::Encrypt(deck::Build(PictureDeck(true)));
  for (size_t cut = 512; cut < locked.size(); cut += 97) {
    Bytes b(locked.begin(), locked.begin() + long(cut));
    ppt::Presentation p;
    LoadWith(b, u"secret", &p);
  }
  for (size_t at = 0; at < locked.size(); at += 29) {
    Bytes b = locked;
    b[at] ^= 0x5A;
    ppt::Presentation p;
    if (LoadWith(b, u"secret", &p) == LoadError::kNone) Summary(p);
  }
}

}  // namespace
