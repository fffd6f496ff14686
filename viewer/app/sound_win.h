#pragma once
// Sounds embedded in the presentation, played from memory by the system's sound library. A
// sound never comes from a file: nothing outside the package is ever read.
#include <windows.h>

#include <vector>

#include "ppt/presentation.h"

namespace viewer {

class SoundPlayer {
 public:
  // Plays `s` in place of whatever plays; `loop`: until the next sound or a stop.
  bool Play(const ppt::Sound& s, bool loop);
  void Stop();
  int played() const { return played_; }  // sounds the system accepted
  int calls() const { return calls_; }    // sounds handed to the system

 private:
  using PlaySoundFn = BOOL(WINAPI*)(LPCSTR, HMODULE, DWORD);
  PlaySoundFn Function();
  PlaySoundFn play_ = nullptr;
  bool looked_up_ = false;
  bool playing_ = false;
  int played_ = 0, calls_ = 0;
};

// Whether bytes are a WAV file the system can play from memory.
bool IsWave(const std::vector<uint8_t>& data);

}  // namespace viewer
