// Drives PPTVIEW.exe as a package does: started on view.ppt in its current folder, then moved
// through the show with keys, clicks and timings.
#include <windows.h>
#include <wincodec.h>

#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <string>
#include <thread>

#include "app/show_win.h"
#include "viewer/tests/deck_builder.h"
#include "viewer/tests/show_driver_win.h"

namespace {

using namespace showtest;

TEST(ShowWine, FullScreenKeysMoveThroughTheShowAndEndScreenEndsIt) {
  Folder f;
  Viewer v(f, deck::Build(Deck(3)));
  ASSERT_TRUE(v.started());
  HWND w = v.Window();
  ASSERT_TRUE(w);
  RECT r;
  GetWindowRect(w, &r);
  EXPECT_EQ(r.left, 0);
  EXPECT_EQ(r.top, 0);
  EXPECT_EQ(r.right, GetSystemMetrics(SM_CXSCREEN));
  EXPECT_EQ(r.bottom, GetSystemMetrics(SM_CYSCREEN));
  EXPECT_EQ(Viewer::Shown(w), 1);
  EXPECT_EQ(Viewer::Key(w, VK_RIGHT), 2);
  EXPECT_EQ(Viewer::Key(w, VK_LEFT), 1);
  EXPECT_EQ(Viewer::Key(w, VK_LEFT), 1);  // nothing before the first slide
  EXPECT_EQ(Viewer::Key(w, VK_END), 3);
  EXPECT_EQ(Viewer::Key(w, VK_HOME), 1);
  EXPECT_EQ(Viewer::Key(w, VK_SPACE), 2);
  EXPECT_EQ(Viewer::Key(w, VK_BACK), 1);
  EXPECT_EQ(Viewer::Key(w, 'N'), 2);
  EXPECT_EQ(Viewer::Key(w, 'P'), 1);
  EXPECT_EQ(Viewer::Key(w, VK_NEXT), 2);
  EXPECT_EQ(Viewer::Key(w, VK_PRIOR), 1);
  EXPECT_EQ(Viewer::Key(w, VK_DOWN), 2);
  EXPECT_EQ(Viewer::Key(w, VK_UP), 1);
  EXPECT_EQ(Viewer::Key(w, VK_RETURN), 2);
  PostMessageA(w, WM_LBUTTONDOWN, MK_LBUTTON, 0);
  PostMessageA(w, WM_LBUTTONUP, 0, 0);
  EXPECT_TRUE(Viewer::WaitShown(w, 3));
  EXPECT_EQ(Viewer::Key(w, VK_RIGHT), 0);  // the end screen
  EXPECT_FALSE(v.Exited());
  PostMessageA(w, WM_LBUTTONDOWN, MK_LBUTTON, 0);
  EXPECT_EQ(v.ExitCode(), 0);
}

TEST(ShowWine, EscapeEndsTheShowAtOnce) {
  Folder f;
  Viewer v(f, deck::Build(Deck(3)));
  HWND w = v.Window();
  ASSERT_TRUE(w);
  EXPECT_EQ(Viewer::Key(w, VK_RIGHT), 2);
  EXPECT_EQ(v.EndWith(w, VK_ESCAPE), 0);
}

TEST(ShowWine, HiddenSlidesAreSkipped) {
  Folder f;
  deck::DeckSpec spec = Deck(4);
  spec.slides[1].hidden = true;
  spec.slides[2].hidden = true;
  Viewer v(f, deck::Build(spec));
  HWND w = v.Window();
  ASSERT_TRUE(w);
  EXPECT_EQ(Viewer::Shown(w), 1);
  EXPECT_EQ(Viewer::Key(w, VK_RIGHT), 4);
  EXPECT_EQ(Viewer::Key(w, VK_LEFT), 1);
  EXPECT_EQ(Viewer::Key(w, VK_RIGHT), 4);
  EXPECT_EQ(Viewer::Key(w, VK_RIGHT), 0);
  EXPECT_EQ(v.EndWith(w, VK_SPACE), 0);
}

TEST(ShowWine, TimingsAdvanceOnlyWhenTheFileUsesThem) {
  Folder f;
  deck::DeckSpec spec = Deck(3);
  for (auto& s : spec.slides) s.advance_ms = 400;
  spec.use_timings = true;
  Viewer v(f, deck::Build(spec));
  HWND w = v.Window();
  ASSERT_TRUE(w);
  EXPECT_TRUE(Viewer::WaitShown(w, 2, 5000));
  EXPECT_TRUE(Viewer::WaitShown(w, 3, 5000));
  EXPECT_TRUE(Viewer::WaitShown(w, 0, 5000));
  Sleep(300);
  EXPECT_FALSE(v.Exited());  // the end screen waits for the viewer
  EXPECT_EQ(v.EndWith(w, VK_RETURN), 0);

  // The same slides in a show that does not use timings stay put.
  Folder g;
  spec.use_timings = false;
  Viewer still(g, deck::Build(spec));
  w = still.Window();
  ASSERT_TRUE(w);
  Sleep(1200);
  EXPECT_EQ(Viewer::Shown(w), 1);
  EXPECT_EQ(still.EndWith(w, VK_ESCAPE), 0);
}

TEST(ShowWine, LoopingShowRunsUntilEscape) {
  Folder f;
  deck::DeckSpec spec = Deck(2);
  for (auto& s : spec.slides) s.advance_ms = 300;
  spec.use_timings = true;
  spec.loop = true;
  Viewer v(f, deck::Build(spec));
  HWND w = v.Window();
  ASSERT_TRUE(w);
  EXPECT_TRUE(Viewer::WaitShown(w, 2, 5000));
  EXPECT_TRUE(Viewer::WaitShown(w, 1, 5000));  // back to the start, no end screen
  EXPECT_TRUE(Viewer::WaitShown(w, 2, 5000));
  EXPECT_FALSE(v.Exited());
  EXPECT_EQ(v.EndWith(w, VK_ESCAPE), 0);
}

// A file that cannot be shown: one message captioned "PowerPoint Viewer", then a non-zero exit.
void ExpectRefusal(const Folder& f) {
  Viewer v(f);
  ASSERT_TRUE(v.started());
  HWND box = nullptr;
  for (int i = 0; i < 600 && !box && !v.Exited(); i++) {
    box = v.Find("#32770", "PowerPoint Viewer");
    if (!box) Sleep(50);
  }
  ASSERT_TRUE(box);
  EXPECT_FALSE(v.Find(viewer::kShowWindowClass, nullptr));
  PostMessageA(box, WM_COMMAND, IDOK, 0);
  int code = v.ExitCode();
  EXPECT_GT(code, 0);
}

TEST(ShowWine, MissingOrBrokenPresentationIsReported) {
  Folder empty;
  ExpectRefusal(empty);
  Folder broken;
  deck::Bytes junk = deck::Build(Deck(2));
  for (size_t i = 1200; i < junk.size(); i++) junk[i] = uint8_t(i * 31);
  broken.Write("view.ppt", junk);
  ExpectRefusal(broken);
}

// Reads the pixel at (x, y) of a PNG file through WIC.
bool PngPixel(const std::string& path, int x, int y, COLORREF* out, UINT* width, UINT* height) {
  IWICImagingFactory* f = nullptr;
  if (FAILED(CoCreateInstance(CLSID_WICImagingFactory, nullptr, CLSCTX_INPROC_SERVER,
                              IID_IWICImagingFactory, reinterpret_cast<void**>(&f))))
    return false;
  std::wstring w(path.begin(), path.end());
  IWICBitmapDecoder* d = nullptr;
  IWICBitmapFrameDecode* fr = nullptr;
  IWICFormatConverter* c = nullptr;
  bool ok = SUCCEEDED(f->CreateDecoderFromFilename(w.c_str(), nullptr, GENERIC_READ,
                                                   WICDecodeMetadataCacheOnDemand, &d)) &&
            SUCCEEDED(d->GetFrame(0, &fr)) && SUCCEEDED(fr->GetSize(width, height)) &&
            SUCCEEDED(f->CreateFormatConverter(&c)) &&
            SUCCEEDED(c->Initialize(fr, GUID_WICPixelFormat32bppBGRA, WICBitmapDitherTypeNone,
                                    nullptr, 0, WICBitmapPaletteTypeCustom));
  BYTE px[4] = {};
  WICRect rc{x, y, 1, 1};
  ok = ok && SUCCEEDED(c->CopyPixels(&rc, 4, 4, px));
  *out = RGB(px[2], px[1], px[0]);
  if (c) c->Release();
  if (fr) fr->Release();
  if (d) d->Release();
  f->Release();
  return ok;
}

TEST(RenderWine, WritesOneImageAndTextPerShownSlide) {
  CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
  Folder f;
  deck::DeckSpec spec = Deck(3);
  spec.slides[1].hidden = true;
  spec.width = 7680;  // 16:9
  f.Write("deck one.ppt", deck::Build(spec));
  Viewer v(f, "/R out 320 \"deck one.ppt\"");
  ASSERT_EQ(v.ExitCode(60000), 0);
  COLORREF c;
  UINT w = 0, h = 0;
  ASSERT_TRUE(PngPixel(f.path() + "\\out\\slide-001.png", 300, 170, &c, &w, &h));
  EXPECT_EQ(w, 320u);
  EXPECT_EQ(h, 180u);
  EXPECT_EQ(c, RGB(255, 0, 0));
  ASSERT_TRUE(PngPixel(f.path() + "\\out\\slide-002.png", 300, 170, &c, &w, &h));
  EXPECT_EQ(c, RGB(0, 0, 255));  // the third slide: the hidden one is left out
  EXPECT_EQ(GetFileAttributesA((f.path() + "\\out\\slide-003.png").c_str()),
            INVALID_FILE_ATTRIBUTES);
  FILE* t = fopen((f.path() + "\\out\\slide-002.txt").c_str(), "rb");
  ASSERT_TRUE(t);
  char buf[64] = {};
  fread(buf, 1, sizeof buf - 1, t);
  fclose(t);
  EXPECT_STREQ(buf, "Slide number 3\n");
  for (const char* name : {"slide-001.png", "slide-001.txt", "slide-002.png", "slide-002.txt"})
    DeleteFileA((f.path() + "\\out\\" + name).c_str());
  RemoveDirectoryA((f.path() + "\\out").c_str());
}

TEST(RenderWine, HugeWordsAndLongTextFinishQuickly) {
  Folder f;
  deck::DeckSpec spec = Deck(2);
  spec.slides[0].text = std::string(60000, 'W');
  std::string words;
  for (int i = 0; i < 6000; i++) words += "lorem ipsum ";
  spec.slides[1].text = words;
  f.Write("view.ppt", deck::Build(spec));
  auto start = Clock::now();
  Viewer v(f, "/R out 1024");
  EXPECT_EQ(v.ExitCode(60000), 0);
  EXPECT_LT(Clock::now() - start, std::chrono::seconds(60));
  for (const char* name : {"slide-001.png", "slide-001.txt", "slide-002.png", "slide-002.txt"})
    DeleteFileA((f.path() + "\\out\\" + name).c_str());
  RemoveDirectoryA((f.path() + "\\out").c_str());
}

// --- builds, transitions, links, kiosk shows and sounds ---------------------------------------

TEST(ShowWineBuilds, ThreeStepsTakeThreeClicksAndBackUndoesOne) {
  Folder f;
  deck::DeckSpec spec = Deck(2);
  for (int i = 0; i < 3; i++) {
    deck::ShapeSpec s = Button(500 + 1500 * i, 2500);
    s.anim.on = true;
    s.anim.order = int16_t(i + 1);
    s.anim.effect = i == 1 ? 12 : 0;  // the second flies in from the left
    spec.slides[0].shapes.push_back(s);
  }
  Viewer v(f, deck::Build(spec));
  HWND w = v.Window();
  ASSERT_TRUE(w);
  EXPECT_EQ(Query(w, viewer::kQueryBuildStep), 0);
  EXPECT_EQ(Viewer::Key(w, VK_SPACE), 1);
  EXPECT_TRUE(WaitFor(w, viewer::kQueryBuildStep, 1));
  PostMessageA(w, WM_LBUTTONDOWN, MK_LBUTTON, 0);
  EXPECT_TRUE(WaitFor(w, viewer::kQueryBuildStep, 2));
  EXPECT_TRUE(WaitFor(w, viewer::kQueryAnimating, 0));
  EXPECT_EQ(Viewer::Key(w, VK_LEFT), 1);  // back a step, same slide
  EXPECT_TRUE(WaitFor(w, viewer::kQueryBuildStep, 1));
  EXPECT_EQ(Viewer::Key(w, VK_RIGHT), 1);
  // The fly-in plays; a key before its end would only finish it.
  EXPECT_TRUE(WaitFor(w, viewer::kQueryBuildStep, 2));
  EXPECT_TRUE(WaitFor(w, viewer::kQueryAnimating, 0));
  EXPECT_EQ(Viewer::Key(w, VK_NEXT), 1);
  EXPECT_TRUE(WaitFor(w, viewer::kQueryBuildStep, 3));
  EXPECT_TRUE(WaitFor(w, viewer::kQueryAnimating, 0));
  EXPECT_EQ(Viewer::Key(w, VK_RETURN), 2);  // only now the next slide
  EXPECT_EQ(v.EndWith(w, VK_ESCAPE), 0);
}

TEST(ShowWineBuilds, TimedBuildRunsOnItsOwn) {
  Folder f;
  deck::DeckSpec spec = Deck(2);
  spec.use_timings = true;
  deck::ShapeSpec s = Button(1000, 2000);
  s.anim.on = true;
  s.anim.automatic = true;
  s.anim.delay_ms = 300;
  spec.slides[0].shapes.push_back(s);
  Viewer v(f, deck::Build(spec));
  HWND w = v.Window();
  ASSERT_TRUE(w);
  EXPECT_TRUE(WaitFor(w, viewer::kQueryBuildStep, 1, 5000));
  EXPECT_EQ(Viewer::Shown(w), 1);
  EXPECT_EQ(v.EndWith(w, VK_ESCAPE), 0);
}

TEST(ShowWineTransitions, FramesLieBetweenTheSlidesAndAClickFinishes) {
  Folder f;
  deck::DeckSpec spec = Deck(2);  // red, then green
  spec.slides[0].text.clear();
  spec.slides[1].text.clear();
  spec.slides[1].effect = 10;  // wipe, moving right
  spec.slides[1].direction = 2;
  spec.slides[1].speed = 0;  // slow
  Viewer v(f, deck::Build(spec));
  HWND w = v.Window();
  ASSERT_TRUE(w);
  RECT c;
  GetClientRect(w, &c);
  const int y = c.bottom / 2, left = c.right / 20, right = c.right - c.right / 20;
  PostMessageA(w, WM_KEYDOWN, VK_RIGHT, 0);
  ASSERT_TRUE(WaitFor(w, viewer::kQueryAnimating, 1, 2000));
  Sleep(450);  // about half of a slow wipe
  // Mid-wipe the new slide has reached the left edge but not the right one.
  COLORREF l = ScreenPixel(left, y), r = ScreenPixel(right, y);
  EXPECT_GT(Query(w, viewer::kQueryFrames), 1);
  if (Query(w, viewer::kQueryAnimating) == 1) {
    EXPECT_EQ(l, RGB(0, 255, 0));
    EXPECT_EQ(r, RGB(255, 0, 0));
  }
  PostMessageA(w, WM_LBUTTONDOWN, MK_LBUTTON, 0);
  EXPECT_TRUE(WaitFor(w, viewer::kQueryAnimating, 0, 300));
  EXPECT_EQ(Viewer::Shown(w), 2);
  Sleep(100);
  EXPECT_EQ(ScreenPixel(right, y), RGB(0, 255, 0));
  EXPECT_EQ(v.EndWith(w, VK_ESCAPE), 0);
}

TEST(ShowWineLinks, ActionButtonJumpsToSlideFourAndEndShowEnds) {
  Folder f;
  deck::DeckSpec spec = Deck(5);
  spec.hyperlinks = {{1, "", "259,4,Slide 4"}};
  deck::ShapeSpec jump = Button(3000, 3000);
  jump.has_click = true;
  jump.click = {4, 0, 7, 1};
  spec.slides[0].shapes.push_back(jump);
  deck::ShapeSpec end = Button(3000, 3000);
  end.has_click = true;
  end.click = {3, 6};
  spec.slides[3].shapes.push_back(end);
  Viewer v(f, deck::Build(spec));
  HWND w = v.Window();
  ASSERT_TRUE(w);
  ClickSlide(w, 3500, 3300);
  EXPECT_TRUE(Viewer::WaitShown(w, 4, 3000));
  EXPECT_FALSE(v.Exited());
  ClickSlide(w, 100, 100);  // away from the button: the next slide
  EXPECT_TRUE(Viewer::WaitShown(w, 5, 3000));
  EXPECT_EQ(Viewer::Key(w, VK_LEFT), 4);
  ClickSlide(w, 3500, 3300);
  EXPECT_EQ(v.ExitCode(), 0);
}

TEST(ShowWineLinks, TextLinksMouseOverAndTheHandPointer) {
  Folder f;
  deck::DeckSpec spec = Deck(4);
  deck::ShapeSpec text = Button(500, 2500);
  text.right = 5000;
  text.fill = 0xFFFFFF;
  text.text = "Go to slide three";
  text.text_links.push_back({0, 17, {3, 4}, false});  // the whole line: the last slide
  spec.slides[0].shapes.push_back(text);
  deck::ShapeSpec over = Button(3000, 3600);
  over.has_over = true;
  over.over = {3, 1};
  spec.slides[1].shapes.push_back(over);
  Viewer v(f, deck::Build(spec));
  HWND w = v.Window();
  ASSERT_TRUE(w);
  // The pointer over the linked words is a hand; still for a few seconds, it hides.
  POINT on = SlidePoint(w, 800, 2600);
  SetCursorPos(on.x, on.y);
  EXPECT_TRUE(WaitFor(w, viewer::kQueryPointer, 1, 3000));
  EXPECT_TRUE(WaitFor(w, viewer::kQueryPointer, 2, 6000));
  auto linked_ink = [&](COLORREF colour) {
    int n = 0;
    for (int32_t x = 600; x < 3000; x += 10) {
      POINT p = SlidePoint(w, x, 2650);
      COLORREF c = ScreenPixel(p.x, p.y);
      n += abs(GetRValue(c) - GetRValue(colour)) < 40 &&
           abs(GetGValue(c) - GetGValue(colour)) < 40 && abs(GetBValue(c) - GetBValue(colour)) < 40;
    }
    return n;
  };
  const COLORREF hyperlink = RGB(0, 0x99, 0x99), followed = RGB(0x99, 0xCC, 0);
  EXPECT_GT(linked_ink(hyperlink), 0);
  EXPECT_EQ(linked_ink(followed), 0);
  ClickSlide(w, 800, 2600);
  EXPECT_TRUE(Viewer::WaitShown(w, 4, 3000));
  EXPECT_EQ(Viewer::Key(w, VK_HOME), 1);
  // Back on its slide, the followed link shows in the scheme's followed-link colour.
  EXPECT_GT(linked_ink(followed), 0);
  EXPECT_EQ(linked_ink(hyperlink), 0);
  EXPECT_EQ(Viewer::Key(w, VK_RIGHT), 2);
  // The pointer onto the shape with a mouse-over action: the action runs.
  POINT pt = SlidePoint(w, 3500, 3900);
  SetCursorPos(pt.x, pt.y);
  EXPECT_TRUE(Viewer::WaitShown(w, 3, 3000));
  EXPECT_EQ(v.EndWith(w, VK_ESCAPE), 0);
}

// Points the shell's web-address handler at a command that notes what it was given, for the
// time of a test; the handler it replaces is put back afterwards.
TEST(ShowWineLinks, WebLinkOpensThroughTheShellAndProgramsNeverRun) {
  Folder f;
  const std::string opened = f.path() + "\\opened.txt", ran = f.path() + "\\ran.txt";
  WebRecorder recorder(opened);
  ASSERT_TRUE(recorder.ok());
  deck::DeckSpec spec = Deck(2);
  std::string program = "cmd.exe /c echo ran> \"" + ran + "\"";
  spec.hyperlinks = {{1, "http://example.com/kestrane", ""}, {2, program, ""}};
  deck::ShapeSpec web = Button(500, 3000), run = Button(3000, 3000), file = Button(500, 1500);
  web.has_click = run.has_click = file.has_click = true;
  web.click = {4, 0, 8, 1};
  run.click = {2, 0, 0xFF, 2};  // run a program
  file.click = {4, 0, 0xA, 2};  // open a file
  spec.slides[0].shapes = {web, run, file};
  Viewer v(f, deck::Build(spec));
  HWND w = v.Window();
  ASSERT_TRUE(w);
  ClickSlide(w, 3500, 3300);
  ClickSlide(w, 1000, 1800);
  ClickSlide(w, 1000, 3300);
  EXPECT_TRUE(WaitFile(opened, 10000));
  Sleep(1000);
  EXPECT_EQ(GetFileAttributesA(ran.c_str()), INVALID_FILE_ATTRIBUTES);
  EXPECT_EQ(Viewer::Shown(w), 1);  // refused links show nothing and the show goes on
  FILE* note = fopen(opened.c_str(), "rb");
  if (note) {
    char buf[128] = {};
    fread(buf, 1, sizeof buf - 1, note);
    fclose(note);
    EXPECT_NE(std::string(buf).find("http://example.com/kestrane"), std::string::npos);
  }
  EXPECT_EQ(v.EndWith(w, VK_ESCAPE), 0);
}

TEST(ShowWineKiosk, ClicksOutsideLinksDoNothingAndTheShowLoops) {
  Folder f;
  deck::DeckSpec spec = Deck(2);
  spec.kiosk = true;
  for (auto& s : spec.slides) s.advance_ms = 700;
  deck::ShapeSpec next = Button(3000, 3000);
  next.has_click = true;
  next.click = {3, 1};
  spec.slides[0].shapes.push_back(next);
  Viewer v(f, deck::Build(spec));
  HWND w = v.Window();
  ASSERT_TRUE(w);
  ClickSlide(w, 100, 100);
  EXPECT_EQ(Viewer::Key(w, VK_SPACE), 1);
  EXPECT_EQ(Viewer::Shown(w), 1);
  ClickSlide(w, 3500, 3300);  // the kiosk's own "next" button works
  EXPECT_TRUE(Viewer::WaitShown(w, 2, 2000));
  EXPECT_TRUE(Viewer::WaitShown(w, 1, 5000));  // loops on its timings
  EXPECT_FALSE(v.Exited());
  EXPECT_EQ(v.EndWith(w, VK_ESCAPE), 0);
}

TEST(ShowWineSounds, TransitionSoundGoesToTheSystem) {
  Folder f;
  deck::DeckSpec spec = Deck(2);
  spec.sounds = {{1, "beep", Wave()}};
  spec.slides[1].effect = 0;
  spec.slides[1].sound_id = 1;
  Viewer v(f, deck::Build(spec));
  HWND w = v.Window();
  ASSERT_TRUE(w);
  EXPECT_EQ(Query(w, viewer::kQuerySounds), 0);
  EXPECT_EQ(Viewer::Key(w, VK_RIGHT), 2);
  EXPECT_TRUE(WaitFor(w, viewer::kQuerySounds, 1, 3000));
  EXPECT_EQ(v.EndWith(w, VK_ESCAPE), 0);
}

}  // namespace
