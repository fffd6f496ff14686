#include "app/sound_win.h"

#include <mmsystem.h>

#include "common/system_dll_win.h"

namespace viewer {

bool IsWave(const std::vector<uint8_t>& data) {
  return data.size() >= 44 && data[0] == 'R' && data[1] == 'I' && data[2] == 'F' &&
         data[3] == 'F' && data[8] == 'W' && data[9] == 'A' && data[10] == 'V' && data[11] == 'E';
}

SoundPlayer::PlaySoundFn SoundPlayer::Function() {
  if (!looked_up_) {
    looked_up_ = true;
    // Loaded when first needed, from the system folder only: a package's folder could hold a
    // library of the same name.
    play_ = kestrane::SystemFunction<PlaySoundFn>("winmm.dll", "PlaySoundA");
  }
  return play_;
}

bool SoundPlayer::Play(const ppt::Sound& s, bool loop) {
  if (!IsWave(s.data)) return false;
  PlaySoundFn f = Function();
  if (!f) return false;
  DWORD flags = SND_MEMORY | SND_ASYNC | SND_NODEFAULT | (loop ? SND_LOOP : 0);
  // The bytes stay with the presentation for the whole show, as an asynchronous sound needs.
  calls_++;
  bool ok = f(reinterpret_cast<LPCSTR>(s.data.data()), nullptr, flags);
  if (ok) played_++;
  playing_ = ok;
  return ok;
}

void SoundPlayer::Stop() {
  if (!playing_) return;
  if (PlaySoundFn f = Function()) f(nullptr, nullptr, 0);
  playing_ = false;
}

}  // namespace viewer
