// Prints what the parser makes of presentation files; a developer's aid, not shipped.
#include <cstdio>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "ppt/presentation.h"

namespace {

bool OnSlide(const ppt::Slide& slide, uint32_t id) {
  for (const ppt::Shape& sh : slide.shapes)
    if (sh.id == id) return true;
  return false;
}

void PrintTarget(const ppt::Slide& slide, const ppt::TimeTarget& t) {
  printf("shape %u%s", t.shape_id, OnSlide(slide, t.shape_id) ? "" : " (not on slide)");
  if (t.first_char >= 0) printf(" chars %d-%d", t.first_char, t.last_char);
}

// The sequences a slide's timeline plays, one effect a line.
void PrintTimeline(const ppt::Slide& slide) {
  const ppt::Timeline& tl = slide.timeline;
  if (!tl.present) return;
  printf("    timeline: %zu sequences\n", tl.sequences.size());
  static const char* const kStart[] = {"?", "click", "with", "after"};
  static const char* const kClass[] = {"-", "entr", "exit", "emph", "path", "verb", "media"};
  for (const ppt::TimedSequence& seq : tl.sequences) {
    printf("      %s", seq.interactive ? "interactive, trigger " : "main");
    if (seq.interactive) PrintTarget(slide, seq.trigger);
    printf(", %zu effects\n", seq.effects.size());
    for (const ppt::TimedEffect& e : seq.effects) {
      printf("        %s %s id %d sub %d delay %d dur %d rep %g%s -> ",
             e.start >= 0 && e.start <= 3 ? kStart[e.start] : "?",
             e.preset_class >= 0 && e.preset_class <= 6 ? kClass[e.preset_class] : "?", e.preset_id,
             e.preset_subtype, e.delay_ms, e.duration_ms, e.repeat, e.auto_reverse ? " rev" : "");
      PrintTarget(slide, e.target);
      printf("\n");
      for (const ppt::TimeBehavior& b : e.behaviors) {
        printf("          kind %d", int(b.kind));
        for (const std::string& a : b.attributes) printf(" %s", a.c_str());
        if (!b.value.empty()) printf(" '%s'", b.value.c_str());
        if (b.out) printf(" out");
        if (b.target.shape_id != e.target.shape_id) {
          printf(" on ");
          PrintTarget(slide, b.target);
        }
        printf("\n");
      }
    }
  }
}

}  // namespace

// Line breaks written as "\\n", so that one shape's dump stays on its lines.
std::string OneLine(std::string s) {
  for (size_t at = s.find('\n'); at != std::string::npos; at = s.find('\n', at + 2))
    s.replace(at, 1, "\\n");
  return s;
}

int main(int argc, char** argv) {
  ppt::LoadOptions options;
  for (int i = 1; i < argc; i++) {
    // --password=text opens the encrypted files named after it (ASCII passwords only).
    const std::string arg = argv[i], flag = "--password=";
    if (arg.compare(0, flag.size(), flag) == 0) {
      options.password.assign(arg.begin() + long(flag.size()), arg.end());
      continue;
    }
    std::ifstream f(argv[i], std::ios::binary);
    std::vector<uint8_t> data((std::istreambuf_iterator<char>(f)),
                              std::istreambuf_iterator<char>());
    ppt::Presentation p;
    ppt::LoadError e = ppt::Load(data.data(), data.size(), &p, options);
    printf("%s: error %d, %dx%d, %zu slides, %zu blips%s, timings %d loop %d\n", argv[i], int(e),
           p.width, p.height, p.slides.size(), p.blips.size(), p.repaired ? " (repaired)" : "",
           p.show.use_timings, p.show.loop);
    for (size_t s = 0; s < p.slides.size(); s++) {
      const ppt::Slide& sl = p.slides[s];
      printf("  slide %zu id %u hidden %d auto %d/%d bg %d #%02x%02x%02x, %zu shapes\n", s + 1,
             sl.slide_id, sl.hidden, sl.auto_advance, sl.advance_ms, sl.background.kind,
             sl.background.color.r, sl.background.color.g, sl.background.color.b, sl.shapes.size());
      for (const ppt::Shape& sh : sl.shapes) {
        printf("    id %u type %d ph %d [%d %d %d %d] fill %d #%02x%02x%02x line %d pic %d\n",
               sh.id, sh.type, sh.placeholder, sh.anchor.left, sh.anchor.top, sh.anchor.right,
               sh.anchor.bottom, sh.fill.kind, sh.fill.color.r, sh.fill.color.g, sh.fill.color.b,
               sh.line, sh.picture);
        if (sh.fill.alpha != 255 || sh.fill.kind == ppt::Fill::kGradient || sh.shadow.visible ||
            sh.rotation || sh.flip_h || sh.flip_v)
          printf(
              "      fill alpha %d blend %d angle %g stops %zu; shadow %d #%02x%02x%02x a %d "
              "(%d,%d); rot %d flip %d%d\n",
              sh.fill.alpha, sh.fill.blend, sh.fill.angle, sh.fill.stops.size(), sh.shadow.visible,
              sh.shadow.color.r, sh.shadow.color.g, sh.shadow.color.b, sh.shadow.alpha,
              sh.shadow.dx, sh.shadow.dy, sh.rotation, sh.flip_h, sh.flip_v);
        if (!sh.word_art.text.empty())
          printf("      wordart \"%s\" %s%s%s\n", OneLine(ppt::ToUtf8(sh.word_art.text)).c_str(),
                 sh.word_art.face.c_str(), sh.word_art.bold ? " b" : "",
                 sh.word_art.italic ? " i" : "");
        const ppt::TextBody& tb = sh.text;
        if (!tb.paragraphs.empty())
          printf("      text insets %d %d %d %d anchor %d%s wrap %d fit %d flow %d\n",
                 tb.insets.left, tb.insets.top, tb.insets.right, tb.insets.bottom, tb.anchor,
                 tb.centered ? " centred" : "", tb.wrap, tb.fit_shape, tb.flow);
        for (const ppt::Paragraph& para : tb.paragraphs) {
          printf("      [al %d lv %d b %d ls %d sb %d sa %d m %d i %d", para.align, para.level,
                 para.bullet, para.line_spacing, para.space_before, para.space_after,
                 para.left_margin, para.indent);
          if (para.bullet)
            printf(" bullet '%s' %s",
                   ppt::ToUtf8(para.bullet_text.empty() ? std::u16string(1, para.bullet_char)
                                                        : para.bullet_text)
                       .c_str(),
                   para.bullet_font.c_str());
          for (const ppt::TabStop& t : para.tabs) printf(" tab %d/%d", t.position, t.kind);
          printf("]");
          for (const ppt::Run& r : para.runs)
            printf(" {%s %d%s%s%s%s #%02x%02x%02x%s} \"%s\"", r.font.c_str(), r.size,
                   r.bold ? " b" : "", r.italic ? " i" : "", r.shadow ? " shadow" : "",
                   r.emboss ? " emboss" : "", r.color.r, r.color.g, r.color.b,
                   r.escapement ? (" esc " + std::to_string(r.escapement)).c_str() : "",
                   ppt::ToUtf8(r.text).c_str());
          printf("\n");
        }
        if (sh.build.animated)
          printf("      build id %u order %d effect %d auto %d\n", sh.id, sh.build.order,
                 sh.build.effect, sh.build.automatic);
      }
      PrintTimeline(sl);
    }
  }
}
