// The show's pictures: a slide as its build state shows it, and the effect that brings it on
// screen (the slide's transition, or the build step just played).
#include <algorithm>

#include "app/show_win.h"

namespace viewer {

namespace {
constexpr int kEffectMargin = 2;  // pixels around a step's shapes that its effect may touch
}  // namespace

RECT SlideShow::SlideBox() const {
  RECT client;
  GetClientRect(wnd_, &client);
  int cw = std::max<int>(1, client.right), ch = std::max<int>(1, client.bottom);
  // Letterbox: the largest slide-shaped rectangle in the middle of the screen.
  int w = cw, h = int(double(cw) * p_.height / p_.width);
  if (h > ch) {
    h = ch;
    w = int(double(ch) * p_.width / p_.height);
  }
  w = std::max(1, w);
  h = std::max(1, h);
  int x = (cw - w) / 2, y = (ch - h) / 2;
  return RECT{x, y, x + w, y + h};
}

std::unique_ptr<Canvas> SlideShow::Picture(size_t slide, size_t step,
                                           std::vector<LinkArea>* links) {
  RECT box = SlideBox();
  std::unique_ptr<Canvas> c(new Canvas(box.right - box.left, box.bottom - box.top));
  if (!c->ok() || slide >= p_.slides.size()) return c;
  std::vector<show::ShapeView> states = show::ViewAfter(p_.slides[slide], nav_.steps(), step);
  SlideView view;
  view.shapes = &states;
  view.links = links;
  view.followed = FollowedOn(slide);
  RECT where{0, 0, c->width(), c->height()};
  renderer_.Paint(c->dc(), slide, where, nullptr, &view);
  GdiFlush();
  return c;
}

std::unique_ptr<Canvas> SlideShow::Blank(COLORREF colour) const {
  RECT box = SlideBox();
  std::unique_ptr<Canvas> c(new Canvas(box.right - box.left, box.bottom - box.top));
  if (c->ok()) {
    RECT all{0, 0, c->width(), c->height()};
    AutoBrush b(CreateSolidBrush(colour));
    FillRect(c->dc(), &all, b.get());
  }
  return c;
}

// The picture of a state: the one drawn ahead while idle when it is that state at this size.
std::unique_ptr<Canvas> SlideShow::StatePicture(size_t slide, size_t step,
                                                std::vector<LinkArea>* links) {
  RECT box = SlideBox();
  std::unique_ptr<Canvas> picture;
  if (ahead_ && ahead_slide_ == slide && ahead_step_ == step &&
      ahead_->width() == box.right - box.left && ahead_->height() == box.bottom - box.top) {
    picture = std::move(ahead_);
    *links = std::move(ahead_links_);
  } else {
    picture = Picture(slide, step, links);
  }
  ahead_.reset();
  return picture;
}

int SlideShow::PlanTransition(const ppt::Slide& s, int w, int h, uint32_t seed,
                              Animation::Plan* plan) {
  const ppt::Transition& t = s.transition;
  if (t.stop_sound) sound_.Stop();
  if (t.sound >= 0 && size_t(t.sound) < p_.sounds.size())
    sound_.Play(p_.sounds[size_t(t.sound)], t.loop_sound);
  int effect = t.effect, direction = t.direction;
  show::ResolveRandom(&effect, &direction, seed);
  *plan = [effect, direction, w, h, seed](double p) {
    return show::TransitionFrame(effect, direction, p, w, h, seed);
  };
  return show::TransitionMs(effect, direction, t.speed);
}

int SlideShow::PlanStep(const ppt::Slide& s, const show::BuildStep& st, int w, int h, uint32_t seed,
                        Animation::Plan* plan, bool* tween) {
  if (st.stop_sound) sound_.Stop();
  if (st.sound >= 0 && size_t(st.sound) < p_.sounds.size())
    sound_.Play(p_.sounds[size_t(st.sound)], false);
  ppt::Rect a = show::StepBounds(s, st);
  double scale = double(w) / p_.width;
  int x0 = std::max(0, int(a.left * scale) - kEffectMargin);
  int y0 = std::max(0, int(a.top * scale) - kEffectMargin);
  int x1 = std::min(w, int(a.right * scale + 0.5) + kEffectMargin);
  int y1 = std::min(h, int(a.bottom * scale + 0.5) + kEffectMargin);
  show::Box area{x0, y0, std::max(0, x1 - x0), std::max(0, y1 - y0)};
  int effect = st.effect, direction = st.direction;
  int ms = area.w > 0 && area.h > 0 ? show::BuildMs(effect, direction) : 0;
  if (!st.timed.empty()) {
    // Timeline steps run as long as stored; those that move, turn, size or colour shapes are
    // painted frame by frame, the others revealed like builds (or shown at once).
    *tween = show::Tweened(st);
    ms = *tween ? st.duration_ms : effect == show::fx::kCut ? 0 : st.duration_ms;
  }
  *plan = [effect, direction, area, w, h, seed](double p) {
    return show::BuildFrame(effect, direction, p, area, w, h, seed);
  };
  return ms;
}

void SlideShow::ShowState(bool animate_step, bool transition) {
  effect_.Finish();
  hover_ = SIZE_MAX;
  if (nav_.at_end()) {
    shown_.reset();
    shown_slide_ = SIZE_MAX;
    links_.clear();
    InvalidateRect(wnd_, nullptr, FALSE);
    ArmTimers();
    return;
  }
  const size_t slide = nav_.slide(), step = nav_.step();
  std::vector<LinkArea> links;
  std::unique_ptr<Canvas> next = StatePicture(slide, step, &links);
  const int w = next->width(), h = next->height();
  std::unique_ptr<Canvas> before =
      shown_ && shown_->width() == w && shown_->height() == h ? std::move(shown_) : nullptr;
  const ppt::Slide& s = p_.slides[slide];
  int ms = 0;
  Animation::Plan plan;
  bool tween = false;
  seed_ = seed_ * 1664525u + 1013904223u + uint32_t(GetTickCount());
  if (transition) {
    ms = PlanTransition(s, w, h, seed_, &plan);
    if (ms > 0 && !before) before = Blank(RGB(0, 0, 0));
  } else if (animate_step && step > 0 && step <= nav_.steps().size() && before) {
    ms = PlanStep(s, nav_.steps()[step - 1], w, h, seed_, &plan, &tween);
  }
  effect_.Start(std::move(before), std::move(next), ms, plan);
  if (tween && effect_.active()) {
    effect_.SetPainter([this, slide, step](double p, Canvas* out) {
      std::vector<show::ShapeView> states =
          show::ViewDuring(p_.slides[slide], nav_.steps(), step - 1, p);
      SlideView view;
      view.shapes = &states;
      view.followed = FollowedOn(slide);
      RECT where{0, 0, out->width(), out->height()};
      renderer_.Paint(out->dc(), slide, where, nullptr, &view);
      GdiFlush();
    });
  }
  shown_slide_ = slide;
  shown_step_ = step;
  links_ = std::move(links);
  if (!effect_.active()) Settle();
  InvalidateRect(wnd_, nullptr, FALSE);
}

void SlideShow::Settle() {
  if (effect_.active()) return;
  std::unique_ptr<Canvas> result = effect_.TakeResult();
  if (result) shown_ = std::move(result);
  ArmTimers();
  InvalidateRect(wnd_, nullptr, FALSE);
  PostMessageA(wnd_, kDrawAhead, 0, 0);  // once what is on screen has been painted
}

void SlideShow::DrawAhead() {
  if (effect_.active() || nav_.at_end() || nav_.step() >= nav_.steps().size()) return;
  if (ahead_ && ahead_slide_ == nav_.slide() && ahead_step_ == nav_.step() + 1) return;
  ahead_links_.clear();
  ahead_ = Picture(nav_.slide(), nav_.step() + 1, &ahead_links_);
  ahead_slide_ = nav_.slide();
  ahead_step_ = nav_.step() + 1;
}

bool SlideShow::FinishEffect() {
  if (!effect_.active()) return false;
  effect_.Finish();
  Settle();
  return true;
}

}  // namespace viewer
