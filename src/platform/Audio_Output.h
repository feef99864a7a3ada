#pragma once
// The audio output seam: the device asks for sound; the mixer fills it.
#include <cstdint>
#include <functional>

// Fills `frames` interleaved stereo frames of float samples.
using AudioPull = std::function<void(float* out, int frames)>;

class IAudioOutput {
 public:
  virtual ~IAudioOutput() = default;
  // Starts pulling at `rate` frames per second. False when no output exists.
  virtual bool Open(int rate, AudioPull pull) = 0;
  virtual void Close() = 0;
  virtual int Rate() const = 0;
  // Called once per step with the step's length: an output that has no
  // clock of its own pulls that much sound here.
  virtual void Advance(int64_t microseconds) = 0;
};
